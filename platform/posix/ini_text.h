// IniText lives in platform/ini_text.h (both platforms use it); the POSIX code that names it in
// this namespace finds it here.
#pragma once

#include "platform/ini_text.h"

namespace norvex::platform::posix {

using platform::IniEncoding;
using platform::IniText;

}  // namespace norvex::platform::posix
