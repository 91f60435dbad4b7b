// Conversion of launcher paths to the system code page (UTF-8 on POSIX), and
// the UTF-8 / UTF-16 decoding underneath it.

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/unicode.h"

namespace orvane::platform {
namespace {

struct CodePageCase {
  std::string name;
  std::string utf8;
  std::string converted;
};

class Utf8ToSystemCodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(Utf8ToSystemCodePageTest, KeepsValidTextAndReplacesEachInvalidSequence) {
  EXPECT_EQ(Utf8ToSystemCodePage(GetParam().utf8), GetParam().converted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToSystemCodePageTest,
    ::testing::Values(CodePageCase{"Empty", "", ""},
                      CodePageCase{"Ascii", "C:\\T\\a b.txt", "C:\\T\\a b.txt"},
                      CodePageCase{"TwoBytes", "caf\xC3\xA9", "caf\xC3\xA9"},
                      CodePageCase{"ThreeBytes", "\xE2\x82\xAC", "\xE2\x82\xAC"},
                      CodePageCase{"FourBytes", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
                      CodePageCase{"LargestValue", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
                      CodePageCase{"StrayContinuation",
                                   "a\x80"
                                   "b",
                                   "a?b"},
                      CodePageCase{"TwoStrayContinuations", "\x80\xBF", "??"},
                      CodePageCase{"CutAtTheEnd", "a\xE2\x82", "a?"},
                      CodePageCase{"CutByAnAsciiByte", "\xE2\x82z", "?z"},
                      CodePageCase{"CutFourByteSequence",
                                   "\xF0\x9F\x98"
                                   "a",
                                   "?a"},
                      CodePageCase{"CutByANewLead", "\xC3\xC3\xA9", "?\xC3\xA9"},
                      CodePageCase{"OverlongTwoBytes", "\xC0\xAF", "?"},
                      CodePageCase{"OverlongThreeBytes", "\xE0\x80\xAF", "?"},
                      CodePageCase{"OverlongFourBytes", "\xF0\x80\x80\xAF", "?"},
                      CodePageCase{"HighSurrogate", "\xED\xA0\x80", "?"},
                      CodePageCase{"LowSurrogate", "x\xED\xBF\xBFy", "x?y"},
                      CodePageCase{"BeyondLargestValue", "\xF4\x90\x80\x80", "?"},
                      CodePageCase{"LeadF5", "\xF5\x80\x80\x80", "?"},
                      CodePageCase{"ByteFF",
                                   "a\xFF"
                                   "b",
                                   "a?b"}),
    [](const auto& tested) { return tested.param.name; });

TEST(Utf16, CharactersBeyondTheBasicPlaneUseASurrogatePair) {
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
  EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(Utf16, UnpairedSurrogateBecomesQuestionMark) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD83D"
                        "b"),
            "a?b");
  EXPECT_EQ(Utf16ToUtf8(u"\xDE00"), "?");
}

}  // namespace
}  // namespace orvane::platform
