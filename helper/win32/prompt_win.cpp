#include "helper/helper_messages.h"
#include "helper/win32/helper_system_win.h"
#include "platform/win32/windows_api.h"

namespace norvex::helper::win32 {

using platform::win32::W;

bool Win32Prompt::Ask(const std::u16string& text) {
  return ::MessageBoxW(nullptr, W(text), W(kCaption),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) == IDYES;
}

void Win32Prompt::Tell(const std::u16string& text, Notice kind) {
  const UINT icon = kind == Notice::kInformation ? MB_ICONINFORMATION
                    : kind == Notice::kWarning   ? MB_ICONWARNING
                                                 : MB_ICONERROR;
  ::MessageBoxW(nullptr, W(text), W(kCaption), MB_OK | icon | MB_SETFOREGROUND);
}

}  // namespace norvex::helper::win32
