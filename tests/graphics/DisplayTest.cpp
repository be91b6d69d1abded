// The display surfaces: an X11 window shows a surface exactly; headless ones snapshot PNGs.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/forms/graphics/DisplaySurface.h"
#include "platform/forms/graphics/ImageFiles.h"

using namespace win;

namespace {
struct Recorder : IDisplayEvents {
  std::vector<DisplayEvent> events;
  void OnDisplayEvent(DisplaySurface&, const DisplayEvent& e) override { events.push_back(e); }
};

// Starts Xvfb on :97 when no display is set; the test is skipped without either.
struct XServer {
  pid_t pid = -1;
  XServer() {
    if (const char* d = std::getenv("DISPLAY"); d && *d) return;
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
    pid = fork();
    if (pid == 0) {
      execlp("Xvfb", "Xvfb", ":97", "-screen", "0", "800x600x24", "-nolisten", "tcp", (char*)nullptr);
      _exit(127);
    }
    setenv("DISPLAY", ":97", 1);
    for (int i = 0; i < 50 && !std::filesystem::exists("/tmp/.X11-unix/X97"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ~XServer() {
    if (pid > 0) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
  }
};
}  // namespace

TEST(Display, X11WindowShowsTheSurface) {
  XServer server;
  if (!DisplayAvailable()) GTEST_SKIP() << "no X display and no Xvfb";
  Recorder rec;
  auto win = CreateX11Surface("Test", 10, 10, 64, 32, &rec);
  ASSERT_TRUE(win);
  win->Show(true);
  PumpDisplayEvents(200);
  Surface s(64, 32, 0xC0C0C0);
  for (int x = 0; x < 64; ++x) s.Row(5)[x] = 0xFF0000;
  s.Row(20)[40] = 0x0000FF;
  win->Present(s);
  Surface back;
  ASSERT_TRUE(ReadBackX11(*win, back));
  ASSERT_EQ(back.width, 64);
  ASSERT_EQ(back.height, 32);
  EXPECT_EQ(back.pixels, s.pixels);
  bool exposed = false;
  for (auto& e : rec.events) exposed |= e.kind == DisplayEvent::Exposed;
  EXPECT_TRUE(exposed);
}

TEST(Display, HeadlessSurfaceWritesSnapshots) {
  auto dir = std::filesystem::temp_directory_path() / ("wi_snap_" + std::to_string(::getpid()));
  setenv("WI_SNAPSHOT_DIR", dir.c_str(), 1);
  auto s = CreateHeadlessSurface("Form/1", nullptr);
  EXPECT_FALSE(s->IsX11());
  Surface px(3, 3, 0x123456);
  s->Present(px);
  Surface back = LoadPng(dir / "Form_1.png");
  EXPECT_EQ(back.pixels, px.pixels);
  unsetenv("WI_SNAPSHOT_DIR");
  std::filesystem::remove_all(dir);
}
