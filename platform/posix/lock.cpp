// The POSIX implementation of advisory file locks (flock). It must contain
// only POSIX-specific code.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault_seam.h"
#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace orvane::platform {

LockFile::LockFile(const std::string& path) {
  if (FaultInjected()) return;
  // O_NOFOLLOW: the lock file lies in a folder checked to be ours, but a
  // link planted there must still not be followed.
  const int fd =
      ::open(ResolveForCreation(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  native_ = fd;
}

LockFile::~LockFile() {
  Close();
}

bool LockFile::IsOpen() const {
  return native_ >= 0;
}

bool LockFile::Lock(bool exclusive, bool wait) {
  if (!IsOpen()) return false;
  const int operation = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
  for (;;) {
    if (::flock(static_cast<int>(native_), operation) == 0) {
      locked_ = true;
      return true;
    }
    if (errno != EINTR) return false;
  }
}

void LockFile::Unlock() {
  if (IsOpen() && locked_) ::flock(static_cast<int>(native_), LOCK_UN);
  locked_ = false;
}

void LockFile::Close() {
  if (!IsOpen()) return;
  Unlock();
  ::close(static_cast<int>(native_));
  native_ = -1;
}

}  // namespace orvane::platform
