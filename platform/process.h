// The process-launch service: a launch object with its settings, the command
// line it builds, and the splitting of a command line into words.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::platform {

enum class TProcessOption { poWaitOnExit, poRunSuspended, poNoConsole };
enum class TShowWindowOptions { swoNone, swoHide, swoShowNormal };
enum class TProcessPriority { ppNormal, ppHigh, ppIdle, ppRealTime };

class TProcess {
 public:
  TProcess() = default;
  ~TProcess();  // closes the handles; a running process goes on
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  std::string Executable;
  std::vector<std::string> Parameters;
  std::string CurrentDirectory;
  std::vector<std::string> Environment;
  TShowWindowOptions ShowWindow = TShowWindowOptions::swoNone;
  TProcessPriority Priority = TProcessPriority::ppNormal;
  bool InheritHandles = true;

  [[nodiscard]] const std::set<TProcessOption>& Options() const { return options_; }
  // poRunSuspended removes poWaitOnExit.
  void SetOptions(std::set<TProcessOption> options);
  void AddOption(TProcessOption option);

  // The command line Execute hands to the system.
  [[nodiscard]] std::string CommandLine() const;
  // Builds the command line, starts the process and, with poWaitOnExit, waits
  // for its end. Raises EProcess.
  void Execute();

  [[nodiscard]] int ExitCode() const { return started_.exit_code; }
  [[nodiscard]] std::uint32_t ProcessID() const { return started_.process_id; }

 private:
  std::set<TProcessOption> options_;
  StartedProcess started_;
};

// A text holding a space and no double quote is wrapped in double quotes;
// any other text, the empty one included, stays as it is.
std::string QuoteIfNeeded(const std::string& text);

// Cuts a command line into words: outside double quotes each character with
// a code from 1 to 32 ends a word and runs of them are skipped; inside double
// quotes they belong to the word; a double quote switches quoting and is
// dropped; two double quotes in a row are dropped together without switching.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

}  // namespace orvane::platform
