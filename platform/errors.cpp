#include "platform/errors.h"

#include "platform/backtrace.h"

namespace orvane {

Exception::Exception(std::string message)
    : message_(std::move(message)), frames_(platform::CaptureBacktrace()) {}

std::string FormatArg::ToText() const {
  return is_text_ ? std::string(text_) : std::to_string(number_);
}

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  const FormatArg* next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    const char directive = pattern[i + 1];
    if (directive == '%') {
      out += '%';
      ++i;
      continue;
    }
    if ((directive != 's' && directive != 'd' && directive != 'x') || next == args.end()) {
      out += c;
      continue;
    }
    if (directive == 'x' && !next->IsText()) {
      static const char kDigits[] = "0123456789ABCDEF";
      auto value = static_cast<unsigned long long>(next->Number());
      std::string hex;
      do {
        hex.insert(hex.begin(), kDigits[value & 0xF]);
        value >>= 4;
      } while (value != 0);
      out += hex;
    } else {
      out += next->ToText();
    }
    ++next;
    ++i;
  }
  return out;
}

}  // namespace orvane
