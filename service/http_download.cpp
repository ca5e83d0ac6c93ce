#include "service/http_download.h"

#include <algorithm>
#include <cstdio>

#include "service/ecdsa_encoding.h"

namespace norvex::service {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<HttpRequest> ParseHttpUrl(const std::string& url) {
  HttpRequest request;
  size_t rest = 0;
  if (StartsWithNoCase(url, "http://")) {
    rest = 7;
  } else if (StartsWithNoCase(url, "https://")) {
    request.secure = true;
    request.port = 443;
    rest = 8;
  } else {
    return std::nullopt;
  }
  const size_t object_at = url.find_first_of("/?#", rest);
  std::string authority = url.substr(rest, object_at == std::string::npos ? std::string::npos
                                                                         : object_at - rest);
  request.object = object_at == std::string::npos ? "/" : url.substr(object_at);
  // A fragment names a place inside the answer and is not sent.
  request.object.erase(std::min(request.object.find('#'), request.object.size()));
  if (request.object.empty()) request.object = "/";
  if (request.object[0] == '?') request.object.insert(0, "/");
  // User information before "@" is not ours to send; drop it.
  if (const size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  if (const size_t colon = authority.rfind(':');
      colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    authority.erase(colon);
    if (!port.empty()) {
      if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
      }
      const unsigned long number = std::stoul(port);
      if (number == 0 || number > 65535) return std::nullopt;
      request.port = static_cast<uint16_t>(number);
    }
  }
  if (authority.empty()) return std::nullopt;
  request.host = authority.substr(0, 255);
  request.object = request.object.substr(0, 255);
  request.user_agent = kUserAgent;
  request.accept = kAcceptTypes;
  return request;
}

std::string ResolveRedirect(const std::string& base, const std::string& location) {
  // A location with a scheme of its own (letters, digits, "+", "-", "." before a colon) is
  // absolute, whether or not it is one that may be followed.
  const size_t scheme = location.find_first_not_of(
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
  if (scheme != std::string::npos && scheme > 0 && location[scheme] == ':') return location;
  const size_t scheme_end = base.find("://");
  if (scheme_end == std::string::npos || !ParseHttpUrl(base)) return "";
  if (location.rfind("//", 0) == 0) return base.substr(0, scheme_end + 1) + location;
  const size_t path_at = base.find_first_of("/?#", scheme_end + 3);
  const std::string origin = base.substr(0, path_at);
  if (!location.empty() && location[0] == '/') return origin + location;
  std::string path = path_at == std::string::npos ? "/" : base.substr(path_at);
  path = path.substr(0, path.find_first_of("?#"));
  if (path.empty() || path[0] != '/') path.insert(0, "/");
  if (!location.empty() && location[0] == '?') return origin + path + location;
  return origin + path.substr(0, path.rfind('/') + 1) + location;
}

std::optional<HttpResult> HttpDownload::Request(
    const std::string& url, const std::function<bool(const char*, size_t)>* sink,
    uint64_t max_body_bytes) const {
  std::optional<HttpRequest> request = ParseHttpUrl(url);
  if (!request) return std::nullopt;
  std::string current = url;
  for (int redirects = 0;; ++redirects) {
    request->connect_timeout_ms = options_.connect_timeout_ms;
    request->stall_timeout_ms = options_.stall_timeout_ms;
    request->max_body_bytes = max_body_bytes;
    HttpResult result = files_.platform().http->Get(*request, sink);
    char text[128];
    if (!result.failed_step.empty()) {
      std::snprintf(text, sizeof text, "Error in %s:%ld", result.failed_step.c_str(),
                    result.error_code);
      files_.platform().console->Print(text);
    }
    for (const long code : result.close_errors) {
      std::snprintf(text, sizeof text, "Error in InternetCloseHandle:%ld", code);
      files_.platform().console->Print(text);
    }
    if (!result.failed_step.empty()) return result;
    const long s = result.status;
    const bool redirect = s == 301 || s == 302 || s == 303 || s == 307 || s == 308;
    if (!redirect || result.location.empty() || redirects == kMaxRedirects) return result;
    // A redirect is followed here, by the same rules as the first request: what was asked
    // for over TLS is never fetched in clear text. One that is not followed is an answer
    // other than 200.
    const std::string next = ResolveRedirect(current, result.location);
    std::optional<HttpRequest> next_request = ParseHttpUrl(next);
    if (!next_request || (request->secure && !next_request->secure)) return result;
    current = next;
    request = std::move(next_request);
  }
}

DownloadOutcome HttpDownload::Download(const std::string& url, const std::string& path,
                                      const DownloadExpectation& expected) const {
  using Result = DownloadOutcome::Result;
  DownloadOutcome outcome;
  if (!ParseHttpUrl(url)) {
    outcome.result = Result::kBadAddress;
    return outcome;
  }
  ServiceFileSystem& fs = *files_.platform().files;
  std::unique_ptr<Sha256Hasher> hasher;
  if (!expected.sha256.empty()) {
    if (files_.platform().crypto) hasher = files_.platform().crypto->NewSha256();
    if (!hasher) {
      outcome.result = Result::kNoHasher;
      return outcome;
    }
  }
  const uint64_t max_bytes =
      expected.size ? std::min(*expected.size, expected.max_bytes) : expected.max_bytes;
  const std::string target = files_.ResolveProgramPath(path);
  // The body goes to a file of its own beside the target: memory stays small whatever the
  // size, and the target changes only once the whole body is there. That file and its folders
  // are made when the first bytes of a 200 answer arrive, so a failed request leaves nothing.
  const std::string partial = target + ".download";
  std::unique_ptr<OutputFile> out;
  bool written = true;
  uint64_t received = 0;
  const std::function<bool(const char*, size_t)> sink = [&](const char* data, size_t size) {
    received += size;
    if (received > max_bytes) return false;
    if (!written) return false;
    if (!out) {
      files_.CreateFolderChain(path);
      out = fs.CreateOutput(partial);
      written = out != nullptr;
    }
    written = written && out->Write(data, size);
    if (hasher) hasher->Update(data, size);
    return written;
  };
  // One byte past the limit tells a body that is too long from one that just fits.
  const std::optional<HttpResult> result =
      Request(url, &sink, max_bytes == UINT64_MAX ? max_bytes : max_bytes + 1);
  const bool closed = out && out->Close();
  outcome.bytes = received;
  outcome.status = result->status;
  // A body ends where its framing says: after its announced length, or with its last chunk.
  // Without either nothing tells a whole body from one whose connection broke off (WinINet
  // reports a reset, and a chunked answer cut before its last chunk, as an ordinary end): such
  // a body is never taken for a complete file.
  if (!result->failed_step.empty()) {
    outcome.result = Result::kTransport;
    outcome.failed_step = result->failed_step;
    outcome.error_code = result->error_code;
  } else if (result->status != 200) {
    outcome.result = Result::kStatus;
  } else if (received > max_bytes) {
    outcome.result = expected.size && *expected.size <= expected.max_bytes ? Result::kSizeMismatch
                                                                          : Result::kTooLarge;
  } else if (received == 0) {
    outcome.result = Result::kEmpty;
  } else if (!result->body_complete) {
    outcome.result = Result::kIncomplete;
  } else if (!result->length_announced && !result->last_chunk_seen) {
    outcome.result = Result::kNoLength;
  } else if (!written || !closed) {
    outcome.result = Result::kNotWritten;
  } else if (expected.size && received != *expected.size) {
    outcome.result = Result::kSizeMismatch;
  } else if (hasher && (outcome.sha256 = hasher->Finish()) != expected.sha256) {
    outcome.result = Result::kHashMismatch;
  } else if (!fs.RenameReplacing(partial, target)) {
    outcome.result = Result::kNotWritten;
  }
  if (!outcome.ok() && out) fs.RemoveFile(partial);
  return outcome;
}

std::string DescribeDownloadFailure(const DownloadOutcome& outcome,
                                    const DownloadExpectation& expected) {
  using Result = DownloadOutcome::Result;
  const std::string status = "HTTP status " + std::to_string(outcome.status);
  switch (outcome.result) {
    case Result::kDone: return "done";
    case Result::kBadAddress: return "not an http or https address";
    case Result::kTransport:
      return "no answer: " + outcome.failed_step + " failed with " +
             std::to_string(outcome.error_code);
    case Result::kStatus: return status;
    case Result::kEmpty: return status + " with an empty body";
    case Result::kNoLength: return status + " without Content-Length";
    case Result::kIncomplete:
      return status + ", the body broke off after " + std::to_string(outcome.bytes) + " bytes";
    case Result::kTooLarge:
      return status + ", the body is longer than " + std::to_string(expected.max_bytes) +
             " bytes";
    case Result::kNotWritten: return status + ", the file could not be written";
    case Result::kSizeMismatch:
      return "SIZE is " + std::to_string(expected.size.value_or(0)) + ", the body has " +
             std::to_string(outcome.bytes) +
             (outcome.bytes > expected.size.value_or(0) ? " bytes or more" : " bytes");
    case Result::kHashMismatch:
      return "SHA256 is " + HexOf(expected.sha256) + ", the body's is " + HexOf(outcome.sha256);
    case Result::kNoHasher: return "SHA-256 is not available on this system";
  }
  return "";
}

void HttpDownload::SendPing(const std::string& url) const { Request(url, nullptr); }

}  // namespace norvex::service
