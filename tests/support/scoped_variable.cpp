#include "support/scoped_variable.h"

#ifdef _WIN32
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#else
#include <cstdlib>
#endif

namespace orvane::testing {
namespace {

#ifdef _WIN32
// The wide-character calls, so that a value holds any character.
std::optional<std::string> Get(const std::string& name) {
  const std::wstring wide_name = platform::win32::Widen(name);
  std::wstring value(32768, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(), 32768);
  if (length == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  value.resize(length);
  return platform::win32::Narrow(value);
}

void Set(const std::string& name, const std::optional<std::string>& value) {
  ::SetEnvironmentVariableW(platform::win32::Widen(name).c_str(),
                            value ? platform::win32::Widen(*value).c_str() : nullptr);
}
#else
std::optional<std::string> Get(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

void Set(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}
#endif

}  // namespace

ScopedVariable::ScopedVariable(const std::string& name, const char* value)
    : name_(name), old_(Get(name)) {
  Set(name_, value == nullptr ? std::nullopt : std::optional<std::string>(value));
}

ScopedVariable::~ScopedVariable() {
  Set(name_, old_);
}

}  // namespace orvane::testing
