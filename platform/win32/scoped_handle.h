// Win32-specific implementation detail of the platform layer: it must contain
// only Win32-specific code.
//
// Owning wrappers for the system's handles, so that every way out of a
// function closes what it opened. One template, one traits type per kind of
// handle (each kind has its own invalid value and its own close call).
#pragma once

#include <cstdint>

#include "platform/win32/windows_api.h"

namespace orvane::platform::win32 {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }

  [[nodiscard]] bool IsValid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return IsValid(); }
  [[nodiscard]] Handle Get() const { return handle_; }

  // Gives the handle up without closing it.
  Handle Release() {
    const Handle handle = handle_;
    handle_ = Traits::Invalid();
    return handle;
  }

  // Closes the handle; false when the system reports a failure.
  bool Reset() {
    if (!IsValid()) return true;
    return Traits::Close(Release());
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// Files, processes and threads: CloseHandle. CreateFile reports failure with
// INVALID_HANDLE_VALUE, the process calls with a null handle; both count as
// no handle.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  static bool Close(Handle handle) { return ::CloseHandle(handle) != FALSE; }
};

// Searches of FindFirstFile: FindClose.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  static bool Close(Handle handle) { return ::FindClose(handle) != FALSE; }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;

// The portable interface keeps handles as integers (File, LockFile,
// StartedProcess); these two are the only crossings. INVALID_HANDLE_VALUE is
// -1 either way.
inline HANDLE ToHandle(std::intptr_t native) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): a handle kept as an integer
  return reinterpret_cast<HANDLE>(native);
}

inline std::intptr_t FromHandle(HANDLE handle) {
  return reinterpret_cast<std::intptr_t>(handle);
}

}  // namespace orvane::platform::win32
