// Reads what an open platform File holds, for tests of the file primitives.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane::testing {

// Up to 64 bytes from the file's position; empty when the read fails.
inline std::string ReadSmallFile(platform::File& file) {
  std::string text(64, '\0');
  const std::int64_t n = file.Read(text.data(), text.size());
  text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return text;
}

}  // namespace orvane::testing
