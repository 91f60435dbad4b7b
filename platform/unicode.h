// UTF-8 and UTF-16 conversions shared by the platform implementations.
#pragma once

#include <string>
#include <string_view>

namespace orvane::platform {

// The text used in place of a byte sequence that is not valid UTF-8.
inline constexpr char16_t kInvalidUtf8Replacement = u'?';

// Decodes UTF-8 to UTF-16. Each invalid sequence (a stray continuation byte,
// a cut or overlong sequence, an encoded surrogate, a value beyond U+10FFFF,
// a byte that never starts a sequence) becomes one "?".
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encodes UTF-16 as UTF-8; a surrogate without its partner becomes "?".
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace orvane::platform
