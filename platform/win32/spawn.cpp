// The Win32 implementation of the process primitives: CreateProcessW and
// WaitForSingleObject. It must contain only Win32-specific code.

#include <vector>

#include "platform/errors.h"
#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace orvane::platform {

namespace {

void CloseNative(std::intptr_t& native) {
  win32::ScopedKernelHandle(win32::ToHandle(native)).Reset();
  native = -1;
}

}  // namespace

StartedProcess StartProcess(const std::string& command_line, bool wait) {
  // CreateProcessW may write into the command line: it gets a copy of its own.
  std::wstring wide = win32::Widen(command_line);
  std::vector<wchar_t> writable(wide.begin(), wide.end());
  writable.push_back(L'\0');

  // No program path (the system takes the first, quoted word of the command
  // line), handles inherited, the environment and the current folder the
  // launcher's own, and no wishes about the window.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &info) == FALSE) {
    const DWORD code = ::GetLastError();
    throw EProcess(
        Format("Failed to execute %s : %d", {command_line, static_cast<unsigned>(code)}));
  }
  win32::ScopedKernelHandle process(info.hProcess);
  win32::ScopedKernelHandle thread(info.hThread);

  StartedProcess started;
  started.process_id = info.dwProcessId;
  // A wait that fails returns at once; the process is left as it is.
  if (wait && ::WaitForSingleObject(process.Get(), INFINITE) == WAIT_OBJECT_0) {
    DWORD exit_code = 0;
    if (::GetExitCodeProcess(process.Get(), &exit_code) != FALSE) {
      started.exit_code = static_cast<int>(exit_code);
    }
  }
  started.process_handle = win32::FromHandle(process.Release());
  started.thread_handle = win32::FromHandle(thread.Release());
  return started;
}

void CloseProcessHandles(StartedProcess& process) {
  // Closing the handles does not end the process; it goes on.
  CloseNative(process.process_handle);
  CloseNative(process.thread_handle);
}

}  // namespace orvane::platform
