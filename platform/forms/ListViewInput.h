#pragma once
// The list view window's answers to the user's mouse and keys: selection by click, with Ctrl
// and Shift, drags, the context menu, the header's share of the mouse, navigation keys and
// type-ahead.
#include "platform/forms/ListViewWindow.h"

namespace ListViewInput {

using Native = TCustomListView::Native;
using Reply = ViewWindow::Reply;

Reply LeftDown(Native& w, TMessage& m);
Reply DoubleClick(Native& w, TMessage& m);
Reply RightDown(Native& w, TMessage& m);
Reply MouseMove(Native& w, TMessage& m);
Reply ButtonUp(Native& w, TMessage& m);
Reply KeyDown(Native& w, TMessage& m);
Reply Char(Native& w, TMessage& m);

}  // namespace ListViewInput
