#pragma once
// The sizes and non-client fonts of the classic look, as GetSystemMetrics and
// SystemParametersInfo(SPI_GETNONCLIENTMETRICS) report them. One fixed look: there is no
// user setting to follow.
#include "platform/forms/graphics/GdiTypes.h"

namespace win {

inline constexpr int SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CYMENU = 15,
                     SM_CXSMICON = 49, SM_CYSMICON = 50;
inline constexpr UINT SPI_GETNONCLIENTMETRICS = 0x29;

struct NONCLIENTMETRICS {
  UINT cbSize = sizeof(NONCLIENTMETRICS);
  int iBorderWidth = 0, iScrollWidth = 0, iScrollHeight = 0, iCaptionWidth = 0, iCaptionHeight = 0;
  LOGFONT lfCaptionFont;
  int iSmCaptionWidth = 0, iSmCaptionHeight = 0;
  LOGFONT lfSmCaptionFont;
  int iMenuWidth = 0, iMenuHeight = 0;
  LOGFONT lfMenuFont, lfStatusFont, lfMessageFont;
};

// 0 for an index the look does not define.
int GetSystemMetrics(int index);
// What SPI_GETNONCLIENTMETRICS fills (cbSize set).
NONCLIENTMETRICS ClassicNonClientMetrics();

}  // namespace win
