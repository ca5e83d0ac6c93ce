// Registry scripts in the registrar's syntax, and their interpreter: the same script writes the
// entries at registration and removes them at unregistration.
//
//   HKCR
//   {
//     NoRemove CLSID                        key opened, never removed
//     {
//       ForceRemove {...} = s 'Class'       key deleted with all below it first, then made
//       {
//         InprocServer32 = s '%MODULE%'     key with its unnamed value
//         {
//           val ThreadingModel = s 'Apartment'   a named value
//         }
//       }
//     }
//     Delete OldKey                         deleted at registration, ignored at unregistration
//   }
//
// Roots: HKCR, HKCU, HKLM, HKU, HKCC and their HKEY_... names. Values: s (string), d (number,
// decimal or 0x hexadecimal), b (hexadecimal bytes). Names and values are single words or
// quoted with '...' (a doubled '' is one quote). Keywords, roots and types are read without
// regard to case; a quoted word is never a keyword. %NAME% is replaced from the replacement
// map before anything else is read, and %% stands for one %.
//
// Unregistration deletes every key of the script with everything below it, except keys marked
// NoRemove (their named values listed with val are deleted, the keys stay) and keys that hold a
// NoRemove key (they stay, with what their script says removed from them). Entries that are
// already missing are not an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace norvex::storage {

// COM result codes, as the registration entries return them.
using HResult = int32_t;
inline constexpr HResult kHrOk = 0;
// A script that cannot be read: the code the system's registrar gives for it (DISP_E_EXCEPTION).
inline constexpr HResult kHrScriptError = static_cast<HResult>(0x80020009u);
inline constexpr bool Succeeded(HResult hr) { return hr >= 0; }
// HRESULT_FROM_WIN32.
HResult HResultFromWin32(uint32_t error);

struct Replacement {
  std::u16string name, value;
};

struct ScriptEntry {
  enum class Mark { kNone, kForceRemove, kNoRemove, kDelete, kValue };
  Mark mark = Mark::kNone;
  std::u16string name;
  std::optional<platform::RegistryValue> value;  // the key's unnamed value, or the named value
  std::vector<ScriptEntry> children;
};

struct ScriptTree {
  platform::RegistryRoot root = platform::RegistryRoot::kClassesRoot;
  std::vector<ScriptEntry> entries;
};

// The script after replacement, as trees; nothing when it cannot be read (`error` says why).
std::optional<std::vector<ScriptTree>> ParseRegistryScript(std::u16string_view script,
                                                           const std::vector<Replacement>& map,
                                                           std::string* error = nullptr);

// Reads the whole script first (a script that cannot be read changes nothing and gives
// kHrScriptError), then writes or removes its entries in script order. The first failure of
// the registry ends the run with its code.
HResult RegisterScript(std::u16string_view script, const std::vector<Replacement>& map,
                       platform::Registry& registry);
HResult UnregisterScript(std::u16string_view script, const std::vector<Replacement>& map,
                         platform::Registry& registry);

}  // namespace norvex::storage
