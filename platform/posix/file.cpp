// The POSIX implementation of the platform's file primitives. It must contain
// only POSIX-specific code.
//
// Paths arrive with "\" or "/" as separators; both become "/". POSIX has no
// code page of its own here: the system code page is UTF-8, so both path
// encodings reach the system as the same bytes.
//
// Note: an open file does not resist deletion on POSIX, unlike on Windows,
// where an open file without delete sharing stops RemoveFolderTree.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/fault_seam.h"
#include "platform/platform.h"
#include "platform/posix/posix_path.h"

namespace orvane::platform {

namespace {

int ToFd(std::intptr_t native) {
  return static_cast<int>(native);
}

}  // namespace

std::int64_t File::Read(void* buffer, std::size_t count) {
  if (FaultInjected()) {
    errno = EIO;
    return -1;
  }
  for (;;) {
    const ssize_t n = ::read(ToFd(native_), buffer, count);
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
  }
}

std::int64_t File::Write(const void* buffer, std::size_t count) {
  if (FaultInjected(FileOperation::kWrite)) {
    errno = ENOSPC;
    return -1;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(ToFd(native_), bytes + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done == 0 ? -1 : static_cast<std::int64_t>(done);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t File::Seek(std::int64_t offset, SeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == SeekOrigin::kCurrent) whence = SEEK_CUR;
  if (origin == SeekOrigin::kEnd) whence = SEEK_END;
  return ::lseek(ToFd(native_), static_cast<off_t>(offset), whence);
}

std::int64_t File::Size() {
  struct stat st {};
  if (::fstat(ToFd(native_), &st) != 0) return -1;
  return st.st_size;
}

bool File::Close() {
  if (native_ == kInvalid) return true;
  if (FaultInjected()) {
    ::close(ToFd(Release()));
    errno = EIO;
    return false;
  }
  const int fd = ToFd(Release());
  return ::close(fd) == 0 || errno == EINTR;
}

File OpenFileForReading(const std::string& path, ShareMode /*share*/, PathEncoding /*encoding*/) {
  if (FaultInjected()) {
    errno = EIO;
    return File();
  }
  // POSIX has no share modes; the lock that Windows takes with them has no
  // counterpart here.
  const int fd = CallOnResolvedPath(path, ResolveExisting, [](const std::string& native) {
    return ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  });
  if (fd < 0) return File();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return File();
  }
  return File(fd);
}

File CreateFileForWriting(const std::string& path, PathEncoding /*encoding*/) {
  if (FaultInjected()) {
    errno = EIO;
    return File();
  }
  const int fd = CallOnResolvedPath(path, ResolveForCreation, [](const std::string& native) {
    return ::open(native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  });
  if (fd < 0) return File();
  return File(fd);
}

int LastErrorCode() {
  return errno;
}

}  // namespace orvane::platform
