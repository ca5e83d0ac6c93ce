// The system's HTTP client (libcurl on POSIX, WinINet on Windows) against a server of the
// test's own on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdlib>

#include "service/http_download.h"
#include "service/platform_factory.h"
#include "tests/http_test_server.h"
#include "service/tests/service_fakes.h"

namespace norvex::service {
namespace {

using testing::ServiceFixture;
using test::TestHttpServer;
using test::TestRoute;
using Mode = TestRoute::Mode;

class HttpClientTest : public ::testing::Test {
 protected:
  HttpClientTest() : client_(CreateNativeHttpClient()) {
    f_.platform.http = client_.get();
  }
  ServiceFixture f_;
  std::unique_ptr<HttpClient> client_;
  TestHttpServer server_;
};

struct Case {
  const char* what;
  TestRoute route;
  bool ok;
};

#ifdef _WIN32
// WinINet ends a chunked answer cut before its last chunk as it ends a whole one (measured in
// WinInetChunked.CutAnswerEndsLikeAWholeOne): there no chunked answer is a complete file.
constexpr bool kChunkedAnswerIsAFile = false;
#else
// libcurl reports a chunked answer cut before its last chunk as an error.
constexpr bool kChunkedAnswerIsAFile = true;
#endif

TEST_F(HttpClientTest, AnswersOfTheServer) {
  ASSERT_TRUE(server_.listening());
  std::string big(3 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  const std::vector<Case> cases = {
      {"200", {200, "manifest body"}, true},
      {"200 large", {200, big}, true},
      {"404 with body", {404, "not found page"}, false},
      {"500", {500, "server error"}, false},
      {"empty 200", {200, ""}, false},
      {"truncated", {200, std::string(100000, 't'), Mode::kTruncated}, false},
      {"stalled", {200, std::string(100000, 's'), Mode::kStall}, false},
      // Without an announced length a body ends with the connection, which a reset looks
      // like too: no such answer is a complete file.
      {"no length", {200, std::string(100000, 'n'), Mode::kNoLength}, false},
      {"no length, reset", {200, std::string(100000, 'r'), Mode::kNoLengthReset}, false},
      // A chunked answer ends with its last chunk; one cut before it is never a file.
      {"chunked", {200, big, Mode::kChunked}, kChunkedAnswerIsAFile},
      {"chunked, small", {200, "[COMMON]\r\nVERSION=1.0.1\r\n", Mode::kChunked},
       kChunkedAnswerIsAFile},
      {"chunked, cut", {200, std::string(100000, 'c'), Mode::kChunkedCut}, false},
      {"chunked, cut inside a chunk", {200, std::string(100000, 'i'), Mode::kChunkedCutInChunk},
       false},
  };
  UpdateFiles files(f_.platform, f_.LogPath());
  // Short time-outs so that the stalled answer ends the request quickly.
  HttpDownload http(files, DownloadOptions{2000, 1000});
  for (const Case& c : cases) {
    server_.Set("/f", c.route);
    f_.Write("Temp/f.bin", "previous");
    EXPECT_EQ(http.DownloadToFile(server_.Url("/f"), "Temp\\f.bin"), c.ok) << c.what;
    EXPECT_EQ(f_.Read("Temp/f.bin"), c.ok ? c.route.body : "previous") << c.what;
    EXPECT_FALSE(f_.Exists("Temp/f.bin.download")) << c.what;
  }
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), cases.size());
  EXPECT_EQ(requests[0].rfind("GET /f HTTP/1.0\r\n", 0), 0u) << requests[0];
  EXPECT_NE(requests[0].find("User-Agent: VBQUpdate\r\n"), std::string::npos) << requests[0];
  EXPECT_NE(requests[0].find("Accept: */**"), std::string::npos) << requests[0];
}

// A body larger than the limit given is refused, whether or not its length was announced; one
// of exactly the limit is taken.
TEST_F(HttpClientTest, BodyOverTheLimitIsRefused) {
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files);
  const std::string manifest = "[COMMON]\nVERSION=1.0.1\n;" + std::string(kMaxManifestBytes, 'p');
  struct Case {
    const char* what;
    TestRoute route;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"exactly the limit", {200, manifest.substr(0, kMaxManifestBytes)}, true},
      {"one byte more", {200, manifest.substr(0, kMaxManifestBytes + 1)}, false},
      {"much more", {200, manifest + manifest}, false},
      {"more, cut off", {200, manifest + manifest, Mode::kTruncated}, false},
  };
  for (const Case& c : cases) {
    server_.Set("/liveupdate.ini", c.route);
    f_.Write("Temp/liveupdate.ini", "previous");
    EXPECT_EQ(http.DownloadToFile(server_.Url("/liveupdate.ini"), "Temp\\liveupdate.ini",
                                  kMaxManifestBytes),
              c.ok)
        << c.what;
    EXPECT_EQ(f_.Read("Temp/liveupdate.ini").size(), c.ok ? c.route.body.size() : 8u) << c.what;
    EXPECT_FALSE(f_.Exists("Temp/liveupdate.ini.download")) << c.what;
  }
}

