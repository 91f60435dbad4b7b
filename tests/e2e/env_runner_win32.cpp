// orvane-e2e-env: runs a Windows program with environment variables that the
// end-to-end tests choose, and exits with its exit code.
//
// Wine fills TEMP and TMP of every Windows process from its registry, so the
// Linux environment cannot point a launcher at a scratch temporary folder.
// This runner sets each variable NAME for which ORVANE_E2E_SET_NAME is in its
// environment (an empty value removes NAME), then starts the rest of its own
// command line, unchanged, as the child's command line: the launcher sees
// exactly the command line the test wrote.
//
// It is a test tool, outside the launcher, so it calls Windows directly.

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kPrefix[] = L"ORVANE_E2E_SET_";
constexpr int kRunnerFailed = 250;

// The variables to set, read before any of them changes the block.
std::vector<std::pair<std::wstring, std::wstring>> RequestedVariables() {
  std::vector<std::pair<std::wstring, std::wstring>> found;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) return found;
  const size_t prefix_length = std::wcslen(kPrefix);
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring text(entry);
    if (text.compare(0, prefix_length, kPrefix) != 0) continue;
    const size_t equals = text.find(L'=', prefix_length);
    if (equals == std::wstring::npos || equals == prefix_length) continue;
    found.emplace_back(text.substr(prefix_length, equals - prefix_length), text.substr(equals + 1));
  }
  FreeEnvironmentStringsW(block);
  return found;
}

// The command line after this program's own name, as the system splits the
// first word: quoted up to the next quote, else up to white space.
const wchar_t* RestOfCommandLine() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int main() {
  for (const auto& [name, value] : RequestedVariables()) {
    SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
  }
  std::wstring command_line = RestOfCommandLine();
  if (command_line.empty()) return kRunnerFailed;

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return kRunnerFailed;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exit_code = kRunnerFailed;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hProcess);
  return static_cast<int>(exit_code);
}
