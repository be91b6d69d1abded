#pragma once
// A second X client for the tests: sends synthetic clicks and reads window pixels, as a
// user and a screenshot tool would. Kept apart because Xlib's macros clash with the
// toolkit's names.
#include <cstdint>
#include <vector>

namespace xclient {

bool Open(const char* display);
void Close();
void Click(unsigned long window, int x, int y);
// A mapped top-level window with this title, of any client; 0 when there is none.
unsigned long FindWindow(const char* title);
// 0x00RRGGBB rows, top to bottom; empty on failure.
std::vector<std::uint32_t> Grab(unsigned long window, int* width, int* height);

}  // namespace xclient