TEST_F(HttpClientTest, RefusedConnectionIsAFailedRequest) {
  uint16_t closed_port = 0;
  {
    TestHttpServer gone;
    closed_port = gone.port();
  }
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  EXPECT_FALSE(http.DownloadToFile("http://127.0.0.1:" + std::to_string(closed_port) + "/x",
                                   "Temp\\x.bin"));
  EXPECT_FALSE(f_.Exists("Temp/x.bin"));
  EXPECT_EQ(f_.console.text.rfind("Error in ", 0), 0u) << f_.console.text;
}

TEST_F(HttpClientTest, HttpsIsNeverDowngradedToClearText) {
  server_.Set("/secret", {200, "clear text"});
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  const std::string url = "https://127.0.0.1:" + std::to_string(server_.port()) + "/secret";
  EXPECT_FALSE(http.DownloadToFile(url, "Temp\\s.bin"));
  EXPECT_FALSE(f_.Exists("Temp/s.bin"));
  for (const std::string& r : server_.Requests()) EXPECT_NE(r.rfind("GET ", 0), 0u) << r;
}

// The header lines of a request head, without the request line.
bool HasHeader(const std::string& head, const std::string& name) {
  std::string lower;
  for (char c : head) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  std::string wanted = "\r\n";
  for (char c : name) wanted += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower.find(wanted + ":") != std::string::npos;
}

TEST_F(HttpClientTest, RedirectsAreFollowedWithoutTheCookiesTheyHandOut) {
  ASSERT_TRUE(server_.listening());
  server_.Set("/old/a.zip", {302, "moved", Mode::kNormal,
                             "Location: /new/a.zip\r\nSet-Cookie: session=machine\r\n"});
  server_.Set("/new/a.zip", {301, "", Mode::kNormal,
                             "Location: " + server_.Url("/final/a.zip") +
                                 "\r\nSet-Cookie: other=1; Path=/\r\n"});
  server_.Set("/final/a.zip", {200, "archive"});
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  EXPECT_TRUE(http.DownloadToFile(server_.Url("/old/a.zip"), "Temp\\a.zip"));
  EXPECT_EQ(f_.Read("Temp/a.zip"), "archive");
  http.SendPing(server_.Url("/old/a.zip"));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 6u);
  for (const std::string& r : requests) EXPECT_FALSE(HasHeader(r, "Cookie")) << r;
  EXPECT_EQ(requests[2].rfind("GET /final/a.zip ", 0), 0u) << requests[2];
  EXPECT_EQ(requests[5].rfind("GET /final/a.zip ", 0), 0u) << requests[5];
}

TEST_F(HttpClientTest, ServerAskingForALogonGetsNoCredentials) {
  ASSERT_TRUE(server_.listening());
  const std::string ask = "WWW-Authenticate: Negotiate\r\nWWW-Authenticate: NTLM\r\n"
                          "WWW-Authenticate: Basic realm=\"intranet\"\r\n";
  server_.Set("/logon", {401, "who are you", Mode::kNormal, ask});
  server_.Set("/to-logon", {302, "", Mode::kNormal, "Location: /logon\r\n"});
#ifndef _WIN32
  // Stored passwords for this host stay unused.
  f_.Write("home/.netrc", "machine 127.0.0.1 login machine password secret\n");
  const char* home = std::getenv("HOME");
  const std::string saved_home = home ? home : "";
  ::setenv("HOME", f_.At("home").string().c_str(), 1);
#endif
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  EXPECT_FALSE(http.DownloadToFile(server_.Url("/to-logon"), "Temp\\l.bin"));
  EXPECT_FALSE(http.DownloadToFile(server_.Url("/logon"), "Temp\\l.bin"));
  http.SendPing(server_.Url("/logon"));
#ifndef _WIN32
  ::setenv("HOME", saved_home.c_str(), 1);
#endif
  EXPECT_FALSE(f_.Exists("Temp/l.bin"));
  const auto requests = server_.Requests();
  // One request each (and one for the redirect): nothing comes back with an answer to the
  // challenge.
  EXPECT_EQ(requests.size(), 4u);
  for (const std::string& r : requests) {
    EXPECT_FALSE(HasHeader(r, "Authorization")) << r;
    EXPECT_FALSE(HasHeader(r, "Proxy-Authorization")) << r;
  }
}

