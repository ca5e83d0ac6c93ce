#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/test_socket.h"

namespace norvex::test {

namespace {
bool Started() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
}  // namespace

SocketId ListenOnLoopback(uint16_t port, uint16_t* bound) {
  if (!Started()) return kNoSocket;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  // Under Wine this lets a test take its fixed port again while old connections linger.
  const BOOL one = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 16) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  int length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  *bound = ntohs(address.sin_port);
  return static_cast<SocketId>(s);
}

SocketId AcceptWithin(SocketId listener, int timeout_ms) {
  WSAPOLLFD p{static_cast<SOCKET>(listener), POLLRDNORM, 0};
  if (::WSAPoll(&p, 1, timeout_ms) <= 0) return kNoSocket;
  const SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketId>(s);
}

int ReceiveWithin(SocketId socket, char* buffer, size_t size, int timeout_ms) {
  WSAPOLLFD p{static_cast<SOCKET>(socket), POLLRDNORM, 0};
  const int ready = ::WSAPoll(&p, 1, timeout_ms);
  if (ready == 0) return -2;
  if (ready < 0) return -1;
  const int n = ::recv(static_cast<SOCKET>(socket), buffer, static_cast<int>(size), 0);
  return n < 0 ? -1 : n;
}

bool SendAll(SocketId socket, const char* data, size_t size, const std::atomic<bool>& stop) {
  while (size > 0) {
    WSAPOLLFD p{static_cast<SOCKET>(socket), POLLWRNORM, 0};
    const int ready = ::WSAPoll(&p, 1, 100);
    if (stop) return false;
    if (ready == 0) continue;
    if (ready < 0) return false;
    // Small pieces: a writable socket takes at least this much without blocking.
    const int n = ::send(static_cast<SOCKET>(socket), data,
                         static_cast<int>(size < 4096 ? size : 4096), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void ResetOnClose(SocketId socket) {
  linger abort{1, 0};
  ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&abort), sizeof abort);
}

void CloseSocket(SocketId socket) {
  if (socket != kNoSocket) ::closesocket(static_cast<SOCKET>(socket));
}

}  // namespace norvex::test
