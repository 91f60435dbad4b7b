// The POSIX implementation of the process-environment primitives: folders,
// environment variables, the command line, text conversion, pauses and the
// failure box. It must contain only POSIX-specific code.

#include <sys/resource.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/unicode.h"

namespace orvane::platform {

namespace {

constexpr std::size_t kInitialPathBuffer = 256;
constexpr long kNanosecondsPerMillisecond = 1000000;

// The first argument as the shell split it; set once by InitializeProgram.
std::string& StoredFirstArgument() {
  static std::string argument;
  return argument;
}

bool EndsInSeparator(const std::string& text) {
  return !text.empty() && (text.back() == '\\' || text.back() == '/');
}

// Packing the dictionary deflates hundreds of small files one after another,
// each with a fresh zlib state of about 270 KB. By default glibc hands such
// blocks back to the system when they are freed, and the next entry faults
// the pages in again; keeping them costs no more than the largest block.
void KeepFreedMemory() {
#ifdef __GLIBC__
  constexpr int kKeep = 64 << 20;
  ::mallopt(M_MMAP_THRESHOLD, kKeep);
  ::mallopt(M_TRIM_THRESHOLD, kKeep);
#endif
}

}  // namespace

std::string CurrentFolder() {
  std::vector<char> buffer(kInitialPathBuffer);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE) {
      // The folder the program was started in has gone; there is no sensible
      // launcher folder to fall back on.
      const int code = errno;
      throw EInOutError(Format("Cannot get the current folder : %d", {code}), code);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());  // NOLINT(concurrency-mt-unsafe): one thread
  return value == nullptr ? std::string() : std::string(value);
}

std::string TempFolder() {
  // An empty value counts as unset. TMPDIR and "/tmp/" are the POSIX
  // conventions when neither of the Windows names is set.
  std::string folder;
  for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
    folder = EnvironmentVariable(name);
    if (!folder.empty()) break;
  }
  if (folder.empty()) return "/tmp/";
  if (!EndsInSeparator(folder)) folder += '\\';
  return folder;
}

void InitializeProgram(int argc, char** argv) {
  // POSIX hands the arguments over already split by the shell, and text
  // output already goes to standard error: nothing to route.
  StoredFirstArgument() = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  // Packing a folder holds every file of it open at once, as Windows allows
  // without a small limit; POSIX starts with a soft limit of open files far
  // below its hard one, so the soft limit is raised to the hard one.
  KeepFreedMemory();
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

std::string FirstArgument() {
  return StoredFirstArgument();
}

std::string Utf8ToSystemCodePage(std::string_view utf8) {
  // The system code page is UTF-8 here: the round trip through UTF-16 keeps
  // valid text and turns each invalid sequence into "?".
  return Utf16ToUtf8(Utf8ToUtf16(utf8));
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec remaining{static_cast<std::time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * kNanosecondsPerMillisecond};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void ShowMessageBox(std::string_view caption, std::string_view text) {
  // No window system to rely on: the caption and the text go to standard
  // error, so that a console or a log keeps them.
  std::string out;
  out.reserve(caption.size() + text.size() + 2);
  out.append(caption).append("\n").append(text);
  if (out.back() != '\n') out += '\n';
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace orvane::platform
