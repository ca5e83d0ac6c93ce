// What WinINet gives for a chunked answer cut before its last chunk: the same as for a whole
// one (the reads end with TRUE and 0 bytes, no error, nothing more available). That is why the
// Windows client never reports a chunked body as ended with its last chunk. Should this test
// fail on some system, WinINet there tells the two apart, and the client could use it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/win32/internet_handle.h"
#include "tests/http_test_server.h"

namespace norvex::service::win32 {
namespace {

using test::TestRoute;

struct Outcome {
  std::string body;
  bool reads_ended_well = false;  // the last read gave TRUE and 0 bytes
  DWORD error_after = 0;          // the thread's error code after the last read
  DWORD available_after = 1;      // what InternetQueryDataAvailable says afterwards
  std::string transfer_encoding;
  bool operator==(const Outcome&) const = default;
};

Outcome Fetch(test::TestHttpServer& server, TestRoute::Mode mode, const std::string& body) {
  server.Set("/c", {200, body, mode});
  std::vector<long> close_errors;
  Outcome outcome;
  InternetHandle internet(::InternetOpenA("VBQUpdate", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                          nullptr, 0), close_errors);
  InternetHandle connection(::InternetConnectA(internet.get(), "127.0.0.1", server.port(), "",
                                               "", INTERNET_SERVICE_HTTP, 0, 0), close_errors);
  const char* accept[] = {"*/**", nullptr};
  InternetHandle request(::HttpOpenRequestA(connection.get(), "GET", "/c", "HTTP/1.0", "", accept,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                INTERNET_FLAG_KEEP_CONNECTION, 0), close_errors);
  EXPECT_TRUE(::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));
  char coding[64] = {};
  DWORD coding_size = sizeof coding - 1;
  if (::HttpQueryInfoA(request.get(), HTTP_QUERY_TRANSFER_ENCODING, coding, &coding_size,
                       nullptr)) {
    outcome.transfer_encoding.assign(coding, coding_size);
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD read = 0;
    ::SetLastError(0);
    const BOOL ok = ::InternetReadFile(request.get(), buffer.data(),
                                       static_cast<DWORD>(buffer.size()), &read);
    outcome.error_after = ::GetLastError();
    if (!ok || read == 0) {
      outcome.reads_ended_well = ok && read == 0;
      break;
    }
    outcome.body.append(buffer.data(), read);
  }
  ::InternetQueryDataAvailable(request.get(), &outcome.available_after, 0, 0);
  return outcome;
}

TEST(WinInetChunked, CutAnswerEndsLikeAWholeOne) {
  test::TestHttpServer server;
  ASSERT_TRUE(server.listening());
  std::string body(100000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  const Outcome whole = Fetch(server, TestRoute::Mode::kChunked, body);
  EXPECT_EQ(whole.body, body);
  EXPECT_EQ(whole.transfer_encoding, "chunked");
  EXPECT_TRUE(whole.reads_ended_well);
  for (const TestRoute::Mode cut : {TestRoute::Mode::kChunkedCut,
                                    TestRoute::Mode::kChunkedCutInChunk}) {
    Outcome outcome = Fetch(server, cut, body);
    EXPECT_EQ(outcome.body, body.substr(0, body.size() / 2));
    // Everything else is alike.
    outcome.body = whole.body;
    EXPECT_EQ(outcome, whole) << static_cast<int>(cut);
  }
}

}  // namespace
}  // namespace norvex::service::win32
