#include "platform/failure_box.h"

#include <algorithm>

#include "platform/platform.h"

namespace orvane::platform {

namespace {

constexpr std::string_view kCaption = "Error";

}  // namespace

FailureBox::FailureBox(ShowFunction show) : show_(std::move(show)) {
  if (!show_) show_ = ShowMessageBox;
  buffer_.reserve(kBufferSize);
}

FailureBox::~FailureBox() {
  try {
    Flush();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nowhere left to report it
  }
}

void FailureBox::Write(std::string_view text) {
  while (!text.empty()) {
    const std::size_t room = kBufferSize - buffer_.size();
    const std::size_t take = std::min(room, text.size());
    buffer_.append(text.substr(0, take));
    text.remove_prefix(take);
    if (buffer_.size() == kBufferSize) {
      // Emptied before showing, so that a failing show cannot show it twice.
      const std::string full = std::move(buffer_);
      buffer_.clear();
      show_(kCaption, full);
    }
  }
}

void FailureBox::Flush() {
  if (buffer_.empty()) return;
  const std::string rest = std::move(buffer_);
  buffer_.clear();
  show_(kCaption, rest);
}

}  // namespace orvane::platform
