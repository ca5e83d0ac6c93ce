#include "platform/win32/windows_api.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "bridge/bridge_platform.h"

namespace norvex::bridge {

using platform::win32::W;

// ERROR_ELEVATION_REQUIRED, which mingw-w64's headers do not declare.
constexpr DWORD kElevationRequired = 740;

const char* PlatformName() { return "windows"; }

void PrepareStdio() {
  // The C library's streams too, so that nothing written through them is translated either.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

size_t ReadStdin(char* buffer, size_t size) {
  // The handle itself: no text mode of any library lies between the pipe and the frames. A
  // broken pipe is the end of input.
  DWORD read = 0;
  const DWORD wanted = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
  if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, wanted, &read, nullptr)) return 0;
  return read;
}

bool WriteStdout(const std::string& bytes) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const size_t left = bytes.size() - done;
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    if (!::WriteFile(out, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  ::FlushFileBuffers(out);
  return true;
}

bool DetachedStarter::Start(const std::u16string& program, const std::u16string& arguments) {
  std::u16string commandLine = u"\"" + program + u"\"";
  if (!arguments.empty()) commandLine += u" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // No handle is inherited (the browser's pipes stay ours), no console, a process group of its
  // own, and out of the browser's job where the job allows it, so that it outlives us.
  const DWORD detached = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
  bool started = false;
  for (const DWORD flags : {detached | CREATE_BREAKAWAY_FROM_JOB, detached}) {
    std::u16string mutableLine = commandLine;
    started =
        ::CreateProcessW(W(program), reinterpret_cast<wchar_t*>(mutableLine.data()), nullptr,
                         nullptr, FALSE, flags, nullptr, nullptr, &startup, &process) != FALSE;
    if (started || ::GetLastError() != ERROR_ACCESS_DENIED) break;
  }
  if (started) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
  }
  if (::GetLastError() != kElevationRequired) return false;
  // A program that asks for an administrator goes through the shell, which asks the user; the
  // elevated process is started by the system, not as our child.
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = W(program);
  info.lpParameters = arguments.empty() ? nullptr : W(arguments);
  info.nShow = SW_SHOWNORMAL;
  return ::ShellExecuteExW(&info) != FALSE;
}

bool MakeExecutable(const std::u16string&) { return true; }

std::u16string ConfigHome() { return {}; }

}  // namespace norvex::bridge
