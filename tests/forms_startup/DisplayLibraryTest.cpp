// A program without a display (headless, or no DISPLAY) shows its forms without loading the
// X11 library: every start would otherwise pay for it and the libraries it needs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/WindowPainter.h"

namespace {

bool X11Loaded() {
  void* lib = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (lib) ::dlclose(lib);
  return lib != nullptr;
}

}  // namespace

TEST(DisplayLibrary, FormsShownWithoutADisplayLeaveTheX11LibraryUnloaded) {
  ASSERT_FALSE(X11Loaded()) << "linked in: every start loads it";
  const char* display = std::getenv("DISPLAY");
  const std::string savedDisplay = display ? display : "";
  for (bool headless : {true, false}) {
    if (headless) {
      ::setenv("WI_HEADLESS", "1", 1);
    } else {
      ::unsetenv("WI_HEADLESS");
      ::unsetenv("DISPLAY");
    }
    auto* form = new TForm(nullptr);
    form->SetBounds(0, 0, 200, 120);
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetCaption("OK");
    form->SetVisible(true);
    form->HandleNeeded();
    UiDriver::RunUntilIdle();
    win::Surface shown;
    WindowPainter::PaintWindow(form, shown);
    EXPECT_EQ(shown.width, 200);
    delete form;
    EXPECT_FALSE(X11Loaded()) << (headless ? "headless" : "no DISPLAY");
  }
  ::unsetenv("WI_HEADLESS");
  if (!savedDisplay.empty()) ::setenv("DISPLAY", savedDisplay.c_str(), 1);
}
