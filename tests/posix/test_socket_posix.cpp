#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "tests/test_socket.h"

namespace norvex::test {

SocketId ListenOnLoopback(uint16_t port, uint16_t* bound) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return kNoSocket;
  const int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 16) != 0) {
    ::close(s);
    return kNoSocket;
  }
  socklen_t length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  *bound = ntohs(address.sin_port);
  return s;
}

SocketId AcceptWithin(SocketId listener, int timeout_ms) {
  pollfd p{static_cast<int>(listener), POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return kNoSocket;
  const int s = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return s < 0 ? kNoSocket : s;
}

int ReceiveWithin(SocketId socket, char* buffer, size_t size, int timeout_ms) {
  pollfd p{static_cast<int>(socket), POLLIN, 0};
  const int ready = ::poll(&p, 1, timeout_ms);
  if (ready == 0) return -2;
  if (ready < 0) return -1;
  const ssize_t n = ::recv(static_cast<int>(socket), buffer, size, 0);
  return n < 0 ? -1 : static_cast<int>(n);
}

bool SendAll(SocketId socket, const char* data, size_t size, const std::atomic<bool>& stop) {
  while (size > 0) {
    pollfd p{static_cast<int>(socket), POLLOUT, 0};
    const int ready = ::poll(&p, 1, 100);
    if (stop) return false;
    if (ready == 0) continue;
    if (ready < 0) return false;
    const ssize_t n = ::send(static_cast<int>(socket), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void ResetOnClose(SocketId socket) {
  linger abort{1, 0};
  ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

void CloseSocket(SocketId socket) {
  if (socket != kNoSocket) ::close(static_cast<int>(socket));
}

}  // namespace norvex::test
