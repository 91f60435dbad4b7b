// The Win32 implementation of the platform's file primitives. It must
// contain only Win32-specific code.
//
// UTF-8 paths go to the wide-character calls, system-code-page paths to the
// ANSI calls, each as given: the system itself treats "/" as "\", folds runs
// of separators and compares names without regard to case.

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform {

using win32::FromHandle;
using win32::ToHandle;

namespace {

// ReadFile and WriteFile move at most a DWORD's worth of bytes per call.
constexpr std::size_t kMaxTransfer = 0x40000000;

static_assert(File::kInvalid == -1, "File::kInvalid is INVALID_HANDLE_VALUE");

// CreateFileW or CreateFileA, by the path's encoding.
HANDLE OpenNative(const std::string& path, PathEncoding encoding, DWORD access, DWORD share,
                  DWORD disposition, DWORD attributes) {
  if (encoding == PathEncoding::kSystemCodePage) {
    return ::CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
  }
  return ::CreateFileW(win32::Widen(path).c_str(), access, share, nullptr, disposition, attributes,
                       nullptr);
}

}  // namespace

std::int64_t File::Read(void* buffer, std::size_t count) {
  DWORD got = 0;
  const auto wanted = static_cast<DWORD>(std::min(count, kMaxTransfer));
  if (::ReadFile(ToHandle(native_), buffer, wanted, &got, nullptr) == FALSE) return -1;
  return got;
}

std::int64_t File::Write(const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
    if (::WriteFile(ToHandle(native_), bytes + done, chunk, &written, nullptr) == FALSE) {
      return done == 0 ? -1 : static_cast<std::int64_t>(done);
    }
    if (written == 0) break;
    done += written;
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t File::Seek(std::int64_t offset, SeekOrigin origin) {
  DWORD method = FILE_BEGIN;
  if (origin == SeekOrigin::kCurrent) method = FILE_CURRENT;
  if (origin == SeekOrigin::kEnd) method = FILE_END;
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (::SetFilePointerEx(ToHandle(native_), distance, &position, method) == FALSE) return -1;
  return position.QuadPart;
}

std::int64_t File::Size() {
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(ToHandle(native_), &size) == FALSE) return -1;
  return size.QuadPart;
}

bool File::Close() {
  if (native_ == kInvalid) return true;
  return ::CloseHandle(ToHandle(Release())) != FALSE;
}

File OpenFileForReading(const std::string& path, ShareMode share, PathEncoding encoding) {
  const DWORD share_mode = share == ShareMode::kRead ? FILE_SHARE_READ : 0;
  return File(FromHandle(
      OpenNative(path, encoding, GENERIC_READ, share_mode, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)));
}

File CreateFileForWriting(const std::string& path, PathEncoding encoding) {
  return File(FromHandle(OpenNative(path, encoding, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL)));
}

int LastErrorCode() {
  return static_cast<int>(::GetLastError());
}

bool ReplaceFile(const std::string& from, const std::string& to, PathEncoding encoding) {
  // MoveFileEx replaces the target in one step within one volume; write
  // through, so that the rename itself is on disk when it returns.
  constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (encoding == PathEncoding::kSystemCodePage) {
    return ::MoveFileExA(from.c_str(), to.c_str(), kFlags) != FALSE;
  }
  return ::MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(), kFlags) != FALSE;
}

bool FlushFileToDisk(const std::string& path, PathEncoding encoding) {
  // FlushFileBuffers needs write access; others may go on reading and
  // writing the file meanwhile.
  const win32::ScopedKernelHandle file(OpenNative(path, encoding, GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL));
  return file && ::FlushFileBuffers(file.Get()) != FALSE;
}

}  // namespace orvane::platform
