// Code page conversion at the OS boundary: the 8-bit texts of the language
// file and the host's files to UTF-16 and back.

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace zet {
namespace {

TEST(CodePage, WesternTextAndEveryByteConvertBothWays) {
  const std::string ansi = "Gr\xFC\xDF" "e \x80 \x84Z\x93 \xC4\xD6\xDC";
  EXPECT_EQ(platform::AnsiToUtf16(ansi), u"Grüße € „Z“ ÄÖÜ");
  EXPECT_EQ(platform::Utf16ToAnsi(u"Grüße € „Z“ ÄÖÜ"), ansi);
  EXPECT_EQ(platform::Utf16ToAnsi(u"\u4E00x"), "?x") << "no 8-bit form";
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(platform::AnsiToUtf16(all).size(), all.size());
  EXPECT_EQ(platform::Utf16ToAnsi(platform::AnsiToUtf16(all)), all);
}

}  // namespace
}  // namespace zet
