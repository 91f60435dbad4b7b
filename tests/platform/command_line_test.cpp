// Command-line rules: splitting into words, quoting, and the command line a
// launch object builds.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/process.h"

namespace orvane::platform {
namespace {

struct SplitCase {
  std::string name;
  std::string line;
  std::vector<std::string> words;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, GivesTheWords) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OnlySeparators", " \t \r\n", {}},
        SplitCase{"PlainWords", "prog a b", {"prog", "a", "b"}},
        SplitCase{"RunsOfSpacesSkipped", "  prog   a  ", {"prog", "a"}},
        SplitCase{"TabSeparates", "prog a\tb", {"prog", "a", "b"}},
        SplitCase{"ControlCodesSeparate",
                  "a\x01"
                  "b\x1F"
                  "c\x20"
                  "d",
                  {"a", "b", "c", "d"}},
        SplitCase{"Code33DoesNotSeparate", "a!b", {"a!b"}},
        SplitCase{"HighBytesDoNotSeparate", "caf\xC3\xA9 x\xA0y", {"caf\xC3\xA9", "x\xA0y"}},
        SplitCase{"QuotesKeepSpaces", "prog \"a b\"", {"prog", "a b"}},
        SplitCase{"QuotesKeepTabs", "\"a\tb\"", {"a\tb"}},
        SplitCase{"QuoteInsideWord", "ab\"c d\"e f", {"abc de", "f"}},
        SplitCase{"UnclosedQuoteRunsToTheEnd", "prog \"a b", {"prog", "a b"}},
        SplitCase{"DoubledQuoteDropped", "a\"\"b", {"ab"}},
        SplitCase{"DoubledQuoteDoesNotSwitchQuoting", "\"a\"\"b c\" d", {"ab c", "d"}},
        SplitCase{"DoubledQuoteOutsideDoesNotStartQuoting", "a\"\" b", {"a", "b"}},
        SplitCase{"DoubledQuoteAloneIsAnEmptyWord", "prog \"\" x", {"prog", "", "x"}},
        SplitCase{"QuotedProgramPath",
                  "\"C:\\T\\\\orvane42\\orvane.exe\" ",
                  {"C:\\T\\\\orvane42\\orvane.exe"}}),
    [](const auto& tested) { return tested.param.name; });

struct QuoteCase {
  std::string name;
  std::string text;
  std::string quoted;
};

class QuoteIfNeededTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteIfNeededTest, QuotesOnlyTextWithASpaceAndNoQuote) {
  EXPECT_EQ(QuoteIfNeeded(GetParam().text), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(Cases, QuoteIfNeededTest,
                         ::testing::Values(QuoteCase{"Empty", "", ""},
                                           QuoteCase{"NoSpace", "abc", "abc"},
                                           QuoteCase{"Space", "a b", "\"a b\""},
                                           QuoteCase{"OnlySpace", " ", "\" \""},
                                           QuoteCase{"TabIsNoSpace", "a\tb", "a\tb"},
                                           QuoteCase{"QuoteWithSpace", "\"a b\"", "\"a b\""},
                                           QuoteCase{"QuoteWithoutSpace", "a\"b", "a\"b"}),
                         [](const auto& tested) { return tested.param.name; });

struct CommandLineCase {
  std::string name;
  std::string executable;
  std::vector<std::string> parameters;
  std::string line;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, JoinsExecutableAndParameters) {
  TProcess process;
  process.Executable = GetParam().executable;
  process.Parameters = GetParam().parameters;
  EXPECT_EQ(process.CommandLine(), GetParam().line);
}

const std::string kInner = "\"C:\\T\\\\orvane42\\orvane.exe\"";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"NoParameters", "prog", {}, "prog"},
        CommandLineCase{"EmptyParameterLeavesTrailingSpace", kInner, {""}, kInner + " "},
        CommandLineCase{"ParameterWithSpaceQuoted", kInner, {"a b"}, kInner + " \"a b\""},
        CommandLineCase{"ParameterWithTabNotQuoted", kInner, {"a\tb"}, kInner + " a\tb"},
        CommandLineCase{"ParameterWithQuoteNotQuoted", kInner, {"a \"b"}, kInner + " a \"b"},
        CommandLineCase{
            "ExecutableWithSpaceQuoted", "C:\\my prog.exe", {"x"}, "\"C:\\my prog.exe\" x"},
        CommandLineCase{"OneSpaceBetweenEach", "p", {"a", "", "b c"}, "p a  \"b c\""}),
    [](const auto& tested) { return tested.param.name; });

TEST(TProcessOptions, RunSuspendedRemovesWaitOnExit) {
  TProcess process;
  EXPECT_TRUE(process.Options().empty());
  process.AddOption(TProcessOption::poWaitOnExit);
  EXPECT_TRUE(process.Options().contains(TProcessOption::poWaitOnExit));
  process.AddOption(TProcessOption::poRunSuspended);
  EXPECT_FALSE(process.Options().contains(TProcessOption::poWaitOnExit));
  process.SetOptions({TProcessOption::poWaitOnExit, TProcessOption::poRunSuspended});
  EXPECT_EQ(process.Options(), std::set<TProcessOption>{TProcessOption::poRunSuspended});
}

TEST(TProcessExecute, EmptyExecutableRaises) {
  TProcess process;
  process.Parameters = {"x"};
  try {
    process.Execute();
    FAIL() << "no failure raised";
  } catch (const EProcess& e) {
    EXPECT_EQ(e.Message(), "Cannot execute empty command-line");
    EXPECT_STREQ(e.ClassName(), "EProcess");
  }
}

}  // namespace
}  // namespace orvane::platform
