// Failures of the whole system: an exception carries a class name and a
// formatted message, and the code addresses of the place that raised it, so
// that the top level can report where a failure came from.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  ~Exception() override = default;

  // The class name as the failure report shows it ("EZipError").
  [[nodiscard]] virtual const char* ClassName() const noexcept { return "Exception"; }
  [[nodiscard]] const std::string& Message() const noexcept { return message_; }
  [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
  // Return addresses captured when the exception was made, innermost first.
  [[nodiscard]] const std::vector<std::uintptr_t>& Frames() const noexcept { return frames_; }

 private:
  std::string message_;
  std::vector<std::uintptr_t> frames_;
};

// Declares an exception class NAME derived from BASE whose ClassName() is "NAME".
// NOLINTBEGIN(bugprone-macro-parentheses): the names are declarators, not expressions.
#define ORVANE_EXCEPTION_CLASS(NAME, BASE)                                          \
  class NAME : public BASE {                                                        \
   public:                                                                          \
    using BASE::BASE;                                                               \
    [[nodiscard]] const char* ClassName() const noexcept override { return #NAME; } \
  }
// NOLINTEND(bugprone-macro-parentheses)

// Stream and file layer.
ORVANE_EXCEPTION_CLASS(EStreamError, Exception);
ORVANE_EXCEPTION_CLASS(EFCreateError, EStreamError);
ORVANE_EXCEPTION_CLASS(EFOpenError, EStreamError);
ORVANE_EXCEPTION_CLASS(EReadError, EStreamError);
ORVANE_EXCEPTION_CLASS(EWriteError, EStreamError);
// Conversions (date-time, assignment) and list indexing.
ORVANE_EXCEPTION_CLASS(EConvertError, Exception);
ORVANE_EXCEPTION_CLASS(EListError, Exception);
// Process launch.
ORVANE_EXCEPTION_CLASS(EProcess, Exception);

// An input/output failure with the system's error code.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int error_code)
      : Exception(std::move(message)), error_code_(error_code) {}
  [[nodiscard]] const char* ClassName() const noexcept override { return "EInOutError"; }
  [[nodiscard]] int ErrorCode() const noexcept { return error_code_; }

 private:
  int error_code_;
};

// One argument of Format: text or a whole number.
class FormatArg {
 public:
  FormatArg(std::string_view text) : text_(text), is_text_(true) {}    // NOLINT: implicit by design
  FormatArg(const std::string& text) : text_(text), is_text_(true) {}  // NOLINT
  FormatArg(const char* text) : text_(text), is_text_(true) {}         // NOLINT
  FormatArg(long long number) : number_(number) {}                     // NOLINT
  FormatArg(unsigned long long number) : number_(static_cast<long long>(number)) {}  // NOLINT
  FormatArg(long number) : number_(number) {}                                        // NOLINT
  FormatArg(unsigned long number) : number_(static_cast<long long>(number)) {}       // NOLINT
  FormatArg(int number) : number_(number) {}                                         // NOLINT
  FormatArg(unsigned number) : number_(number) {}                                    // NOLINT

  [[nodiscard]] std::string ToText() const;
  [[nodiscard]] long long Number() const { return number_; }
  [[nodiscard]] bool IsText() const { return is_text_; }

 private:
  std::string_view text_;
  long long number_ = 0;
  bool is_text_ = false;
};

// Fills a message pattern: %s and %d take the next argument (either kind is
// printed as text), %x an upper-case hexadecimal number, %% a percent sign.
// A directive without an argument is left as it stands; the pattern is never
// trusted to match the arguments.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace orvane
