// The portable parts of the File handle and the folder listing: ownership
// moves and closing on destruction; opening, reading, writing, listing and
// closing are the implementation's.

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

FolderListing::~FolderListing() {
  Close();
}

}  // namespace orvane::platform
