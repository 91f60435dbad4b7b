// The Win32 implementation of the process-environment primitives: folders,
// environment variables, the command line, text conversion, pauses, the
// failure box and the work-folder check. It must contain only Win32-specific
// code.

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform {

namespace {

// The first argument as the launcher's own splitter cut it from the command
// line; set once by InitializeProgram.
std::string& StoredFirstArgument() {
  static std::string argument;
  return argument;
}

bool EndsInSeparator(const std::string& text) {
  return !text.empty() && (text.back() == '\\' || text.back() == '/');
}

// Calls a GetXxxW function that takes (size, buffer) or (name, buffer, size)
// and returns the length it needs when the buffer is too small; the loop
// covers a value that grows between the two calls.
template <typename Fetch>
bool FetchWide(Fetch fetch, std::wstring& out) {
  DWORD size = MAX_PATH;
  for (;;) {
    out.assign(size, L'\0');
    const DWORD got = fetch(out.data(), size);
    if (got == 0) return false;
    if (got < size) {
      out.resize(got);
      return true;
    }
    size = got;
  }
}

}  // namespace

std::string CurrentFolder() {
  std::wstring folder;
  if (!FetchWide([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); },
                 folder)) {
    const int code = LastErrorCode();
    throw EInOutError(Format("Cannot get the current folder : %d", {code}), code);
  }
  return win32::Narrow(folder);
}

std::string EnvironmentVariable(const std::string& name) {
  // The environment block itself compares names without regard to case.
  const std::wstring wide_name = win32::Widen(name);
  std::wstring value;
  const bool found = FetchWide(
      [&wide_name](wchar_t* buffer, DWORD size) {
        return ::GetEnvironmentVariableW(wide_name.c_str(), buffer, size);
      },
      value);
  return found ? win32::Narrow(value) : std::string();
}

std::string TempFolder() {
  // An empty value counts as unset; there is no other fallback.
  std::string folder = EnvironmentVariable("TEMP");
  if (folder.empty()) folder = EnvironmentVariable("TMP");
  if (!folder.empty() && !EndsInSeparator(folder)) folder += '\\';
  return folder;
}

void InitializeProgram(int /*argc*/, char** /*argv*/) {
  // The C run-time's argv follows other quoting rules and is in the ANSI code
  // page; the launcher's argument is cut from the wide command line by its
  // own splitter. Text output needs no routing: the failure text goes to
  // message boxes, and a GUI program has no console.
  const std::vector<std::string> words = SplitCommandLine(win32::Narrow(::GetCommandLineW()));
  StoredFirstArgument() = words.size() > 1 ? words[1] : std::string();
}

std::string FirstArgument() {
  return StoredFirstArgument();
}

std::string Utf8ToSystemCodePage(std::string_view utf8) {
  return win32::Utf8ToCodePage(utf8, CP_ACP);
}

void SleepMilliseconds(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

void ShowMessageBox(std::string_view caption, std::string_view text) {
  ::MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(caption).c_str(), MB_OK);
}

void SecureWorkFolder(const std::string& path) {
  // The temporary folder of a Windows user is the user's own: nobody else
  // can have made the work folder or planted anything in it.
  MakeFolders(path);
}

}  // namespace orvane::platform
