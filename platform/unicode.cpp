#include "platform/unicode.h"

#include <cstdint>

namespace orvane::platform {

namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kLowSurrogateFirst = 0xDC00;

bool IsContinuation(std::uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the sequence a lead byte starts, and the smallest value a
// sequence of that length may carry (anything below is overlong); 0 for a
// byte that cannot start a sequence.
struct LeadInfo {
  int length;
  char32_t minimum;
  char32_t payload;
};

LeadInfo InspectLead(std::uint8_t byte) {
  if (byte < 0x80) return {1, 0, byte};
  if ((byte & 0xE0) == 0xC0) return {2, 0x80, static_cast<char32_t>(byte & 0x1F)};
  if ((byte & 0xF0) == 0xE0) return {3, 0x800, static_cast<char32_t>(byte & 0x0F)};
  if ((byte & 0xF8) == 0xF0) return {4, 0x10000, static_cast<char32_t>(byte & 0x07)};
  return {0, 0, 0};
}

void AppendUtf16(std::u16string& out, char32_t value) {
  if (value < 0x10000) {
    out += static_cast<char16_t>(value);
    return;
  }
  value -= 0x10000;
  out += static_cast<char16_t>(kSurrogateFirst + (value >> 10));
  out += static_cast<char16_t>(kLowSurrogateFirst + (value & 0x3FF));
}

void AppendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | (value >> 6));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += static_cast<char>(0xE0 | (value >> 12));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (value >> 18));
    out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    const LeadInfo info = InspectLead(lead);
    if (info.length == 0) {  // a stray continuation byte or 0xF8..0xFF
      out += kInvalidUtf8Replacement;
      ++i;
      continue;
    }
    char32_t value = info.payload;
    std::size_t next = i + 1;
    // A sequence cut short by the end of the text or by a byte that is no
    // continuation ends there; the bytes taken so far make one "?".
    while (next < utf8.size() && next - i < static_cast<std::size_t>(info.length) &&
           IsContinuation(static_cast<std::uint8_t>(utf8[next]))) {
      value = value << 6 | (static_cast<std::uint8_t>(utf8[next]) & 0x3F);
      ++next;
    }
    const bool complete = next - i == static_cast<std::size_t>(info.length);
    const bool valid = complete && value >= info.minimum && value <= kMaxCodePoint &&
                       (value < kSurrogateFirst || value > kSurrogateLast);
    if (valid) {
      AppendUtf16(out, value);
    } else {
      out += kInvalidUtf8Replacement;
    }
    i = next;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char32_t unit = utf16[i];
    const bool high = unit >= kSurrogateFirst && unit < kLowSurrogateFirst;
    const bool low = unit >= kLowSurrogateFirst && unit <= kSurrogateLast;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= kLowSurrogateFirst &&
        utf16[i + 1] <= kSurrogateLast) {
      const char32_t value =
          0x10000 + ((unit - kSurrogateFirst) << 10) + (utf16[i + 1] - kLowSurrogateFirst);
      AppendUtf8(out, value);
      ++i;
    } else if (high || low) {
      out += static_cast<char>(kInvalidUtf8Replacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace orvane::platform
