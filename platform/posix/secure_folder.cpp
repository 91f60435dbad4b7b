// The POSIX implementation of the work-folder check. The work folder lies in
// a folder that every user may write to (/tmp): another user could have made
// it first, or left a link there, to see or change what the launcher unpacks
// and runs. It must contain only POSIX-specific code.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace orvane::platform {

namespace {

constexpr mode_t kOwnerOnly = 0700;

[[noreturn]] void RaiseUnsafe(const std::string& path, std::string_view reason, int code) {
  throw EInOutError(Format("Work folder \"%s\" is unsafe: %s", {path, reason}), code);
}

// The exact path, separators folded, without a final one: the folder itself
// is checked, never an entry that merely matches it without regard to case.
std::string NativeFolder(const std::string& path) {
  std::string native = ToPosixSeparators(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return native;
}

void CreateOwnerOnly(const std::string& path, const std::string& native) {
  const std::size_t cut = native.rfind('/');
  if (cut != std::string::npos && cut > 0) MakeFolders(native.substr(0, cut));
  // Made by someone else in the meantime: the checks below judge it.
  if (::mkdir(native.c_str(), kOwnerOnly) != 0 && errno != EEXIST) {
    const int code = errno;
    throw EInOutError(Format("Cannot create work folder \"%s\" : %d", {path, code}), code);
  }
}

}  // namespace

void SecureWorkFolder(const std::string& path) {
  if (path.empty()) throw EInOutError("Cannot create empty directory", 3);
  const std::string native = NativeFolder(path);
  struct stat st {};
  if (::lstat(native.c_str(), &st) != 0) {
    if (errno != ENOENT) RaiseUnsafe(path, "it cannot be examined", errno);
    CreateOwnerOnly(path, native);
    if (::lstat(native.c_str(), &st) != 0) RaiseUnsafe(path, "it cannot be examined", errno);
  }
  if (S_ISLNK(st.st_mode)) RaiseUnsafe(path, "it is a symbolic link", EACCES);
  if (!S_ISDIR(st.st_mode)) RaiseUnsafe(path, "it is not a folder", EACCES);
  if (st.st_uid != ::geteuid()) RaiseUnsafe(path, "it belongs to another user", EACCES);
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    RaiseUnsafe(path, "other users may write to it", EACCES);
  }
}

}  // namespace orvane::platform
