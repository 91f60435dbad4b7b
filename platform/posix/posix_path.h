// Path translation for the POSIX implementation: separators and letter case.
#pragma once

#include <cerrno>
#include <string>

namespace orvane::platform {

// "\" becomes "/" and runs of separators fold into one.
std::string ToPosixSeparators(const std::string& path);

// The target file system compares names without regard to case. When a
// component of the path does not exist under its exact name, it is looked up
// among the folder's entries without regard to ASCII case. A path that exists
// as written costs one stat and no listing.
std::string ResolveExisting(const std::string& path);

// For a path about to be created: as ResolveExisting for the folder part;
// the last component is kept as written, without listing its folder, unless
// it exists as written or the folder part itself was found under another
// case.
std::string ResolveForCreation(const std::string& path);

// Runs a system call (a result below 0 and errno on failure) on the path as
// written, separators made POSIX. Only when that finds no entry under a
// name on the way (ENOENT) does it resolve the path with `resolve` and, if
// that gives another path, call again. A path that exists as written, or a
// new name in a folder that does, thus costs no lookup beyond the call
// itself, and the result is the one the resolved path would give. `used`
// receives the path of the last call.
template <typename Call>
int CallOnResolvedPath(const std::string& path, std::string (*resolve)(const std::string&),
                       Call call, std::string* used = nullptr) {
  std::string native = ToPosixSeparators(path);
  int result = call(native);
  if (result < 0 && errno == ENOENT) {
    std::string resolved = resolve(path);
    if (resolved != native) {
      native = std::move(resolved);
      result = call(native);
    } else {
      errno = ENOENT;
    }
  }
  if (used != nullptr) *used = std::move(native);
  return result;
}

}  // namespace orvane::platform
