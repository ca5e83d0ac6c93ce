// Usage reports through WinINet; the reachability test is a plain TCP connection with a
// time-out of its own, so that a server that does not answer cannot hold the browser's thread
// for the system's whole connection time-out.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

#include <wininet.h>

namespace norvex::platform {

namespace {

using win32::ScopedInternetHandle;
using win32::W;

// Winsock for the length of one call.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) ::WSACleanup();
  }
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

class SocketHolder {
 public:
  explicit SocketHolder(SOCKET s) : socket_(s) {}
  ~SocketHolder() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  }
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

bool ConnectWithin(const ADDRINFOW& address, uint32_t timeoutMs) {
  SocketHolder s(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
  if (s.get() == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  if (::ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0) return false;
  if (::connect(s.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return true;
  if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
  WSAPOLLFD poll{s.get(), POLLWRNORM, 0};
  if (::WSAPoll(&poll, 1, static_cast<INT>(timeoutMs)) <= 0) return false;
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return false;
  }
  return error == 0 && (poll.revents & POLLWRNORM) != 0;
}

class WinReportClient final : public ReportClient {
 public:
  bool CanConnect(const std::u16string& host, uint16_t port, uint32_t timeoutMs) override {
    WinsockSession winsock;
    if (!winsock.started()) return false;
    ADDRINFOW hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    const std::wstring service = std::to_wstring(port);
    if (::GetAddrInfoW(W(host), service.c_str(), &hints, &found) != 0) return false;
    bool connected = false;
    for (const ADDRINFOW* a = found; a && !connected; a = a->ai_next) {
      connected = ConnectWithin(*a, timeoutMs);
    }
    ::FreeAddrInfoW(found);
    return connected;
  }

  bool SendGet(const ReportRequest& request) override {
    ScopedInternetHandle internet(::InternetOpenW(W(request.userAgent),
                                                  INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                                  0));
    if (!internet) return false;
    DWORD receive = request.receiveTimeoutMs;
    DWORD connect = request.connectTimeoutMs;
    ::InternetSetOptionW(internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    ::InternetSetOptionW(internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    ScopedInternetHandle connection(::InternetConnectW(internet.get(), W(request.host),
                                                       request.port, L"", L"",
                                                       INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;
    const wchar_t* accept[] = {L"*/*", nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
    if (request.secure) flags |= INTERNET_FLAG_SECURE;
    ScopedInternetHandle http(::HttpOpenRequestW(connection.get(), L"GET", W(request.object),
                                                 L"HTTP/1.0", L"", accept, flags, 0));
    if (!http) return false;
    // Again on the request: some WinINet versions take the time-out only from the handle that
    // waits for the answer.
    ::InternetSetOptionW(http.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    const wchar_t* headers = request.headers.empty() ? nullptr : W(request.headers);
    // The answer is not read. The handles close in the reverse order of their opening:
    // request, connection, Internet.
    return ::HttpSendRequestW(http.get(), headers, static_cast<DWORD>(request.headers.size()),
                              nullptr, 0) != FALSE;
  }
};

}  // namespace

ReportClient& NativeReportClient() {
  static WinReportClient client;
  return client;
}

}  // namespace norvex::platform
