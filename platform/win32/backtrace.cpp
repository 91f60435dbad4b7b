// The Win32 implementation of the backtrace primitives
// (RtlCaptureStackBackTrace). It must contain only Win32-specific code.
//
// On 32-bit Windows the walk follows the frame-pointer chain; the Windows
// build keeps frame pointers for it.

#include "platform/backtrace.h"

#include "platform/win32/windows_api.h"

namespace orvane::platform {

namespace {

// The load address and size of this program's own image, from its PE
// headers: the module that holds this very function.
struct ImageBounds {
  std::uintptr_t base = 0;
  std::uintptr_t size = 0;
};

ImageBounds OwnImage() {
  static const ImageBounds bounds = [] {
    ImageBounds found;
    HMODULE module = nullptr;
    if (::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&OwnImage), &module) == FALSE) {
      return found;
    }
    const auto* image = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    found.base = reinterpret_cast<std::uintptr_t>(image);
    found.size = nt->OptionalHeader.SizeOfImage;
    return found;
  }();
  return bounds;
}

bool InOwnImage(std::uintptr_t address, const ImageBounds& image) {
  return address >= image.base && address - image.base < image.size;
}

}  // namespace

std::vector<std::uintptr_t> CaptureBacktrace() {
  // Frame 0 is this function; the exception's constructor follows.
  constexpr ULONG kSkipped = 1;
  constexpr ULONG kMaxFrames = 32;
  void* frames[kMaxFrames];
  const USHORT count = ::RtlCaptureStackBackTrace(kSkipped, kMaxFrames, frames, nullptr);
  const ImageBounds image = OwnImage();
  std::vector<std::uintptr_t> own;
  own.reserve(count);
  for (USHORT i = 0; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
    if (InOwnImage(address, image)) own.push_back(address);
  }
  return own;
}

std::uintptr_t ImageOffset(std::uintptr_t address) {
  return address - OwnImage().base;
}

}  // namespace orvane::platform
