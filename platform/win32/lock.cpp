// The Win32 implementation of advisory file locks (LockFileEx). It must
// contain only Win32-specific code.
//
// The lock covers the whole possible range of the file, which nobody reads
// or writes: only the lock itself matters. The system releases it when the
// handle closes, also when the process dies.

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform {

using win32::FromHandle;
using win32::ToHandle;

namespace {

constexpr DWORD kWholeRange = MAXDWORD;

}  // namespace

LockFile::LockFile(const std::string& path) {
  // Every other launcher opens the same file. Deletion is not shared: while
  // anyone holds the file open, it resists the removal of its folder, like
  // every file still in use.
  const HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  native_ = FromHandle(file);
}

LockFile::~LockFile() {
  Close();
}

bool LockFile::IsOpen() const {
  return native_ != FromHandle(INVALID_HANDLE_VALUE);
}

bool LockFile::Lock(bool exclusive, bool wait) {
  if (!IsOpen()) return false;
  // A second LockFileEx on the same handle would add a lock rather than
  // change the one held (and an exclusive one would wait for our own shared
  // one): let the old lock go first, as flock does when it converts.
  Unlock();
  DWORD flags = exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
  if (!wait) flags |= LOCKFILE_FAIL_IMMEDIATELY;
  OVERLAPPED start{};
  if (::LockFileEx(ToHandle(native_), flags, 0, kWholeRange, kWholeRange, &start) == FALSE) {
    return false;
  }
  locked_ = true;
  return true;
}

void LockFile::Unlock() {
  if (IsOpen() && locked_) {
    OVERLAPPED start{};
    ::UnlockFileEx(ToHandle(native_), 0, kWholeRange, kWholeRange, &start);
  }
  locked_ = false;
}

void LockFile::Close() {
  if (!IsOpen()) return;
  Unlock();
  ::CloseHandle(ToHandle(native_));
  native_ = FromHandle(INVALID_HANDLE_VALUE);
}

}  // namespace orvane::platform
