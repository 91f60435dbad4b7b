// Win32-specific implementation detail of the platform layer: it must contain
// only Win32-specific code.
//
// Text at the boundary with the system: the launcher's UTF-8 becomes the
// UTF-16 of the wide-character calls and back, and the zip library's paths
// are encoded in a code page. Every conversion of the Win32 files goes
// through here.
#pragma once

#include <string>
#include <string_view>

namespace orvane::platform::win32 {

// UTF-8 to UTF-16 for the wide-character calls. Paths reach the system
// unchanged otherwise: separators and letter case are the system's business.
std::wstring Widen(std::string_view utf8);

// UTF-16 from the system to UTF-8.
std::string Narrow(std::wstring_view utf16);

// UTF-8 to the given code page: each invalid UTF-8 sequence becomes "?", and
// a character the code page lacks becomes the code page's default character
// (no best-fit look-alikes: "A" for "Ā" would name another file).
std::string Utf8ToCodePage(std::string_view utf8, unsigned code_page);

}  // namespace orvane::platform::win32
