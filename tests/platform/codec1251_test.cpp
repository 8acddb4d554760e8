#include "platform/codec1251.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"

namespace {

TEST(Codec1251, EveryByteDecodesAsPythonsCodecAndSurvivesTheRoundTrip) {
  // Python's cp1251 codec leaves 0x98 unassigned; we map it to U+0098.
  const std::string out = RunCommand(
      "/usr/bin/python3 -c \"print(' '.join(str(ord(bytes([b]).decode('cp1251'))) "
      "if b != 0x98 else '152' for b in range(256)))\"").Output;
  std::istringstream in(out);
  std::vector<char32_t> expected;
  for (unsigned long c; in >> c;) {
    expected.push_back(static_cast<char32_t>(c));
  }
  ASSERT_EQ(expected.size(), 256u);
  std::string all;
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(Cp1251ToChar(static_cast<unsigned char>(b)), expected[b]) << "byte " << b;
    all += static_cast<char>(b);
  }
  const TCp1251Text back = Utf8ToCp1251(Cp1251ToUtf8(all));
  EXPECT_TRUE(back.Ok());
  EXPECT_EQ(back.Text, all);
}

TEST(Codec1251, CyrillicTextConvertsBothWaysExactly) {
  const std::string utf8 = "Ёлка, ёж и «Щука» №5 — €";
  const std::optional<std::string> cp = Utf8ToCp1251Exact(utf8);
  ASSERT_TRUE(cp.has_value());
  EXPECT_EQ(*cp, "\xA8\xEB\xEA\xE0, \xB8\xE6 \xE8 \xAB\xD9\xF3\xEA\xE0\xBB \xB9" "5 \x97 \x88");
  EXPECT_EQ(Cp1251ToUtf8(*cp), utf8);
  EXPECT_FALSE(Utf8ToCp1251Exact("♪").has_value());
  EXPECT_FALSE(CharToCp1251(U'♪').has_value());
  EXPECT_EQ(CharToCp1251(U'Ё'), static_cast<unsigned char>(0xA8));
}

TEST(Codec1251, CharactersTheCodePageCannotHoldAndMalformedUtf8AreReported) {
  const TCp1251Text result = Utf8ToCp1251("до ♪ 中 ре");
  EXPECT_FALSE(result.Ok());
  EXPECT_EQ(result.Refused, std::u32string(U"♪中"));
  EXPECT_EQ(result.Text, "\xE4\xEE ? ? \xF0\xE5");
  for (const std::string text : {"\xC3", "a\xC0\xAF", "\xED\xA0\x80", "\xFF", "\xE2\x82"}) {
    const TCp1251Text bad = Utf8ToCp1251(text);
    EXPECT_TRUE(bad.BadUtf8) << text;
    EXPECT_FALSE(bad.Ok()) << text;
    EXPECT_NE(bad.Text.find('?'), std::string::npos) << text;
  }
  bool malformed = true;
  EXPECT_EQ(Utf8ToChars("aЖ€😀", &malformed), std::u32string(U"aЖ€😀"));
  EXPECT_FALSE(malformed);
  EXPECT_EQ(CharsToUtf8(U"aЖ€😀"), "aЖ€😀");
}

}  // namespace
