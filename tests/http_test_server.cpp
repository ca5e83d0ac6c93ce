#include "tests/http_test_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tests/test_socket.h"

namespace norvex::test {

TestHttpServer::TestHttpServer(uint16_t port) {
  listener_ = ListenOnLoopback(port, &port_);
  if (listener_ != kNoSocket) thread_ = std::thread(&TestHttpServer::Serve, this);
}

TestHttpServer::~TestHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseSocket(listener_);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHttpServer::Set(const std::string& path, TestRoute route) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(route);
}

std::vector<std::string> TestHttpServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> TestHttpServer::Connections() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

void TestHttpServer::Serve() {
  while (!stop_) {
    const SocketId connection = AcceptWithin(listener_, 100);
    if (connection == kNoSocket) continue;
    Answer(connection);
    CloseSocket(connection);
  }
}

void TestHttpServer::Answer(intptr_t connection) {
  std::string head;
  char buffer[4096];
  // Whatever arrived is recorded as the connection's first bytes, also when no request
  // head completes.
  struct Record {
    TestHttpServer& server;
    const std::string& head;
    ~Record() {
      std::lock_guard<std::mutex> lock(server.mutex_);
      server.connections_.push_back(head.substr(0, 4096));
    }
  } record{*this, head};
  // A request head within 2 s, or the connection is dropped.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    if (stop_ || std::chrono::steady_clock::now() > deadline) return;
    const int n = ReceiveWithin(connection, buffer, sizeof buffer, 100);
    if (n == -2) continue;
    if (n <= 0) return;
    head.append(buffer, static_cast<size_t>(n));
  }
  std::string request = head.substr(0, head.find("\r\n\r\n"));
  const size_t path_begin = request.find(' ') + 1;
  const std::string path = request.substr(path_begin, request.find(' ', path_begin) - path_begin);
  TestRoute route{404, "no such route"};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    if (auto it = routes_.find(path); it != routes_.end()) route = it->second;
  }
  if (route.mode == TestRoute::Mode::kSilent) {
    // No answer: wait until the client gives up (or 30 s, or the server stops).
    const auto silence_end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop_ && std::chrono::steady_clock::now() < silence_end) {
      const int n = ReceiveWithin(connection, buffer, sizeof buffer, 100);
      if (n == 0 || n == -1) break;
    }
    return;
  }
  using Mode = TestRoute::Mode;
  const bool chunked = route.mode == Mode::kChunkedCut || route.mode == Mode::kChunked ||
                       route.mode == Mode::kChunkedCutInChunk;
  const bool no_length = route.mode == Mode::kNoLength || route.mode == Mode::kNoLengthReset;
  const std::string status_line = std::string(chunked ? "HTTP/1.1 " : "HTTP/1.0 ") +
                                  std::to_string(route.status) +
                                  (route.status == 200 ? " OK" : " Status") + "\r\n";
  const std::string length_line =
      chunked ? "Transfer-Encoding: chunked\r\n"
              : no_length ? "" : "Content-Length: " + std::to_string(route.body.size()) + "\r\n";
  const std::string response_head = status_line + length_line +
                                    "Content-Type: application/octet-stream\r\n"
                                    "Connection: close\r\n" + route.headers + "\r\n";
  if (!SendAll(connection, response_head.data(), response_head.size(), stop_)) return;
  const size_t send = route.mode == Mode::kNormal || route.mode == Mode::kNoLength
                          ? route.body.size()
                          : route.body.size() / 2;
  if (route.mode == Mode::kChunked) {
    // Chunks of growing sizes (one with an extension, which the reader skips), the last chunk
    // and an empty trailer.
    std::string chunks;
    size_t size = 1;
    for (size_t at = 0; at < route.body.size(); at += size, size = size * 3 + 7) {
      const size_t n = std::min(size, route.body.size() - at);
      char size_line[48];
      std::snprintf(size_line, sizeof size_line, at == 0 ? "%zx;note=first\r\n" : "%zX\r\n", n);
      chunks += size_line + route.body.substr(at, n) + "\r\n";
    }
    chunks += "0\r\n\r\n";
    SendAll(connection, chunks.data(), chunks.size(), stop_);
    return;
  }
  if (route.mode == Mode::kChunkedCutInChunk) {
    char size_line[32];
    std::snprintf(size_line, sizeof size_line, "%zx\r\n", route.body.size());
    const std::string cut = size_line + route.body.substr(0, send);
    SendAll(connection, cut.data(), cut.size(), stop_);
    return;  // the chunk breaks off
  }
  if (chunked) {
    char size_line[32];
    std::snprintf(size_line, sizeof size_line, "%zx\r\n", send);
    const std::string chunk = size_line + route.body.substr(0, send) + "\r\n";
    SendAll(connection, chunk.data(), chunk.size(), stop_);
    return;  // no last chunk: the answer breaks off
  }
  if (!SendAll(connection, route.body.data(), send, stop_)) return;
  if (route.mode == Mode::kNoLengthReset) {
    ResetOnClose(connection);
    return;
  }
  if (route.mode == TestRoute::Mode::kStall) {
    // Nothing more until the client gives up (or 30 s, or the server stops).
    const auto stall_end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop_ && std::chrono::steady_clock::now() < stall_end) {
      const int n = ReceiveWithin(connection, buffer, sizeof buffer, 100);
      if (n == 0 || n == -1) break;
    }
  }
}

}  // namespace norvex::test
