// The form text reader on any bytes: a description read into a form (and written back), or
// the reader's own error; never a crash or another exception.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/Streaming.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("WI_HEADLESS", "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    ParseFormText(text, "fuzz.form");
  } catch (const EReadError&) {
    return 0;
  }
  try {
    TForm form(nullptr);
    ReadComponentFromText(&form, text, "fuzz.form");
    TForm again(nullptr);
    ReadComponentFromText(&again, WriteComponentToText(&form), "written.form");
  } catch (const Exception&) {
  }
  return 0;
}
