// Interface identifiers of the document model that mingw-w64's uuid library leaves out: the
// markup services, container and pointer of MSHTML (the values its mshtml.h declares).
#pragma once

#include "platform/win32/windows_api.h"

namespace norvex::pagetools::win32 {

inline constexpr IID kIidMarkupServices = {
    0x3050f4a0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
inline constexpr IID kIidMarkupContainer = {
    0x3050f5f9, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
inline constexpr IID kIidMarkupPointer = {
    0x3050f49f, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

}  // namespace norvex::pagetools::win32
