// Item id lists on any bytes: a list that came with its size, and a dragged "Shell IDList
// Array" block; what is accepted is walked, copied, joined and its items read, never past
// the bytes given.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/shell/ItemIdList.h"
#include "platform/shell/Ole.h"

namespace {

void UseList(win::LPCITEMIDLIST list) {
  win::ILGetCount(list);
  win::ILFindLastID(list);
  if (win::LPITEMIDLIST copy = win::ILClone(list)) {
    win::ILRemoveLastID(copy);
    win::ILFree(win::ILCombine(copy, list));
    win::ILIsEqual(copy, list);
    win::ILFree(copy);
  }
  win::ILFree(win::ILCloneFirst(list));
  if (auto items = win::pidl::Split(list)) {
    for (const std::string& item : *items) {
      std::string one = item + std::string(2, '\0');
      auto p = reinterpret_cast<win::LPCITEMIDLIST>(one.data());
      win::pidl::AsRoot(p);
      win::pidl::AsDrive(p);
      win::pidl::AsFile(p);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact copy: a read past it is one past the input.
  std::vector<std::uint8_t> bytes(data, data + size);
  auto list = reinterpret_cast<win::LPCITEMIDLIST>(bytes.data());
  if (size >= 2 && win::ILSizeWithin(list, size)) UseList(list);

  win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE, size);
  if (size) std::memcpy(win::GlobalLock(block), data, size);
  win::GlobalUnlock(block);
  std::vector<std::string> lists;
  if (win::ReadIdListArray(block, &lists))
    for (std::string& l : lists) {
      l.append(2, '\0');
      UseList(reinterpret_cast<win::LPCITEMIDLIST>(l.data()));
    }
  win::GlobalFree(block);
  return 0;
}
