// Usage reports through libcurl. The answer's status line and headers end the request: its
// body is not read.
#include <curl/curl.h>

#include <mutex>

#include "common/text.h"
#include "platform/platform.h"

namespace norvex::platform {

namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

class CurlHandle {
 public:
  CurlHandle() : curl_(curl_easy_init()) {}
  ~CurlHandle() {
    if (curl_) curl_easy_cleanup(curl_);
  }
  CURL* get() const { return curl_; }

 private:
  CURL* curl_;
};

class HeaderList {
 public:
  ~HeaderList() { curl_slist_free_all(list_); }
  void Add(const std::string& line) { list_ = curl_slist_append(list_, line.c_str()); }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

std::string UrlHost(const std::u16string& host) {
  const std::string name = Utf16ToUtf8(host);
  return name.find(':') != std::string::npos ? "[" + name + "]" : name;
}

// The body is not wanted: its first bytes end the transfer.
size_t StopAtBody(char*, size_t, size_t, void*) { return 0; }

class CurlReportClient final : public ReportClient {
 public:
  CurlReportClient() { InitCurlOnce(); }

  bool CanConnect(const std::u16string& host, uint16_t port, uint32_t timeoutMs) override {
    CurlHandle curl;
    if (!curl.get()) return false;
    const std::string url = "http://" + UrlHost(host) + ":" + std::to_string(port) + "/";
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
    return curl_easy_perform(curl.get()) == CURLE_OK;
  }

  bool SendGet(const ReportRequest& request) override {
    CurlHandle curl;
    if (!curl.get()) return false;
    const std::string url = (request.secure ? "https://" : "http://") + UrlHost(request.host) +
                            ":" + std::to_string(request.port) + Utf16ToUtf8(request.object);
    HeaderList headers;
    headers.Add("Accept: */*");
    headers.Add("Pragma: no-cache");
    headers.Add("Cache-Control: no-cache");
    // Extra headers arrive as lines ending in CR LF.
    const std::string extra = Utf16ToUtf8(request.headers);
    for (size_t begin = 0; begin < extra.size();) {
      size_t end = extra.find("\r\n", begin);
      if (end == std::string::npos) end = extra.size();
      if (end > begin) headers.Add(extra.substr(begin, end - begin));
      begin = end + 2;
    }
    const std::string agent = Utf16ToUtf8(request.userAgent);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, 10L);
    // A secure report stays secure: a redirect may not lead it to clear text.
    curl_easy_setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, request.secure ? "https" : "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(request.connectTimeoutMs));
    // The wait for the answer is bounded by the receive time-out after a connection that took
    // at most the connect time-out.
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS,
                     static_cast<long>(request.connectTimeoutMs + request.receiveTimeoutMs));
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, StopAtBody);
    curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    return status > 0;
  }
};

}  // namespace

ReportClient& NativeReportClient() {
  static CurlReportClient client;
  return client;
}

}  // namespace norvex::platform
