// The POSIX implementation of the backtrace primitives (glibc's backtrace()).

#include "platform/backtrace.h"

#include <dlfcn.h>
#include <execinfo.h>

namespace orvane::platform {

namespace {

// Any symbol of this image serves to find the image's load address.
void* ImageBase() {
  static void* base = [] {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ImageOffset), &info) == 0) return static_cast<void*>(nullptr);
    return info.dli_fbase;
  }();
  return base;
}

bool InOwnImage(void* address) {
  Dl_info info{};
  return ::dladdr(address, &info) != 0 && info.dli_fbase == ImageBase();
}

}  // namespace

std::vector<std::uintptr_t> CaptureBacktrace() {
  constexpr int kMaxFrames = 32;
  void* frames[kMaxFrames];
  const int count = ::backtrace(frames, kMaxFrames);
  std::vector<std::uintptr_t> own;
  // Frame 0 is this function; the exception's constructor follows.
  for (int i = 1; i < count; ++i) {
    if (InOwnImage(frames[i])) own.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
  }
  return own;
}

std::uintptr_t ImageOffset(std::uintptr_t address) {
  return address - reinterpret_cast<std::uintptr_t>(ImageBase());
}

}  // namespace orvane::platform
