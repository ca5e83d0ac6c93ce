#include <string>

#include "platform/win32/windows_api.h"
#include "service/tests/scheduled_moves.h"
#include "service/win32/ansi_text_win.h"

namespace norvex::service::testing {

namespace {

using win32::AnsiToWide;
using win32::WideToAnsi;

constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPending[] = L"PendingFileRenameOperations";

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(::towlower(c));
  return s;
}

// The pending-rename list as (source, destination) pairs, in order. A delete at the restart is
// a pair whose destination is empty.
std::vector<std::pair<std::wstring, std::wstring>> ReadList() {
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  HKEY key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return pairs;
  }
  DWORD size = 0, type = 0;
  if (::RegQueryValueExW(key, kPending, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    ::RegQueryValueExW(key, kPending, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    // Read pair by pair: an empty destination belongs to its pair (even as the list's last
    // string), and only an empty source ends the list.
    const size_t count = size / sizeof(wchar_t);
    size_t at = 0;
    while (at < count) {
      std::wstring source(data.c_str() + at);
      if (source.empty()) break;
      at += source.size() + 1;
      std::wstring destination = at < count ? std::wstring(data.c_str() + at) : std::wstring();
      at += destination.size() + 1;
      pairs.emplace_back(std::move(source), std::move(destination));
    }
  }
  ::RegCloseKey(key);
  return pairs;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ScheduledMoves(const std::string& folder) {
  const std::wstring needle = Lower(AnsiToWide(folder));
  std::vector<std::pair<std::string, std::string>> moves;
  for (const auto& [from, to] : ReadList()) {
    if (Lower(from).find(needle) != std::wstring::npos) {
      moves.emplace_back(WideToAnsi(from), WideToAnsi(to));
    }
  }
  return moves;
}

void ForgetScheduledMoves(const std::string& folder) {
  const std::wstring needle = Lower(AnsiToWide(folder));
  std::wstring kept;
  bool any = false;
  for (const auto& [from, to] : ReadList()) {
    if (Lower(from).find(needle) != std::wstring::npos) continue;
    kept += from + L'\0' + to + L'\0';
    any = true;
  }
  HKEY key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
    return;
  }
  if (any) {
    kept += L'\0';
    ::RegSetValueExW(key, kPending, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                     static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
  } else {
    ::RegDeleteValueW(key, kPending);
  }
  ::RegCloseKey(key);
}

}  // namespace norvex::service::testing

namespace norvex::service::testing {

std::string RegisteredServiceCommand(const std::string&) {
  char value[1024];
  DWORD size = sizeof value;
  if (::RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\LiveUpdateService",
                     "ImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                     value, &size) != ERROR_SUCCESS) {
    return "";
  }
  return value;
}

}  // namespace norvex::service::testing
