// The system's HTTP client (libcurl on POSIX, WinINet on Windows) against a server of the
// test's own on 127.0.0.1.
#include <gtest/gtest.h>

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
