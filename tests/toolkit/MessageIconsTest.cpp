// The icons of the message dialogs as the person sees them: each kind of dialog is shown
// through the helpers, saved as the picture the screen gets, and searched for its icon.
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/forms/graphics/ImageFiles.h"
#include "platform/forms/graphics/StockIcons.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"

using namespace tk;
namespace fs = std::filesystem;

namespace {

class MessageIcons : public ToolkitTest {
 protected:
  MessageIcons() {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("wi-icons-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir_);
    ::setenv("WI_SNAPSHOT_DIR", dir_.c_str(), 1);
  }
  ~MessageIcons() override {
    ::unsetenv("WI_SNAPSHOT_DIR");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // The screen picture of the dialog that `show` brings up.
  win::Surface Shown(const std::function<void()>& show) {
    fs::remove(dir_ / "MessageDlg.png");
    show();
    return win::LoadPng(dir_ / "MessageDlg.png");
  }
  fs::path dir_;
};

// Where the icon's drawn pixels all appear in the picture (the key colour is transparent).
std::optional<win::POINT> Find(const win::Surface& shot, const win::Surface& icon) {
  for (int oy = 0; oy + icon.height <= shot.height; ++oy)
    for (int ox = 0; ox + icon.width <= shot.width; ++ox) {
      bool all = true;
      for (int y = 0; y < icon.height && all; ++y)
        for (int x = 0; x < icon.width && all; ++x) {
          std::uint32_t p = icon.Row(y)[x];
          all = p == win::kStockIconKey || p == shot.Row(oy + y)[ox + x];
        }
      if (all) return win::POINT{ox, oy};
    }
  return std::nullopt;
}

int Count(const win::Surface& s, std::uint32_t pixel) {
  int n = 0;
  for (std::uint32_t p : s.pixels) n += p == pixel;
  return n;
}

TEST_F(MessageIcons, EachKindOfDialogShowsItsOwnIconBesideTheText) {
  struct Case {
    win::TStockIcon icon;
    std::function<void()> show;
  } cases[] = {
      {win::TStockIcon::Warning, [] { ShowWarning("Attention au disque"); }},
      {win::TStockIcon::Error, [] { ShowError("Le fichier manque"); }},
      {win::TStockIcon::Information, [] { ShowInfo("Installation terminée"); }},
      {win::TStockIcon::Confirmation, [] { AskConfirm("Continuer ?"); }},
  };
  UiScript::Expect("*", "Attention", "ok");
  UiScript::Expect("*", "manque", "ok");
  UiScript::Expect("*", "terminée", "ok");
  UiScript::Expect("*", "Continuer", "yes");
  std::vector<win::Surface> icons;
  for (auto& c : cases) icons.push_back(win::DrawStockIcon(c.icon));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    win::Surface shot = Shown(cases[i].show);
    auto at = Find(shot, icons[i]);
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(Count(shot, win::kStockIconKey), 0) << "the icon's background shows";
    // Near the upper left corner, with the dialog's face around it.
    EXPECT_LT(at->x, 20);
    EXPECT_LT(at->y, 50);
    EXPECT_EQ(shot.Row(at->y + 31)[at->x], shot.Row(at->y + 31)[at->x - 1]);
    // No other kind's icon.
    for (size_t k = 0; k < icons.size(); ++k)
      if (k != i) {
        EXPECT_FALSE(Find(shot, icons[k]).has_value()) << k;
      }
  }
}

}  // namespace
