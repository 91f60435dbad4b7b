// The process environment: temporary folder, current folder, first argument.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "support/scoped_variable.h"

namespace orvane::platform {
namespace {

using orvane::testing::ScopedVariable;

struct TempCase {
  std::string name;
  const char* temp;  // nullptr: unset
  const char* tmp;
  const char* tmpdir;
  std::string folder;
};

class TempFolderTest : public ::testing::TestWithParam<TempCase> {};

TEST_P(TempFolderTest, TakesTheFirstSetVariable) {
  const ScopedVariable temp("TEMP", GetParam().temp);
  const ScopedVariable tmp("TMP", GetParam().tmp);
  const ScopedVariable tmpdir("TMPDIR", GetParam().tmpdir);
  EXPECT_EQ(TempFolder(), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Cases, TempFolderTest,
                         ::testing::Values(TempCase{"TempEndingInBackslashUnchanged", "C:\\T\\",
                                                    "/tmp2", nullptr, "C:\\T\\"},
                                           TempCase{"TempEndingInSlashUnchanged", "/var/t/",
                                                    nullptr, nullptr, "/var/t/"},
                                           TempCase{"TempGetsBackslash", "/var/t", nullptr, nullptr,
                                                    "/var/t\\"},
                                           TempCase{"TempBeforeTmp", "/a", "/b", "/c", "/a\\"},
                                           TempCase{"TempUnsetTmpSet", nullptr, "/b", "/c", "/b\\"},
                                           TempCase{"TempEmptyTmpSet", "", "/b", nullptr, "/b\\"},
                                           TempCase{"BothEmptyTmpdirSet", "", "", "/c", "/c\\"},
                                           TempCase{"NoneSet", nullptr, nullptr, nullptr, "/tmp/"},
                                           TempCase{"AllEmpty", "", "", "", "/tmp/"}),
                         [](const auto& tested) { return tested.param.name; });

TEST(CurrentFolder, IsTheWorkingFolderWithoutTrailingSeparator) {
  const std::filesystem::path before = std::filesystem::current_path();
  EXPECT_EQ(CurrentFolder(), before.string());
  ASSERT_EQ(::chdir("/"), 0);
  EXPECT_EQ(CurrentFolder(), "/");
  std::filesystem::current_path(before);
}

TEST(EnvironmentVariable, EmptyWhenUnset) {
  const ScopedVariable set("ORVANE_TEST_VARIABLE", "value");
  EXPECT_EQ(EnvironmentVariable("ORVANE_TEST_VARIABLE"), "value");
  const ScopedVariable unset("ORVANE_TEST_VARIABLE", nullptr);
  EXPECT_EQ(EnvironmentVariable("ORVANE_TEST_VARIABLE"), "");
}

TEST(FirstArgument, IsTheSecondWordOrEmpty) {
  std::string program = "launcher";
  std::string first = "two words";
  std::string second = "dropped";
  char* with_arguments[] = {program.data(), first.data(), second.data(), nullptr};
  InitializeProgram(3, with_arguments);
  EXPECT_EQ(FirstArgument(), "two words");
  char* without[] = {program.data(), nullptr};
  InitializeProgram(1, without);
  EXPECT_EQ(FirstArgument(), "");
}

}  // namespace
}  // namespace orvane::platform
