#pragma once
// What the windows behind the list and tree views share, whatever way they keep their items:
// answering each message with one member function, the scroll bars' upkeep, the label
// editor's life, the right click, and the frame of a paint (the control's custom-draw
// stages, the background, the font) around the items.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/forms/ViewSupport.h"

class ViewWindow {
 public:
  // A handler's reply: the message's result, or none to leave the message to the control.
  using Reply = std::optional<win::LRESULT>;

  // The answers of a window type W by message (its member functions, or functions taking
  // it); `bars`: the scroll bars are brought up to date first, for messages whose answer
  // depends on what shows.
  template <class W>
  class MessageMap {
   public:
    struct Entry {
      win::UINT msg;
      std::function<Reply(W&, TMessage&)> answer;
      bool bars = false;
    };
    MessageMap(std::initializer_list<Entry> entries) {
      for (const Entry& e : entries) FEntries.emplace(e.msg, e);
    }
    // Answers m; false when the map has no answer for it, or its answer left it.
    bool Answer(W& window, TMessage& m) const {
      auto it = FEntries.find(m.Msg);
      if (it == FEntries.end()) return false;
      if (it->second.bars) window.SyncBars(false);
      Reply r = it->second.answer(window, m);
      if (r) m.Result = *r;
      return r.has_value();
    }

   private:
    std::unordered_map<win::UINT, Entry> FEntries;
  };

  explicit ViewWindow(TWinControl& view) : FView(view) {}
  virtual ~ViewWindow() = default;
  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  // Works the scroll bars out again when the view changed since they last were (force:
  // always).
  virtual void SyncBars(bool force) = 0;

  // Set while the view is destroyed: its items go without events or messages.
  bool destroying = false;
  // The label editor, made on first use.
  std::unique_ptr<ViewSupport::TInPlaceEdit> edit;
  win::COLORREF bk = win::CLR_NONE, text = win::CLR_NONE;
  int xOff = 0;  // pixels scrolled to the left

  win::LRESULT Notify(int code, win::NMHDR* hdr) { return ViewSupport::Notify(&FView, code, hdr); }
  // Sends a key notification (NMLVKEYDOWN or NMTVKEYDOWN) for key.
  template <class KeyDown>
  void NotifyKey(int code, win::WORD key) {
    KeyDown kd;
    kd.wVKey = key;
    Notify(code, &kd.hdr);
  }
  // Runs work, which sets the bars, unless nothing that shows changed since it last ran: no
  // invalidation and the same number of items. Not again from within itself.
  void KeepBars(bool force, const std::function<size_t()>& items,
                const std::function<void()>& work);

  // Opens the label editor over the label (see ViewSupport::OpenLabelEditor).
  win::HWND OpenEditor(const win::RECT& label, int minWidth, const std::string& text,
                       win::UINT doneMsg);
  // Hides the editor and detaches it from the view; gives the text it held.
  std::string CloseEditor();
  // After an edit: the focus back to the view, and the view repainted.
  void EditorClosed();
  void TakeFocus();

  // A right click that NM_RCLICK leaves alone asks for the context menu (at: the click's
  // lParam).
  void RightClicked(win::LPARAM at);
  Reply DialogCode(TMessage&) { return win::DLGC_WANTARROWS | win::DLGC_WANTCHARS; }

  // The background: the colour set, else the control's.
  win::COLORREF Background() const;
  // Paints the view on dc (cd: the view's custom-draw structure, its dc and stage filled
  // here): the pre-paint stage, the background with its border, the view's font selected
  // while items(pre-paint answer, background) paints, then the post-paint stage when asked.
  void PaintFrame(win::HDC dc, win::NMCUSTOMDRAW& cd, bool border,
                  const std::function<void(win::LRESULT pre, win::COLORREF bk)>& items);
  // After one item is painted: the DC state its custom draw kept is restored, and its
  // post-paint stage told when asked for (answer: its pre-paint answer).
  void ItemPainted(win::HDC dc, win::NMCUSTOMDRAW& cd, win::LRESULT answer);

  TWinControl& FView;

 private:
  int FBarsInvalidate = -1;
  size_t FBarsItems = 0;
  bool FSyncingBars = false;
};
