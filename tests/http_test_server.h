// A small HTTP server on 127.0.0.1 for tests: answers from a table of routes, one connection
// at a time, on a thread of its own that ends when the object goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace norvex::test {

struct TestRoute {
  enum class Mode {
    kNormal,     // status, Content-Length, body
    kTruncated,  // announces the whole body, sends half, closes
    kStall,      // announces the whole body, sends half, then nothing until the client leaves
    kSilent,     // reads the request and never answers, until the client leaves
    kNoLength,   // status and body without Content-Length; the end of the body is the close
    kNoLengthReset,  // no Content-Length, sends half, then resets the connection
    kChunkedCut,     // HTTP/1.1 chunked: half the body in one chunk, closes before the last
    kChunked,        // HTTP/1.1 chunked: the body in chunks of several sizes, then the last
    kChunkedCutInChunk,  // HTTP/1.1 chunked: one chunk of the whole body, closes halfway in it
  };
  int status = 200;
  std::string body;
  Mode mode = Mode::kNormal;
  std::string headers;  // further header lines of the answer, each ending in CR LF
};

class TestHttpServer {
 public:
  // port 0: any free port.
  explicit TestHttpServer(uint16_t port = 0);
  ~TestHttpServer();
  bool listening() const { return listener_ != -1; }
  uint16_t port() const { return port_; }
  std::string Url(const std::string& path) const;
  void Set(const std::string& path, TestRoute route);
  // The request heads received so far (request line and headers).
  std::vector<std::string> Requests();
  // The first bytes (up to 4 KiB) that each connection sent, complete request or not: a client
  // that speaks TLS shows its handshake here.
  std::vector<std::string> Connections();

 private:
  void Serve();
  void Answer(intptr_t connection);

  intptr_t listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, TestRoute> routes_;
  std::vector<std::string> requests_;
  std::vector<std::string> connections_;
  std::thread thread_;
};

}  // namespace norvex::test
