// Code page conversion at the OS boundary: the 8-bit texts of the language
// file and the host's files to UTF-16 and back.

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace zet {
namespace {

TEST(CodePage, WesternTextConvertsBothWays) {
  const std::string ansi = "Gr\xFC\xDF" "e \x80 \x84Z\x93 \xC4\xD6\xDC";
  const std::u16string wide = u"Grüße € „Z“ ÄÖÜ";
  EXPECT_EQ(platform::AnsiToUtf16(ansi), wide);
  EXPECT_EQ(platform::Utf16ToAnsi(wide), ansi);
  EXPECT_EQ(platform::AnsiToUtf16(""), u"");
  EXPECT_EQ(platform::Utf16ToAnsi(u"\u4E00x"), "?x") << "no 8-bit form";
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::u16string wide = platform::AnsiToUtf16(all);
  EXPECT_EQ(wide.size(), all.size());
  EXPECT_EQ(platform::Utf16ToAnsi(wide), all);
}

}  // namespace
}  // namespace zet
