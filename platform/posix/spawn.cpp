// The POSIX implementation of the process primitives: posix_spawn and
// waitpid. It must contain only POSIX-specific code.

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/posix/posix_path.h"
#include "platform/process.h"

extern char** environ;  // NOLINT: declared by POSIX, not by any header

namespace orvane::platform {

namespace {

// A process ended by a signal reports, as a shell would, 128 plus the signal.
constexpr int kSignalExitBase = 128;

[[noreturn]] void RaiseLaunchFailure(const std::string& command_line, int code) {
  throw EProcess(Format("Failed to execute %s : %d", {command_line, code}));
}

bool NamesAPath(const std::string& program) {
  return program.find_first_of("\\/") != std::string::npos;
}

// A program taken out of a zip archive carries no execute bit: give it one
// for its owner. Then make sure it can run, so that a missing or unusable
// program fails here with the system's reason, whatever the C library's
// posix_spawn reports for a failed exec. Returns 0 or an errno value.
int PrepareProgram(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EACCES;
  if ((st.st_mode & S_IXUSR) == 0) {
    ::chmod(path.c_str(), (st.st_mode & 07777) | S_IXUSR);  // refused: access() says so
  }
  return ::access(path.c_str(), X_OK) == 0 ? 0 : errno;
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return kSignalExitBase + WTERMSIG(status);
  return 0;
}

}  // namespace

StartedProcess StartProcess(const std::string& command_line, bool wait) {
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) RaiseLaunchFailure(command_line, ENOENT);
  const bool is_path = NamesAPath(words[0]);
  if (is_path) {
    words[0] = ResolveExisting(words[0]);
    if (const int code = PrepareProgram(words[0]); code != 0)
      RaiseLaunchFailure(command_line, code);
  }
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  // A bare name is looked up in PATH; a path is used as it is.
  const int result = is_path
                         ? ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ)
                         : ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (result != 0) RaiseLaunchFailure(command_line, result);

  StartedProcess started;
  started.process_handle = pid;
  started.process_id = static_cast<std::uint32_t>(pid);
  if (wait) {
    int status = 0;
    pid_t waited = 0;
    do {
      waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    // A wait that fails returns at once; the process is left as it is.
    if (waited == pid) started.exit_code = ExitCodeOf(status);
  }
  return started;
}

void CloseProcessHandles(StartedProcess& process) {
  // A pid is no handle: nothing to close. The process goes on.
  process.process_handle = -1;
  process.thread_handle = -1;
}

}  // namespace orvane::platform
