#include "helper/win32/tests/pending_operations_win.h"

#include <algorithm>
#include <cwctype>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace norvex::helper::testing {

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPending[] = L"PendingFileRenameOperations";

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// A destination starts with "!" when the move may replace an existing file; both sides carry
// the "\??\" of the system's own names.
std::wstring WithoutPrefix(std::wstring path) {
  if (!path.empty() && path.front() == L'!') path.erase(0, 1);
  return path.rfind(L"\\??\\", 0) == 0 ? path.substr(4) : path;
}

// Every pair of the list, as stored.
std::vector<std::pair<std::wstring, std::wstring>> ReadAll() {
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  DWORD size = 0;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr,
                     nullptr, &size) != ERROR_SUCCESS) {
    return pairs;
  }
  std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr,
                     data.data(), &size) != ERROR_SUCCESS) {
    return pairs;
  }
  size_t at = 0;
  const size_t end = size / sizeof(wchar_t);
  while (at < end) {
    const std::wstring source(data.c_str() + at);
    if (source.empty()) break;  // the list's closing terminator
    at += source.size() + 1;
    const std::wstring destination(at < end ? data.c_str() + at : L"");
    at += destination.size() + 1;
    pairs.emplace_back(source, destination);
  }
  return pairs;
}

bool Inside(const std::wstring& source, const fs::path& folder) {
  const std::wstring path = Lower(WithoutPrefix(source));
  const std::wstring root = Lower(folder.wstring());
  return path == root || path.rfind(root + L"\\", 0) == 0;
}

}  // namespace

std::vector<PendingOperation> PendingOperations(const fs::path& folder) {
  std::vector<PendingOperation> operations;
  for (const auto& [source, destination] : ReadAll()) {
    if (!Inside(source, folder)) continue;
    operations.push_back({WithoutPrefix(source), destination.empty() ? std::wstring()
                                                                     : WithoutPrefix(destination)});
  }
  return operations;
}

std::vector<std::string> PendingRemovals(const fs::path& folder) {
  std::vector<std::string> removals;
  for (const PendingOperation& operation : PendingOperations(folder)) {
    if (!operation.destination.empty()) continue;
    std::string relative = operation.source.lexically_relative(folder).string();
    for (char& c : relative) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    removals.push_back(relative);
  }
  std::sort(removals.begin(), removals.end());
  return removals;
}

void ForgetPendingOperations(const fs::path& folder) {
  std::wstring kept;
  bool any = false;
  for (const auto& [source, destination] : ReadAll()) {
    if (Inside(source, folder)) continue;
    kept += source + L'\0' + destination + L'\0';
    any = true;
  }
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    return;
  }
  const platform::win32::ScopedRegistryKey owned(key);
  if (any) {
    kept += L'\0';
    ::RegSetValueExW(key, kPending, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                     static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
  } else {
    ::RegDeleteValueW(key, kPending);
  }
}

}  // namespace norvex::helper::testing
