#pragma once
// Lays out the visible push and speed buttons of a panel in one row at its bottom right:
// all take the height of the rightmost, Margin = height * 10 / 25 around and between them,
// order and widths kept, anchored right and bottom; the panel's client height becomes
// height + 2 * Margin. A panel without such buttons is left alone.
class TPanel;

void ArrangePanelButtons(TPanel* Panel);