// A body longer than the request allows reaches the sink only up to the limit, and the
// request ends there, incomplete; one that just fits is complete.
TEST_F(HttpClientTest, BodyIsCutOffAtTheRequestsLimit) {
  ASSERT_TRUE(server_.listening());
  const std::string body(300000, 'b');
  server_.Set("/big", {200, body});
  std::optional<HttpRequest> request = ParseHttpUrl(server_.Url("/big"));
  ASSERT_TRUE(request);
  request->stall_timeout_ms = 2000;
  const struct {
    uint64_t limit;
    bool complete;
  } cases[] = {{1, false}, {1001, false}, {262144, false}, {262145, false}, {299999, false},
               {300000, true}, {300001, true}};
  for (const auto& c : cases) {
    request->max_body_bytes = c.limit;
    uint64_t delivered = 0;
    const std::function<bool(const char*, size_t)> sink = [&](const char*, size_t n) {
      delivered += n;
      return true;
    };
    const HttpResult result = client_->Get(*request, &sink);
    EXPECT_EQ(result.status, 200) << c.limit;
    EXPECT_EQ(delivered, std::min<uint64_t>(c.limit, body.size())) << c.limit;
    EXPECT_EQ(result.body_bytes, delivered) << c.limit;
    EXPECT_EQ(result.body_complete, c.complete) << c.limit;
  }
}

// SIZE and SHA256 of a module checked on the body that the system's client delivers: only a
// body of that size and hash becomes the file; a longer one is cut one byte past SIZE.
TEST_F(HttpClientTest, DownloadCheckedAgainstSizeAndHash) {
  ASSERT_TRUE(server_.listening());
  std::string body(70000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 13 + i / 97);
  server_.Set("/m/a.zip", {200, body});
  const std::string hash = Sha256Of(*f_.crypto, body);
  ASSERT_EQ(hash.size(), 32u);
  using Result = DownloadOutcome::Result;
  const struct {
    const char* what;
    std::optional<uint64_t> size;
    std::string sha256;
    Result result;
    uint64_t bytes;
  } cases[] = {
      {"both right", body.size(), hash, Result::kDone, body.size()},
      {"hash only", std::nullopt, hash, Result::kDone, body.size()},
      {"size only", body.size(), "", Result::kDone, body.size()},
      {"SIZE smaller: cut one byte past it", 1000, hash, Result::kSizeMismatch, 1001},
      {"SIZE larger", body.size() + 1, hash, Result::kSizeMismatch, body.size()},
      {"wrong hash", body.size(), std::string(32, '\x01'), Result::kHashMismatch, body.size()},
  };
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  for (const auto& c : cases) {
    f_.Write("Temp/a.zip", "previous");
    const DownloadOutcome outcome =
        http.Download(server_.Url("/m/a.zip"), "Temp\\a.zip", {UINT64_MAX, c.size, c.sha256});
    EXPECT_EQ(outcome.result, c.result) << c.what;
    EXPECT_EQ(outcome.bytes, c.bytes) << c.what;
    EXPECT_EQ(f_.Read("Temp/a.zip"), c.result == Result::kDone ? body : "previous") << c.what;
    EXPECT_FALSE(f_.Exists("Temp/a.zip.download")) << c.what;
  }
}

// The log's second line of a failed download says what the network said.
TEST_F(HttpClientTest, FailedDownloadsSayWhy) {
  ASSERT_TRUE(server_.listening());
  uint16_t closed_port = 0;
  {
    TestHttpServer gone;
    closed_port = gone.port();
  }
  server_.Set("/gone", {404, "no such file"});
  server_.Set("/cut", {200, std::string(100000, 'c'), Mode::kTruncated});
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  const struct {
    std::string url;
    std::string starts;
  } cases[] = {
      {server_.Url("/gone"), "HTTP status 404"},
      {server_.Url("/cut"), "HTTP status 200, the body broke off after "},
      {"http://127.0.0.1:" + std::to_string(closed_port) + "/x", "no answer: "},
      {"ftp://127.0.0.1/x", "not an http or https address"},
  };
  for (const auto& c : cases) {
    const DownloadExpectation expected;
    const std::string text = DescribeDownloadFailure(http.Download(c.url, "Temp\\x", expected), expected);
    EXPECT_EQ(text.rfind(c.starts, 0), 0u) << c.url << ": " << text;
  }
}

TEST_F(HttpClientTest, PingReadsOnlyTheStatus) {
  server_.Set("/ping", {200, std::string(1 << 20, 'p')});
  UpdateFiles files(f_.platform, f_.LogPath());
  HttpDownload http(files, DownloadOptions{2000, 1000});
  http.SendPing(server_.Url("/ping"));
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(f_.console.text, "");
}

}  // namespace
}  // namespace norvex::service
