// The portable part of the File handle: ownership moves and closing on
// destruction; reading, writing and closing are the implementation's.

#include "platform/platform.h"

namespace orvane::platform {

File::~File() {
  Close();
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    native_ = other.Release();
  }
  return *this;
}

}  // namespace orvane::platform
