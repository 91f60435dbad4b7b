// Windows semantics of the launch: CreateProcessW finds the program from the
// first word of the command line, the child inherits the current folder and
// the environment, and a failure carries the system's error code.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "support/temp_folder.h"

namespace orvane::platform {
namespace {

namespace fs = std::filesystem;
using orvane::testing::ReadText;
using orvane::testing::TempFolder;

constexpr int kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr int kAccessDenied = 5;  // ERROR_ACCESS_DENIED

TEST(StartProcess, WaitsAndGivesTheExitCode) {
  TProcess process;
  process.Executable = "cmd.exe";
  process.Parameters = {"/c", "exit", "7"};
  process.AddOption(TProcessOption::poWaitOnExit);
  process.Execute();
  EXPECT_EQ(process.ExitCode(), 7);
  EXPECT_NE(process.ProcessID(), 0U);
}

TEST(StartProcess, ChildInheritsTheCurrentFolderAndTheEnvironment) {
  const TempFolder temp;
  const fs::path before = fs::current_path();
  fs::current_path(temp.Path());
  ::_putenv_s("ORVANE_PROBE", "inherited");
  const StartedProcess started =
      StartProcess("cmd.exe /c \"cd > here.txt && echo %ORVANE_PROBE%> probe.txt\"", true);
  StartedProcess copy = started;
  CloseProcessHandles(copy);
  ::_putenv_s("ORVANE_PROBE", "");
  fs::current_path(before);
  EXPECT_EQ(started.exit_code, 0);
  EXPECT_TRUE(fs::equivalent(ReadText(temp / "here.txt").substr(0, temp.Path().string().size()),
                             temp.Path()));
  EXPECT_EQ(ReadText(temp / "probe.txt"), "inherited\r\n");
}

struct FailureCase {
  std::string name;
  std::string program;  // inside the scratch folder
  int code;
};

class LaunchFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LaunchFailureTest, RaisesWithTheCommandLineAndTheSystemCode) {
  const TempFolder temp;
  fs::create_directory(temp.Path() / "folder");
  // The launcher's own form: the program quoted, one space, an empty argument.
  const std::string line = "\"" + temp / GetParam().program + "\" ";
  try {
    StartProcess(line, true);
    FAIL() << "no failure raised";
  } catch (const EProcess& e) {
    EXPECT_EQ(e.Message(), "Failed to execute " + line + " : " + std::to_string(GetParam().code));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchFailureTest,
    ::testing::Values(FailureCase{"MissingProgram", "orvane.exe", kFileNotFound},
                      FailureCase{"FolderIsNoProgram", "folder", kAccessDenied}),
    [](const auto& tested) { return tested.param.name; });

TEST(CloseProcessHandles, LeavesNoHandleAndMayBeRepeated) {
  StartedProcess started = StartProcess("cmd.exe /c exit 0", true);
  EXPECT_NE(started.process_handle, -1);
  EXPECT_NE(started.thread_handle, -1);
  CloseProcessHandles(started);
  EXPECT_EQ(started.process_handle, -1);
  EXPECT_EQ(started.thread_handle, -1);
  CloseProcessHandles(started);
}

}  // namespace
}  // namespace orvane::platform

#endif  // _WIN32
