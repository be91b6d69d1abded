// The display surfaces: an X11 window shows a surface exactly; headless ones snapshot PNGs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/forms/graphics/DisplaySurface.h"
#include "platform/forms/graphics/ImageFiles.h"
#include "tests/support/XSession.h"

using namespace win;

namespace {
struct Recorder : IDisplayEvents {
  std::vector<DisplayEvent> events;
  void OnDisplayEvent(DisplaySurface&, const DisplayEvent& e) override { events.push_back(e); }
};

}  // namespace

TEST(Display, X11WindowShowsTheSurface) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  xsession::XServer server;
  ASSERT_TRUE(server.UseInThisProcess()) << "Xvfb did not start";
  ASSERT_TRUE(DisplayAvailable());
  Recorder rec;
  auto win = CreateX11Surface("Test", 10, 10, 64, 32, &rec);
  ASSERT_TRUE(win);
  win->Show(true);
  // The server maps the window, then asks for its pixels.
  auto exposedYet = [&] {
    for (auto& e : rec.events)
      if (e.kind == DisplayEvent::Exposed) return true;
    return false;
  };
  for (int i = 0; i < 200 && !exposedYet(); ++i) PumpDisplayEvents(50);
  Surface s(64, 32, 0xC0C0C0);
  for (int x = 0; x < 64; ++x) s.Row(5)[x] = 0xFF0000;
  s.Row(20)[40] = 0x0000FF;
  win->Present(s);
  Surface back;
  ASSERT_TRUE(ReadBackX11(*win, back));
  ASSERT_EQ(back.width, 64);
  ASSERT_EQ(back.height, 32);
  EXPECT_EQ(back.pixels, s.pixels);
  EXPECT_TRUE(exposedYet());
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
