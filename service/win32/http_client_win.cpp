// HTTP GET through WinINet: TLS for https (INTERNET_FLAG_SECURE), the URL's own port, a
// connect time-out, and the receive time-out as the stall limit.
#include "service/win32/http_client_win.h"

#include <cstdlib>
#include <vector>

#include "service/win32/internet_handle.h"

namespace norvex::service::win32 {

namespace {

HttpResult Failed(const char* step) {
  HttpResult result;
  result.failed_step = step;
  result.error_code = static_cast<long>(::GetLastError());
  return result;
}

// The request, connection and Internet handles close in this order when it returns; those
// that fail to close are listed in close_errors.
HttpResult Send(const HttpRequest& request, const std::function<bool(const char*, size_t)>* sink,
                std::vector<long>& close_errors) {
  InternetHandle internet(::InternetOpenA(request.user_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                                          nullptr, nullptr, 0), close_errors);
  if (!internet) return HttpResult{};  // fails without a message
  DWORD connect_ms = request.connect_timeout_ms;
  DWORD stall_ms = request.stall_timeout_ms;
  ::InternetSetOptionA(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect_ms, sizeof connect_ms);
  ::InternetSetOptionA(internet.get(), INTERNET_OPTION_SEND_TIMEOUT, &stall_ms, sizeof stall_ms);
  ::InternetSetOptionA(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &stall_ms, sizeof stall_ms);
  ::InternetSetOptionA(internet.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &stall_ms,
                       sizeof stall_ms);
  InternetHandle connection(::InternetConnectA(internet.get(), request.host.c_str(), request.port,
                                               "", "", INTERNET_SERVICE_HTTP, 0, 0), close_errors);
  if (!connection) return Failed("InternetConnect");
  const char* accept[] = {request.accept.c_str(), nullptr};
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
  // The service runs as the machine: a server (or one that a redirect leads to) asking for a
  // logon must never get the machine's credentials, nor a cookie another request was given.
  // Redirects come back as answers, and the caller decides whether to follow them.
  flags |= INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (request.secure) flags |= INTERNET_FLAG_SECURE;
  InternetHandle http(::HttpOpenRequestA(connection.get(), "GET", request.object.c_str(),
                                         "HTTP/1.0", "", accept, flags, 0), close_errors);
  if (!http) return Failed("HttpOpenRequest");
  // Set again on the request itself: some WinINet versions take the time-outs only from the
  // handle that does the reading.
  ::InternetSetOptionA(http.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &stall_ms, sizeof stall_ms);
  ::InternetSetOptionA(http.get(), INTERNET_OPTION_SEND_TIMEOUT, &stall_ms, sizeof stall_ms);
  if (!::HttpSendRequestA(http.get(), nullptr, 0, nullptr, 0)) return Failed("HttpSendRequest");
  DWORD status = 0;
  DWORD length = sizeof status;
  if (!::HttpQueryInfoA(http.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &length, nullptr)) {
    return Failed("HttpQueryInfo");
  }
  HttpResult result;
  result.status = static_cast<long>(status);
  if (status >= 300 && status < 400) {
    char location[2048] = {};
    DWORD location_size = sizeof location - 1;
    if (::HttpQueryInfoA(http.get(), HTTP_QUERY_LOCATION, location, &location_size, nullptr)) {
      result.location.assign(location, location_size);
    }
  }
  if (sink == nullptr || status != 200) return result;

  // The announced length, when there is one, tells a complete body from a broken-off one.
  char announced_text[32] = {};
  DWORD announced_size = sizeof announced_text - 1;
  const bool has_length = ::HttpQueryInfoA(http.get(), HTTP_QUERY_CONTENT_LENGTH, announced_text,
                                           &announced_size, nullptr) != 0;
  const unsigned long long announced = has_length ? std::strtoull(announced_text, nullptr, 10) : 0;
  std::vector<char> buffer(1 << 18);
  for (;;) {
    // A body longer than allowed is read only up to the limit, and the request ends there.
    const uint64_t room = request.max_body_bytes - result.body_bytes;
    if (room == 0) {
      if (has_length && result.body_bytes == announced) break;  // the whole body, just fits
      return result;
    }
    const DWORD want = static_cast<DWORD>(room < buffer.size() ? room : buffer.size());
    DWORD read = 0;
    if (!::InternetReadFile(http.get(), buffer.data(), want, &read)) {
      return result;  // a stall or a broken connection: incomplete
    }
    if (read == 0) break;
    if (!(*sink)(buffer.data(), read)) return result;
    result.body_bytes += read;
  }
  result.body_complete = !has_length || result.body_bytes == announced;
  result.length_announced = has_length;
  return result;
}

}  // namespace

HttpResult WinInetHttpClient::Get(const HttpRequest& request,
                                  const std::function<bool(const char*, size_t)>* sink) {
  std::vector<long> close_errors;
  HttpResult result = Send(request, sink, close_errors);
  result.close_errors = std::move(close_errors);
  return result;
}

}  // namespace norvex::service::win32
