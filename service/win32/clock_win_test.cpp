// The Windows clock seam counts uptime with the multimedia timer, taken from the system folder's
// WINMM.dll: the test checks where the timer comes from, then points it at a stand-in and reads
// the clock.
#include <gtest/gtest.h>

#include <cwchar>

#include "platform/win32/windows_api.h"
#include "service/win32/files_win.h"

namespace norvex::service::win32 {
namespace {

unsigned long __stdcall StandInTimer() { return 0xFEDC1234u; }

TEST(Win32Clock, UptimeIsTheMultimediaTimer) {
  UptimeTimer& timer = MultimediaTimer();
  ASSERT_NE(timer, nullptr) << "timeGetTime could not be loaded";
  const UptimeTimer original = timer;
  timer = &StandInTimer;
  const uint32_t uptime = Win32Clock().UptimeMs();
  timer = original;
  EXPECT_EQ(uptime, 0xFEDC1234u);
}

TEST(Win32Clock, TimerComesFromTheSystemFolder) {
  const UptimeTimer timer = MultimediaTimer();
  ASSERT_NE(timer, nullptr);
  HMODULE owner = nullptr;
  ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(timer), &owner));
  wchar_t module_path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(owner, module_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  wchar_t system[MAX_PATH];
  const UINT system_length = ::GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(system_length, 0u);
  EXPECT_EQ(::_wcsnicmp(module_path, system, system_length), 0);
  EXPECT_EQ(::lstrcmpiW(module_path + system_length, L"\\winmm.dll"), 0);
}

// The program itself imports nothing from WINMM.dll: the loader would look for it beside the
// program first.
TEST(Win32Clock, ProgramHasNoImportOfWinmm) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0u);
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    EXPECT_NE(::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), "winmm.dll"), 0);
  }
}

}  // namespace
}  // namespace norvex::service::win32
