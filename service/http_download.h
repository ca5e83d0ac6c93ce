// HTTP GET for the manifest, the module archives and the install and uninstall reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/service_platform.h"
#include "service/update_files.h"

namespace norvex::service {

inline constexpr char kUserAgent[] = "VBQUpdate";
inline constexpr char kAcceptTypes[] = "*/**";

// Scheme, server, port and object of an address. Server and object are cut to 255
// characters. Nothing for an empty address, a scheme other than http or https, a missing
// server or a port that is not a number from 1 to 65535.
std::optional<HttpRequest> ParseHttpUrl(const std::string& url);

// The address a redirect leads to: location (absolute, scheme-relative "//host/...",
// rooted "/..." or relative to the folder of base) read against base. Empty when base is not
// an http or https address.
std::string ResolveRedirect(const std::string& base, const std::string& location);

// The largest manifest taken: 1 MiB.
inline constexpr uint64_t kMaxManifestBytes = 1 << 20;

// How many redirects one request follows before it gives up.
inline constexpr int kMaxRedirects = 10;

struct DownloadOptions {
  uint32_t connect_timeout_ms = 30000;
  uint32_t stall_timeout_ms = 60000;
};

class HttpDownload {
 public:
  HttpDownload(const UpdateFiles& files, DownloadOptions options = {})
      : files_(files), options_(options) {}

  // Streams the body of a 200 answer into a temporary file beside path and renames it into
  // place once the whole body has arrived; the folders along path are made when the body's
  // first bytes arrive. False (no file written, an existing one untouched, no folder made) for
  // a bad address, a failed request, another status, an empty or incomplete body.
  // A body of more than max_bytes is refused like an incomplete one.
  bool DownloadToFile(const std::string& url, const std::string& path,
                      uint64_t max_bytes = UINT64_MAX) const;

  // Sends the request and reads only the status code; an empty address sends nothing.
  // Both follow redirects (301, 302, 303, 307, 308), at most kMaxRedirects of them, but never
  // from https to http.
  void SendPing(const std::string& url) const;

 private:
  std::optional<HttpResult> Request(const std::string& url,
                                    const std::function<bool(const char*, size_t)>* sink) const;

  const UpdateFiles& files_;
  DownloadOptions options_;
};

}  // namespace norvex::service
