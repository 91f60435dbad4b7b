// Code addresses of the calling frames, for failure reports.
#pragma once

#include <cstdint>
#include <vector>

namespace orvane::platform {

// Return addresses of the current call stack, innermost first, limited to the
// frames that lie in this program's own executable image. Cheap enough to run
// whenever an exception is made.
std::vector<std::uintptr_t> CaptureBacktrace();

// The address as an offset into this program's image, so that reports are the
// same from run to run whatever the load address.
std::uintptr_t ImageOffset(std::uintptr_t address);

}  // namespace orvane::platform
