// The Win32 implementation of the text conversions at the system boundary.
// It must contain only Win32-specific code.

#include "platform/win32/win32_text.h"

#include <climits>

#include "platform/errors.h"
#include "platform/unicode.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform::win32 {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw EConvertError(Format("Text of %d bytes is too long to convert", {size}));
  }
  return static_cast<int>(size);
}

// WideCharToMultiByte into a string sized by a first, measuring call; false
// when the system refuses the conversion.
bool EncodeWide(std::wstring_view text, UINT code_page, DWORD flags, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  const int length = CheckedLength(text.size());
  const int needed =
      ::WideCharToMultiByte(code_page, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  out.resize(static_cast<std::size_t>(needed));
  return ::WideCharToMultiByte(code_page, flags, text.data(), length, out.data(), needed, nullptr,
                               nullptr) == needed;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = CheckedLength(utf8.size());
  // Without MB_ERR_INVALID_CHARS an invalid sequence becomes U+FFFD, which no
  // existing file's name holds.
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), needed);
  return out;
}

std::string Narrow(std::wstring_view utf16) {
  std::string out;
  EncodeWide(utf16, CP_UTF8, 0, out);
  return out;
}

std::string Utf8ToCodePage(std::string_view utf8, unsigned code_page) {
  // The portable decoder, not MultiByteToWideChar: an invalid sequence must
  // become "?", as it does on every platform, not U+FFFD.
  const std::u16string decoded = Utf8ToUtf16(utf8);
  const std::wstring_view wide(reinterpret_cast<const wchar_t*>(decoded.data()), decoded.size());
  std::string out;
  if (EncodeWide(wide, code_page, WC_NO_BEST_FIT_CHARS, out)) return out;
  // UTF-8 (the active code page under a UTF-8 manifest), GB18030, UTF-7 and
  // a few others take no flags; they have no best-fit mapping to turn off.
  if (::GetLastError() == ERROR_INVALID_FLAGS && EncodeWide(wide, code_page, 0, out)) return out;
  throw EConvertError(Format("Cannot convert text to code page %d : %d",
                             {code_page, static_cast<unsigned>(::GetLastError())}));
}

}  // namespace orvane::platform::win32
