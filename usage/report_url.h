// A report address split into what the request needs: the scheme's security, host, port and
// object (path and query).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::usage {

// The host name and the object are each held in 256 characters: 255 and a terminator.
inline constexpr size_t kMaxHostLength = 255;
inline constexpr size_t kMaxObjectLength = 255;

struct ReportUrl {
  bool secure = false;     // https
  std::u16string host;     // without brackets for an IPv6 address
  uint16_t port = 80;      // the address's own port, or its scheme's default (80, 443)
  std::u16string object;   // path and query; "/" when the address has none
  bool operator==(const ReportUrl&) const = default;
};

// Splits "http://host[:port][/path][?query][#fragment]" (and https). The scheme is compared
// without regard to case; user name and password before an '@' are dropped, as are the
// fragment. Nothing for another scheme, an empty host, a port that is not 1 to 65535, a host
// or object longer than its limit, or a space or control character in the address.
std::optional<ReportUrl> SplitReportUrl(std::u16string_view url);

}  // namespace norvex::usage
