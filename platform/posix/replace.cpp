// The POSIX implementation of atomic replacement and flushing. It must
// contain only POSIX-specific code.

#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace orvane::platform {

bool ReplaceFile(const std::string& from, const std::string& to, PathEncoding /*encoding*/) {
  // rename() replaces the target atomically within one file system.
  return std::rename(ResolveExisting(from).c_str(), ResolveForCreation(to).c_str()) == 0;
}

bool FlushFileToDisk(File& file) {
  return file.IsOpen() && ::fsync(static_cast<int>(file.Native())) == 0;
}

}  // namespace orvane::platform
