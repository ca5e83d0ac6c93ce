// The band's class identifier, as the registry and hosts name it.
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

}  // namespace norvex::band
