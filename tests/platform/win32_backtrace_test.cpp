// The failure report's code addresses on Windows: frames of this program's
// own image, as offsets from its load address.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/backtrace.h"
#include "platform/errors.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform {
namespace {

std::uintptr_t ImageBase() {
  return reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
}

std::uintptr_t ImageSize() {
  const auto* image = reinterpret_cast<const unsigned char*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  return nt->OptionalHeader.SizeOfImage;
}

[[gnu::noinline]] std::vector<std::uintptr_t> CaptureThreeDeep(int depth) {
  if (depth == 0) return CaptureBacktrace();
  std::vector<std::uintptr_t> frames = CaptureThreeDeep(depth - 1);
  asm volatile("");  // keeps the call from becoming a jump
  return frames;
}

TEST(CaptureBacktrace, GivesTheCallingFramesOfThisImageOnly) {
  const std::vector<std::uintptr_t> frames = CaptureThreeDeep(3);
  // The four calls of CaptureThreeDeep and this test at least.
  ASSERT_GE(frames.size(), 5U);
  for (const std::uintptr_t frame : frames) {
    EXPECT_GE(frame, ImageBase());
    EXPECT_LT(frame - ImageBase(), ImageSize());
  }
}

TEST(CaptureBacktrace, AnExceptionCarriesItsFrames) {
  const Exception failure("raised here");
  ASSERT_FALSE(failure.Frames().empty());
  EXPECT_LT(failure.Frames().front() - ImageBase(), ImageSize());
}

TEST(ImageOffset, CountsFromTheLoadAddress) {
  const auto address = reinterpret_cast<std::uintptr_t>(&ImageSize);
  EXPECT_EQ(ImageOffset(address), address - ImageBase());
  EXPECT_LT(ImageOffset(address), ImageSize());
}

}  // namespace
}  // namespace orvane::platform

#endif  // _WIN32
