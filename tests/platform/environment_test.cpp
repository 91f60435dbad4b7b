// The process environment: temporary folder, current folder, first argument.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace orvane::platform {
namespace {

// Sets or unsets environment variables for one test and puts the old values
// back at the end.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

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
