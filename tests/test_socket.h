// The few socket calls that the tests' HTTP server needs, one implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <atomic>

namespace norvex::test {

using SocketId = intptr_t;
inline constexpr SocketId kNoSocket = -1;

// A listening TCP socket on 127.0.0.1 (port 0: any free port); *bound gets the port.
SocketId ListenOnLoopback(uint16_t port, uint16_t* bound);
// A connection, or kNoSocket when none arrived within timeout_ms.
SocketId AcceptWithin(SocketId listener, int timeout_ms);
// Bytes received (> 0), 0 when the peer closed, -1 on error, -2 when nothing came in time.
int ReceiveWithin(SocketId socket, char* buffer, size_t size, int timeout_ms);
// Sends everything; gives up when stop becomes true while the peer is not reading.
bool SendAll(SocketId socket, const char* data, size_t size, const std::atomic<bool>& stop);
void CloseSocket(SocketId socket);
// Makes the next close of the socket a reset (RST) instead of an orderly end.
void ResetOnClose(SocketId socket);

}  // namespace norvex::test
