// Seam: the HTTP client of the toolbar's usage reports (WinINet on Windows, libcurl on POSIX).
// A report is one GET request whose answer is not read.
#pragma once

#include <cstdint>
#include <string>

namespace norvex::platform {

struct ReportRequest {
  bool secure = false;    // TLS (an https address)
  std::u16string host;    // name or address; an IPv6 address without brackets
  uint16_t port = 80;
  std::u16string object;  // path and query, as sent in the request line
  std::u16string headers; // extra request headers, each ending in CR LF; usually empty
  std::u16string userAgent;
  uint32_t connectTimeoutMs = 0;
  uint32_t receiveTimeoutMs = 0;
};

class ReportClient {
 public:
  virtual ~ReportClient() = default;

  // Whether a TCP connection to the host and port can be made within the time-out, directly
  // (no proxy). Nothing is sent on it.
  virtual bool CanConnect(const std::u16string& host, uint16_t port, uint32_t timeoutMs) = 0;

  // Sends GET object HTTP/1.0 with the user agent, "Accept: */*" and the extra headers,
  // fetched from the server rather than a cache and stored in none, through the system's proxy
  // settings. True once the server has answered, whatever the status; false when no answer
  // came (no connection, a failed TLS handshake, the receive time-out).
  virtual bool SendGet(const ReportRequest& request) = 0;
};

}  // namespace norvex::platform
