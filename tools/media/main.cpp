// media DIR [--tolvane|--install|--both] [--version a.b.c.d] [--file NAME=a.b.c.d]...
#include <iostream>
#include <string>
#include <vector>

#include "tools/media/SampleMedia.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return media::RunMediaCommand(args, std::cout, std::cerr);
}
