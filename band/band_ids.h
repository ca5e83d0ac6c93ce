// The band's class identifier, as the registry and hosts name it, and the module's other
// registered identifiers.
#pragma once

#include <cstdint>

namespace norvex::band {

// {6D3F5B2A-8C41-4E7B-9A12-3F0C7E5D2B91}
struct ClassId {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
};
inline constexpr ClassId kToolBandClassId = {
    0x6D3F5B2A, 0x8C41, 0x4E7B, {0x9A, 0x12, 0x3F, 0x0C, 0x7E, 0x5D, 0x2B, 0x91}};
inline constexpr char16_t kToolBandClassIdText[] = u"{6D3F5B2A-8C41-4E7B-9A12-3F0C7E5D2B91}";

// The module's application identifier and its type library (NorvexToolbarLib 1.0, with the
// dispatch interface IToolBand). The registry scripts and the type library's source write them
// too; the registration tests hold them to these.
inline constexpr char16_t kAppIdText[] = u"{1000F6C8-A185-4702-9D7A-8CA98C5C1285}";
inline constexpr char16_t kTypeLibraryIdText[] = u"{BE7F2ED4-91C8-4476-AA39-6167CAC6E688}";
inline constexpr char16_t kToolBandInterfaceIdText[] = u"{85EF4E52-DC6C-4BD6-8C50-11C979F69D6F}";

}  // namespace norvex::band
