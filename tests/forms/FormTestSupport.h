#pragma once
// Simulated time, a clean script and application for each forms test.
#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Clock.h"

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::clock::SetSimulated(true);
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  void TearDown() override {
    EXPECT_TRUE(UiScript::UnusedAnswers().empty()) << UiScript::UnusedAnswers().front();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
};

// A 24-bit BMP file, rows bottom-up, pixels given top-down as 0x00BBGGRR.
inline std::string Bmp24(int w, int h, const std::vector<int>& px) {
  auto put = [](std::string& s, unsigned v, int n) {
    for (int i = 0; i < n; ++i) s += char((v >> (8 * i)) & 0xFF);
  };
  int stride = (w * 3 + 3) / 4 * 4;
  std::string b = "BM";
  put(b, unsigned(54 + stride * h), 4);
  put(b, 0, 4);
  put(b, 54, 4);
  put(b, 40, 4);
  put(b, unsigned(w), 4);
  put(b, unsigned(h), 4);
  put(b, 1, 2);
  put(b, 24, 2);
  for (int i = 0; i < 6; ++i) put(b, 0, 4);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      int c = px[size_t(y) * size_t(w) + size_t(x)];
      b += char((c >> 16) & 0xFF), b += char((c >> 8) & 0xFF), b += char(c & 0xFF);
    }
    b.append(size_t(stride - w * 3), '\0');
  }
  return b;
}

// Binary data as a description writes it, at the given indentation.
inline std::string HexBlock(const std::string& data, const std::string& indent) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "{";
  for (size_t i = 0; i < data.size(); ++i) {
    if (i % 32 == 0) out += "\n" + indent + "  ";
    out += hex[static_cast<unsigned char>(data[i]) >> 4];
    out += hex[static_cast<unsigned char>(data[i]) & 15];
  }
  return out + "}";
}
