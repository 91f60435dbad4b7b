// The POSIX implementation of atomic replacement and flushing. It must
// contain only POSIX-specific code.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/fault_seam.h"
#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace orvane::platform {

bool ReplaceFile(const std::string& from, const std::string& to, PathEncoding /*encoding*/) {
  if (FaultInjected()) return false;
  // rename() replaces the target atomically within one file system.
  return std::rename(ResolveExisting(from).c_str(), ResolveForCreation(to).c_str()) == 0;
}

bool FlushFileToDisk(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) return false;
  // fsync works on the file, whichever descriptor names it.
  const int fd = ::open(ResolveExisting(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  ::close(fd);
  return flushed;
}

}  // namespace orvane::platform
