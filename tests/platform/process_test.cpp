// Starting a program: the exit code, the argument vector the child sees, the
// execute bit a program from a zip archive lacks, and launch failures.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;
using orvane::testing::ReadText;
using orvane::testing::TempFolder;
using orvane::testing::WriteText;

// A program that writes each of its arguments, in brackets, to a file.
class ArgumentPrinter {
 public:
  explicit ArgumentPrinter(const std::string& folder_name = "bin") {
    fs::create_directories(temp_.Path() / folder_name);
    script_ = temp_.Path() / folder_name / "print args";
    output_ = temp_.Path() / "args.txt";
    WriteText(script_, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" +
                           output_.string() + "'\nexit 7\n");
    fs::permissions(script_, fs::perms::owner_read | fs::perms::owner_write);
  }
  [[nodiscard]] const fs::path& Script() const { return script_; }
  [[nodiscard]] std::string Printed() const { return ReadText(output_); }
  [[nodiscard]] const TempFolder& Temp() const { return temp_; }

 private:
  TempFolder temp_;
  fs::path script_;
  fs::path output_;
};

TEST(StartProcess, WaitsAndGivesTheExitCode) {
  const StartedProcess started = StartProcess("/bin/sh -c \"exit 3\"", true);
  EXPECT_EQ(started.exit_code, 3);
  EXPECT_NE(started.process_id, 0U);
}

TEST(StartProcess, BareNameIsLookedUpInPath) {
  EXPECT_EQ(StartProcess("sh -c \"exit 4\"", true).exit_code, 4);
}

TEST(StartProcess, ProgramWithoutExecuteBitIsMadeExecutable) {
  const ArgumentPrinter printer;
  const StartedProcess started = StartProcess("\"" + printer.Script().string() + "\" x", true);
  EXPECT_EQ(started.exit_code, 7);
  EXPECT_NE(fs::status(printer.Script()).permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_EQ(printer.Printed(), "[x]\n");
}

struct ArgumentCase {
  std::string name;
  std::vector<std::string> parameters;
  std::string printed;
};

class ArgumentVectorTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentVectorTest, ChildSeesTheSplitCommandLine) {
  const ArgumentPrinter printer;
  TProcess process;
  process.Executable = "\"" + printer.Script().string() + "\"";
  process.Parameters = GetParam().parameters;
  process.AddOption(TProcessOption::poWaitOnExit);
  process.Execute();
  EXPECT_EQ(process.ExitCode(), 7);
  EXPECT_EQ(printer.Printed(), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgumentVectorTest,
    ::testing::Values(ArgumentCase{"EmptyArgumentGivesNone", {""}, ""},
                      ArgumentCase{"OneWord", {"theorem"}, "[theorem]\n"},
                      ArgumentCase{
                          "SpaceKeptInOneArgument", {"C:\\my file.orv"}, "[C:\\my file.orv]\n"},
                      ArgumentCase{"TabSplitsInTwo", {"a\tb"}, "[a]\n[b]\n"},
                      ArgumentCase{"SeveralParameters", {"a", "b c"}, "[a]\n[b c]\n"},
                      ArgumentCase{"BackslashesUntouched", {"\\\\x\\"}, "[\\\\x\\]\n"}),
    [](const auto& tested) { return tested.param.name; });

TEST(StartProcess, ProgramPathInTheLaunchersFormRuns) {
  // The launcher names its inner program with backslashes and doubled
  // separators, as the temporary folder and "\orvane42\" are joined.
  const ArgumentPrinter printer("orvane42");
  TProcess process;
  process.Executable = "\"" + printer.Temp().Path().string() + "\\\\orvane42\\print args\"";
  process.Parameters = {"first argument"};
  process.AddOption(TProcessOption::poWaitOnExit);
  process.Execute();
  EXPECT_EQ(printer.Printed(), "[first argument]\n");
}

struct FailureCase {
  std::string name;
  std::string program;  // relative to a scratch folder, or absolute
  int code;
};

class LaunchFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LaunchFailureTest, RaisesWithTheCommandLineAndTheSystemCode) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "folder");
  const std::string program =
      GetParam().program.starts_with("/") ? GetParam().program : temp / GetParam().program;
  const std::string line = "\"" + program + "\" ";
  try {
    StartProcess(line, true);
    FAIL() << "no failure raised";
  } catch (const EProcess& e) {
    EXPECT_EQ(e.Message(), "Failed to execute " + line + " : " + std::to_string(GetParam().code));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LaunchFailureTest,
                         ::testing::Values(FailureCase{"MissingProgram", "orvane.exe", 2},
                                           FailureCase{"MissingFolder", "none/orvane.exe", 2},
                                           FailureCase{"FolderIsNoProgram", "folder", 13},
                                           FailureCase{"MissingBareName", "/orvane-no-such-program",
                                                       2}),
                         [](const auto& tested) { return tested.param.name; });

TEST(StartProcess, BadInterpreterRaisesInsteadOfExitCode127) {
  const TempFolder temp;
  const std::string script = temp / "bad";
  WriteText(script, "#!/orvane/no/such/interpreter\n");
  fs::permissions(script, fs::perms::owner_all);
  EXPECT_THROW(StartProcess(script, true), EProcess);
}

TEST(StartProcess, EmptyCommandLineRaises) {
  EXPECT_THROW(StartProcess("  ", true), EProcess);
}

}  // namespace
}  // namespace orvane::platform
