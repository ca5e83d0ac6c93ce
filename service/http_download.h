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

// What a download must be besides a complete 200 answer: at most max_bytes long and, where
// given, exactly size bytes long with the SHA-256 sha256 (32 bytes).
struct DownloadExpectation {
  uint64_t max_bytes = UINT64_MAX;
  std::optional<uint64_t> size;
  std::string sha256;
};

// How a download ended, with what the log says about a failure.
struct DownloadOutcome {
  enum class Result {
    kDone,
    kBadAddress,    // not an http or https address
    kTransport,     // no answer: failed_step and error_code say why
    kStatus,        // an answer other than 200 (status)
    kEmpty,         // 200 without a body
    kNoLength,      // 200 whose length was not announced
    kIncomplete,    // the body broke off (bytes arrived)
    kTooLarge,      // the body is longer than max_bytes
    kNotWritten,    // the file could not be written
    kSizeMismatch,  // the body is not of the expected size
    kHashMismatch,  // the body's SHA-256 (sha256) is not the expected one
    kNoHasher,      // a SHA-256 was expected but the platform cannot compute one
  };
  Result result = Result::kDone;
  std::string failed_step;
  long error_code = 0;
  long status = 0;
  uint64_t bytes = 0;  // body bytes received (at most one more than the limit)
  std::string sha256;  // of the body, when one was expected
  bool ok() const { return result == Result::kDone; }
};

// The reason of a failed download in words, for the update log ("HTTP status 404", ...).
std::string DescribeDownloadFailure(const DownloadOutcome& outcome,
                                    const DownloadExpectation& expected);

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
                      uint64_t max_bytes = UINT64_MAX) const {
    return Download(url, path, DownloadExpectation{max_bytes}).ok();
  }
  // The same, with the body also checked against the expected size and SHA-256: the file is
  // written only when both match. The request asks for at most one byte more than the
  // expected size (or max_bytes), so a longer body is cut off there.
  DownloadOutcome Download(const std::string& url, const std::string& path,
                           const DownloadExpectation& expected) const;

  // Sends the request and reads only the status code; an empty address sends nothing.
  // Both follow redirects (301, 302, 303, 307, 308), at most kMaxRedirects of them, but never
  // from https to http.
  void SendPing(const std::string& url) const;

 private:
  // Nothing for an address that is not http or https; otherwise the last answer, or the
  // failed request (failed_step set).
  std::optional<HttpResult> Request(const std::string& url,
                                    const std::function<bool(const char*, size_t)>* sink,
                                    uint64_t max_body_bytes = UINT64_MAX) const;

  const UpdateFiles& files_;
  DownloadOptions options_;
};

}  // namespace norvex::service
