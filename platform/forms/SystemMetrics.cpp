#include "platform/forms/SystemMetrics.h"

#include <cstring>

namespace win {

namespace {
LOGFONT Font(const char* face, LONG height, LONG weight) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWeight = weight;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}
}  // namespace

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 16;
    case SM_CYCAPTION:
      return 19;
    case SM_CYMENU:
      return 19;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    default:
      return 0;
  }
}

NONCLIENTMETRICS ClassicNonClientMetrics() {
  NONCLIENTMETRICS m;
  m.iBorderWidth = 1;
  m.iScrollWidth = m.iScrollHeight = 16;
  m.iCaptionWidth = m.iCaptionHeight = 18;
  m.lfCaptionFont = Font("MS Sans Serif", -11, 700);
  m.iSmCaptionWidth = 12;
  m.iSmCaptionHeight = 15;
  m.lfSmCaptionFont = Font("MS Sans Serif", -11, 700);
  m.iMenuWidth = m.iMenuHeight = 18;
  m.lfMenuFont = Font("MS Sans Serif", -11, 400);
  m.lfStatusFont = Font("MS Sans Serif", -11, 400);
  m.lfMessageFont = Font("MS Sans Serif", -11, 400);
  return m;
}

}  // namespace win
