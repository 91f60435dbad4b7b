// The failure text of a run goes to message boxes captioned "Error", collected
// in a buffer of 1024 characters: each time the buffer fills, it is shown in a
// box of its own; what remains is shown when the program ends.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace orvane::platform {

class FailureBox {
 public:
  static constexpr std::size_t kBufferSize = 1024;
  using ShowFunction = std::function<void(std::string_view caption, std::string_view text)>;

  // Shows through ShowMessageBox unless another function is given (tests).
  explicit FailureBox(ShowFunction show = {});
  ~FailureBox();  // flushes what remains
  FailureBox(const FailureBox&) = delete;
  FailureBox& operator=(const FailureBox&) = delete;

  void Write(std::string_view text);
  // Shows what remains in the buffer, if anything.
  void Flush();

 private:
  ShowFunction show_;
  std::string buffer_;
};

}  // namespace orvane::platform
