// HTTP GET through libcurl: TLS for https, the URL's port, a connect time-out and a stall
// time-out (no byte for the given time ends the transfer).
#include "service/posix/http_client_posix.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <mutex>

#include "service/http_answer_head.h"

namespace norvex::service::posix {

namespace {

struct Transfer {
  CURL* curl = nullptr;
  uint32_t stall_ms = 0;
  curl_off_t last_count = -1;
  std::chrono::steady_clock::time_point last_change = std::chrono::steady_clock::now();
  bool stalled = false;
  const std::function<bool(const char*, size_t)>* sink = nullptr;
  uint64_t bytes = 0;
  uint64_t max_bytes = UINT64_MAX;  // more is cut off
  bool sink_refused = false;
  bool stopped_on_purpose = false;
  AnswerHead head;  // what the header lines of the answer said
};

// Reads the head of the answer line by line: the Location header (the body of a redirect is
// not read, and curl only works out where a redirect leads once the whole answer has arrived)
// and where the body ends.
size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  ReadAnswerHeadLine(std::string_view(data, size * count), &static_cast<Transfer*>(context)->head);
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  long status = 0;
  curl_easy_getinfo(transfer->curl, CURLINFO_RESPONSE_CODE, &status);
  // Only the body of a 200 answer is wanted; for anything else the status is enough.
  if (transfer->sink == nullptr || status != 200) {
    transfer->stopped_on_purpose = true;
    return 0;
  }
  const size_t n = size * count;
  // A body longer than allowed is handed on only up to the limit, and the transfer ends there.
  const uint64_t room = transfer->max_bytes - transfer->bytes;
  const size_t taken = n > room ? static_cast<size_t>(room) : n;
  if ((taken > 0 && !(*transfer->sink)(data, taken)) || taken < n) {
    transfer->bytes += taken;
    transfer->sink_refused = true;
    return 0;
  }
  transfer->bytes += n;
  return n;
}

// Ends the transfer once no byte has moved for the stall time (curl's own low-speed check
// averages over a window and reacts seconds late).
int OnProgress(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  auto* transfer = static_cast<Transfer*>(context);
  const auto now = std::chrono::steady_clock::now();
  if (received + sent != transfer->last_count) {
    transfer->last_count = received + sent;
    transfer->last_change = now;
    return 0;
  }
  if (now - transfer->last_change > std::chrono::milliseconds(transfer->stall_ms)) {
    transfer->stalled = true;
    return 1;
  }
  return 0;
}

}  // namespace

CurlHttpClient::CurlHttpClient() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResult CurlHttpClient::Get(const HttpRequest& request,
                               const std::function<bool(const char*, size_t)>* sink) {
  HttpResult result;
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.failed_step = "InternetOpen";
    return result;
  }
  const bool ipv6 = request.host.find(':') != std::string::npos && request.host[0] != '[';
  const std::string url = std::string(request.secure ? "https://" : "http://") +
                          (ipv6 ? "[" + request.host + "]" : request.host) + ":" +
                          std::to_string(request.port) + request.object;
  Transfer transfer;
  transfer.curl = curl;
  transfer.sink = sink;
  transfer.stall_ms = request.stall_timeout_ms;
  transfer.max_bytes = request.max_body_bytes;
  curl_slist* headers = curl_slist_append(nullptr, ("Accept: " + request.accept).c_str());
  headers = curl_slist_append(headers, "Cache-Control: no-cache");
  headers = curl_slist_append(headers, "Pragma: no-cache");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, request.user_agent.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // Redirects come back as answers, and the caller decides whether to follow them. No
  // credentials are ever sent: none from a netrc file, none carried to another host.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_UNRESTRICTED_AUTH, 0L);
  curl_easy_setopt(curl, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connect_timeout_ms));
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 512L * 1024);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  result.status = status;
  result.body_bytes = transfer.bytes;
  if (status >= 300 && status < 400) result.location = transfer.head.location;
  if (status == 0) {
    // No answer at all: the connection or the request itself failed.
    result.failed_step = code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST ||
                                 code == CURLE_COULDNT_RESOLVE_PROXY
                             ? "InternetConnect"
                             : "HttpSendRequest";
    result.error_code = static_cast<long>(code);
  } else {
    // The body ends where its head says: after the announced length, every byte of it, or
    // with its last chunk, whose absence curl reports as an error. A head that curl read
    // otherwise (another status) frames nothing.
    const BodyFraming framing =
        transfer.head.status == status ? FramingOf(transfer.head) : BodyFraming{};
    result.body_complete = code == CURLE_OK && !transfer.sink_refused && sink != nullptr &&
                           (!framing.length || transfer.bytes == *framing.length);
    result.length_announced = framing.length.has_value();
    result.last_chunk_seen = framing.chunked && result.body_complete;
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace norvex::service::posix
