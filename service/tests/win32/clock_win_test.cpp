// The Windows clock seam counts uptime with the multimedia timer: the test points the program's
// import of timeGetTime at a stand-in and reads the clock.
#include <gtest/gtest.h>

#include <cstring>

#include "service/win32/files_win.h"
#include "service/win32/windows_service_api.h"

namespace norvex::service::win32 {
namespace {

// Points this program's import of `function` from `dll` at `replacement` and returns the
// address it had; null when the program does not import that function.
void* ReplaceImport(const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
    const DWORD lookup = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
    auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      void* previous = reinterpret_cast<void*>(slot->u1.Function);
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return previous;
    }
  }
  return nullptr;
}

DWORD WINAPI StandInTimer() { return 0xFEDC1234u; }

TEST(Win32Clock, UptimeIsTheMultimediaTimer) {
  void* original =
      ReplaceImport("winmm.dll", "timeGetTime", reinterpret_cast<void*>(&StandInTimer));
  ASSERT_NE(original, nullptr) << "the program does not import timeGetTime";
  const uint32_t uptime = Win32Clock().UptimeMs();
  ReplaceImport("winmm.dll", "timeGetTime", original);
  EXPECT_EQ(uptime, 0xFEDC1234u);
}

}  // namespace
}  // namespace norvex::service::win32
