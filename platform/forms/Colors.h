#pragma once
// Colours: 0x00BBGGRR, or a system colour index with the high byte 0x80 (shared with the
// drawing layer).
#include "platform/forms/graphics/ColorConstants.h"
