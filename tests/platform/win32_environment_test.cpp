// Windows semantics of the process environment: the temporary folder, the
// current folder, the first argument, and the conversion to a code page.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "support/scoped_variable.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;

using orvane::testing::ScopedVariable;

struct TempCase {
  std::string name;
  const char* temp;  // nullptr: unset
  const char* tmp;
  std::string folder;
};

class TempFolderTest : public ::testing::TestWithParam<TempCase> {};

TEST_P(TempFolderTest, TakesTempThenTmpWithNoOtherFallback) {
  const ScopedVariable temp("TEMP", GetParam().temp);
  const ScopedVariable tmp("TMP", GetParam().tmp);
  const ScopedVariable tmpdir("TMPDIR", "C:\\posix-only");
  EXPECT_EQ(TempFolder(), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TempFolderTest,
    ::testing::Values(TempCase{"EndingInBackslashUnchanged", "C:\\T\\", "C:\\M", "C:\\T\\"},
                      TempCase{"EndingInSlashUnchanged", "C:/T/", nullptr, "C:/T/"},
                      TempCase{"GetsABackslash", "C:\\T", nullptr, "C:\\T\\"},
                      TempCase{"TempUnsetTmpSet", nullptr, "C:\\M", "C:\\M\\"},
                      TempCase{"TempEmptyTmpSet", "", "C:\\M", "C:\\M\\"},
                      TempCase{"BothUnset", nullptr, nullptr, ""},
                      TempCase{"TempUnsetTmpEmpty", nullptr, "", ""},
                      TempCase{"BeyondAscii", "C:\\Users\\Şule\\Temp", nullptr,
                               "C:\\Users\\Şule\\Temp\\"}),
    [](const auto& tested) { return tested.param.name; });

TEST(TempFolder, NameMatchesWithoutRegardToCase) {
  const ScopedVariable temp("TEMP", nullptr);
  const ScopedVariable tmp("TMP", nullptr);
  const ScopedVariable lower("temp", "C:\\lower");
  EXPECT_EQ(TempFolder(), "C:\\lower\\");
  EXPECT_EQ(EnvironmentVariable("Temp"), "C:\\lower");
}

TEST(CurrentFolder, DriveRootKeepsItsSeparator) {
  const fs::path before = fs::current_path();
  fs::current_path("C:\\");
  const std::string root = CurrentFolder();
  fs::current_path(before);
  EXPECT_EQ(root, "C:\\");
}

TEST(FirstArgument, IsCutFromTheWideCommandLineByTheLaunchersSplitter) {
  // argv is ignored: the command line of this very process is split again.
  std::string program = "launcher";
  std::string first = "not from argv";
  char* argv[] = {program.data(), first.data(), nullptr};
  InitializeProgram(2, argv);
  const std::vector<std::string> words = SplitCommandLine(win32::Narrow(::GetCommandLineW()));
  EXPECT_EQ(FirstArgument(), words.size() > 1 ? words[1] : "");
  EXPECT_NE(FirstArgument(), "not from argv");
}

// --- Code pages --------------------------------------------------------------

struct CodePageCase {
  std::string name;
  unsigned code_page;
  std::string utf8;
  std::string encoded;
};

class CodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, EncodesWithoutBestFitAndReplacesWhatIsMissing) {
  EXPECT_EQ(win32::Utf8ToCodePage(GetParam().utf8, GetParam().code_page), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CodePageTest,
    ::testing::Values(CodePageCase{"WesternLetters", 1252, "Grüße",
                                   "Gr\xFC\xDF"
                                   "e"},
                      CodePageCase{"Euro", 1252, "€", "\x80"},
                      CodePageCase{"MissingLetterBecomesTheDefault", 1252, "Şule", "?ule"},
                      // A best fit would give "A": another name, perhaps another file.
                      CodePageCase{"NoBestFit", 1252, "Ā.zip", "?.zip"},
                      CodePageCase{"StrayContinuationByte", 1252,
                                   "a\x80"
                                   "b",
                                   "a?b"},
                      CodePageCase{"CutSequence", 1252, "a\xC3(", "a?("},
                      CodePageCase{"OverlongSequence", 1252, "\xC0\xAF", "?"},
                      CodePageCase{"EncodedSurrogate", 1252, "\xED\xA0\x80", "?"},
                      CodePageCase{"BeyondTheLastCodePoint", 1252, "\xF4\x90\x80\x80", "?"},
                      CodePageCase{"Empty", 1252, "", ""},
                      CodePageCase{"Turkish", 1254, "Şule", "\xDEule"},
                      CodePageCase{"Japanese", 932, "日本.zip", "\x93\xFA\x96\x7B.zip"},
                      // UTF-8 takes no flags; the conversion is then lossless.
                      CodePageCase{"Utf8KeepsEverything", CP_UTF8, "Şule 日本 €", "Şule 日本 €"},
                      CodePageCase{"Utf8StillReplacesInvalidSequences", CP_UTF8, "a\xC3(", "a?("}),
    [](const auto& tested) { return tested.param.name; });

TEST(Utf8ToSystemCodePage, FollowsTheActiveCodePage) {
  const std::string text = "Grüße Şule";
  EXPECT_EQ(Utf8ToSystemCodePage(text), win32::Utf8ToCodePage(text, ::GetACP()));
  // The manifest makes UTF-8 the ANSI code page where the system honours it
  // (Windows 10 1903 and later); elsewhere Windows-1252 lacks the "Ş".
  if (::GetACP() == CP_UTF8) {
    EXPECT_EQ(Utf8ToSystemCodePage(text), text);
  } else if (::GetACP() == 1252) {
    EXPECT_EQ(Utf8ToSystemCodePage(text),
              "Gr\xFC\xDF"
              "e ?ule");
  }
}

TEST(Utf8ToCodePage, UnknownCodePageRaises) {
  EXPECT_THROW(win32::Utf8ToCodePage("x", 12345), EConvertError);
}

TEST(WideText, RoundTripKeepsEveryCharacter) {
  const std::string text = "C:\\Users\\Şule\\Grüße\\日本\\😀";
  EXPECT_EQ(win32::Narrow(win32::Widen(text)), text);
  EXPECT_EQ(win32::Widen(""), L"");
  EXPECT_EQ(win32::Narrow(L""), "");
}

}  // namespace
}  // namespace orvane::platform

#endif  // _WIN32
