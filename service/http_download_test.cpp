#include "service/http_download.h"

#include <gtest/gtest.h>

#include <map>

#include "service/tests/service_fakes.h"

namespace norvex::service {
namespace {

using testing::FakeHttp;
using testing::ServiceFixture;

TEST(ParseHttpUrl, HonoursSchemeAndPort) {
  const struct {
    const char* url;
    bool ok;
    bool secure;
    const char* host;
    int port;
    const char* object;
  } cases[] = {
      {"http://update.norvex.example/toolbar/bin/liveupdate.ini", true, false,
       "update.norvex.example", 80, "/toolbar/bin/liveupdate.ini"},
      {"https://update.norvex.example/a.zip", true, true, "update.norvex.example", 443, "/a.zip"},
      {"HTTP://127.0.0.1:18631/x?y=1", true, false, "127.0.0.1", 18631, "/x?y=1"},
      {"https://h:8443", true, true, "h", 8443, "/"},
      {"http://user:pw@h/p", true, false, "h", 80, "/p"},
      {"http://h?q", true, false, "h", 80, "/?q"},
      {"http://h/a.zip?v=2#top", true, false, "h", 80, "/a.zip?v=2"},
      {"http://h#top", true, false, "h", 80, "/"},
      {"", false},
      {"ftp://h/x", false},
      {"http://", false},
      {"http://h:0/x", false},
      {"http://h:99999/x", false},
      {"http://h:8x/x", false},
      {"not a url", false},
  };
  for (const auto& c : cases) {
    const auto r = ParseHttpUrl(c.url);
    ASSERT_EQ(r.has_value(), c.ok) << c.url;
    if (!c.ok) continue;
    EXPECT_EQ(r->secure, c.secure) << c.url;
    EXPECT_EQ(r->host, c.host) << c.url;
    EXPECT_EQ(r->port, c.port) << c.url;
    EXPECT_EQ(r->object, c.object) << c.url;
    EXPECT_EQ(r->user_agent, "VBQUpdate");
    EXPECT_EQ(r->accept, "*/**");
  }
}

TEST(ParseHttpUrl, CutsServerAndObjectTo255) {
  const auto r = ParseHttpUrl("http://" + std::string(300, 'h') + "/" + std::string(300, 'o'));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->host.size(), 255u);
  EXPECT_EQ(r->object.size(), 255u);
}

struct DownloadCase {
  const char* what;
  FakeHttp::Answer answer;
  bool ok;
  const char* printed;
};

TEST(DownloadToFile, OnlyACompleteNonEmpty200ReplacesTheFile) {
  const std::vector<DownloadCase> cases = {
      {"200", {200, "new body"}, true, ""},
      {"404 with a body", {404, "missing"}, false, ""},
      {"500", {500, "oops"}, false, ""},
      {"empty body", {200, ""}, false, ""},
      {"truncated body", {200, "half of it", false}, false, ""},
      {"connect failed", {0, "", true, "InternetConnect"}, false, "Error in InternetConnect:12029"},
      {"send failed", {0, "", true, "HttpSendRequest"}, false, "Error in HttpSendRequest:12029"},
  };
  for (const DownloadCase& c : cases) {
    ServiceFixture f;
    UpdateFiles files(f.platform, f.LogPath());
    HttpDownload http(files);
    f.Write("Temp/x.bin", "old body");
    f.http.answers["/x.bin"] = c.answer;
    EXPECT_EQ(http.DownloadToFile("http://127.0.0.1:9/x.bin", "Temp\\x.bin"), c.ok) << c.what;
    EXPECT_EQ(f.Read("Temp/x.bin"), c.ok ? c.answer.body : "old body") << c.what;
    EXPECT_FALSE(f.Exists("Temp/x.bin.download")) << c.what;
    EXPECT_EQ(f.console.text, c.printed) << c.what;
  }
}

TEST(DownloadToFile, CreatesFoldersAndPassesTimeouts) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files, DownloadOptions{1500, 2500});
  f.http.answers["/m/agents.zip"] = {200, std::string(5000, 'z')};
  EXPECT_TRUE(http.DownloadToFile("https://u.example:8443/m/agents.zip",
                                  "Temp\\.\\Agents\\agents.zip"));
  EXPECT_EQ(f.Read("Temp/Agents/agents.zip").size(), 5000u);
  ASSERT_EQ(f.http.requests.size(), 1u);
  EXPECT_TRUE(f.http.requests[0].secure);
  EXPECT_EQ(f.http.requests[0].port, 8443);
  EXPECT_EQ(f.http.requests[0].connect_timeout_ms, 1500u);
  EXPECT_EQ(f.http.requests[0].stall_timeout_ms, 2500u);
}

// The folders of the target are made only for an answer that brings a body with status 200.
TEST(DownloadToFile, FailedRequestMakesNoFolder) {
  for (const FakeHttp::Answer& answer :
       {FakeHttp::Answer{404, "missing"}, FakeHttp::Answer{500, "oops"}, FakeHttp::Answer{200, ""},
        FakeHttp::Answer{0, "", true, "InternetConnect"}}) {
    ServiceFixture f;
    UpdateFiles files(f.platform, f.LogPath());
    HttpDownload http(files);
    f.http.answers["/x.bin"] = answer;
    EXPECT_FALSE(http.DownloadToFile("http://127.0.0.1:9/x.bin", "New\\Sub\\x.bin"));
    EXPECT_FALSE(f.Exists("New")) << answer.status << answer.failed_step;
  }
}

// A body whose length was not announced ends when the connection does, which a connection
// broken off looks like too: it is not taken for the file, and an existing file stays.
TEST(DownloadToFile, BodyWithoutAnnouncedLengthIsNotAFile) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  FakeHttp::Answer answer{200, "[COMMON]\nVERSION=1.0.1\n"};
  answer.length_announced = false;
  f.http.answers["/x.ini"] = answer;
  f.Write("Temp/x.ini", "previous");
  EXPECT_FALSE(http.DownloadToFile("http://127.0.0.1:9/x.ini", "Temp\\x.ini"));
  EXPECT_EQ(f.Read("Temp/x.ini"), "previous");
  EXPECT_FALSE(f.Exists("Temp/x.ini.download"));
  f.http.answers["/x.ini"].length_announced = true;
  EXPECT_TRUE(http.DownloadToFile("http://127.0.0.1:9/x.ini", "Temp\\x.ini"));
  EXPECT_EQ(f.Read("Temp/x.ini"), answer.body);
}

// A chunked body ends with its last chunk: with it, the body is the file; cut before it, the
// client reports the body incomplete.
TEST(DownloadToFile, ChunkedBodyEndsWithItsLastChunk) {
  struct Case {
    const char* what;
    bool last_chunk_seen;
    bool complete;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"last chunk seen", true, true, true},
      {"cut before the last chunk", false, false, false},
      {"no framing the client could tell", false, true, false},
  };
  for (const Case& c : cases) {
    ServiceFixture f;
    UpdateFiles files(f.platform, f.LogPath());
    HttpDownload http(files);
    FakeHttp::Answer answer{200, "[COMMON]\nVERSION=1.0.1\n", c.complete};
    answer.length_announced = false;
    answer.last_chunk_seen = c.last_chunk_seen;
    f.http.answers["/x.ini"] = answer;
    f.Write("Temp/x.ini", "previous");
    EXPECT_EQ(http.DownloadToFile("http://127.0.0.1:9/x.ini", "Temp\\x.ini"), c.ok) << c.what;
    EXPECT_EQ(f.Read("Temp/x.ini"), c.ok ? answer.body : "previous") << c.what;
    EXPECT_FALSE(f.Exists("Temp/x.ini.download")) << c.what;
  }
}

TEST(DownloadToFile, EmptyUrlMakesNoRequest) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  EXPECT_FALSE(http.DownloadToFile("", "Temp\\x"));
  http.SendPing("");
  EXPECT_TRUE(f.http.requests.empty());
  EXPECT_FALSE(f.Exists("Temp"));
  EXPECT_EQ(f.console.text, "");
}

// A handle that does not close is reported on the console, whatever became of the request.
TEST(HttpDownload, FailedClosesArePrinted) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  f.http.answers["/x.bin"] = {200, "body", true, "", "", {6}};
  EXPECT_TRUE(http.DownloadToFile("http://127.0.0.1:9/x.bin", "x.bin"));
  EXPECT_EQ(f.console.text, "Error in InternetCloseHandle:6");
  f.console.text.clear();
  f.http.answers["/ping"] = {204, "", true, "", "", {6, 12018}};
  http.SendPing("http://127.0.0.1:9/ping");
  EXPECT_EQ(f.console.text, "Error in InternetCloseHandle:6Error in InternetCloseHandle:12018");
  f.console.text.clear();
  f.http.answers["/ping"] = {0, "", true, "HttpSendRequest", "", {6}};
  http.SendPing("http://127.0.0.1:9/ping");
  EXPECT_EQ(f.console.text, "Error in HttpSendRequest:12029Error in InternetCloseHandle:6");
}

TEST(ResolveRedirect, ReadsLocationsAgainstTheAddress) {
  const struct {
    const char* base;
    const char* location;
    const char* url;
  } cases[] = {
      {"http://h/a/b.zip", "https://m.example/c.zip", "https://m.example/c.zip"},
      {"https://h/a/b.zip", "HTTP://m/c", "HTTP://m/c"},
      {"https://h:8443/a/b.zip", "//m.example/c.zip", "https://m.example/c.zip"},
      {"http://h:81/a/b.zip?x=1", "/c/d.zip", "http://h:81/c/d.zip"},
      {"http://h/a/b.zip?x=1", "d.zip", "http://h/a/d.zip"},
      {"http://h/a/b.zip", "?y=2", "http://h/a/b.zip?y=2"},
      {"http://h", "d.zip", "http://h/d.zip"},
      {"http://h?q", "d.zip", "http://h/d.zip"},
      {"not a url", "d.zip", ""},
      {"http://h/a", "ftp://m/c", "ftp://m/c"},
      {"http://h/a", "file:C:/x", "file:C:/x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveRedirect(c.base, c.location), c.url) << c.base << " + " << c.location;
  }
}

TEST(DownloadToFile, FollowsRedirectsButNeverFromHttpsToHttp) {
  using Answer = FakeHttp::Answer;
  const struct {
    const char* what;
    std::map<std::string, Answer> answers;
    bool ok;
    std::vector<std::string> requested;  // scheme, host and object of each request
  } cases[] = {
      {"302 then 200",
       {{"/x.zip", {302, "", true, "", "/m/x.zip"}}, {"/m/x.zip", {200, "body"}}},
       true,
       {"http://u/x.zip", "http://u/m/x.zip"}},
      {"each kind of redirect",
       {{"/1", {301, "", true, "", "2"}},
        {"/2", {303, "", true, "", "3"}},
        {"/3", {307, "", true, "", "4"}},
        {"/4", {308, "", true, "", "http://v/5"}},
        {"/5", {200, "body"}}},
       true,
       {"http://u/1", "http://u/2", "http://u/3", "http://u/4", "http://v/5"}},
      {"upgrade to https",
       {{"/1", {302, "", true, "", "https://v/2"}}, {"/2", {200, "body"}}},
       true,
       {"http://u/1", "https://v/2"}},
      {"redirect without a place", {{"/1", {302, "moved"}}}, false, {"http://u/1"}},
      {"a redirect that is not one", {{"/1", {304, "", true, "", "/2"}}}, false, {"http://u/1"}},
      {"to another scheme", {{"/1", {302, "", true, "", "ftp://v/2"}}}, false, {"http://u/1"}},
  };
  for (const auto& c : cases) {
    ServiceFixture f;
    UpdateFiles files(f.platform, f.LogPath());
    HttpDownload http(files);
    f.http.answers = c.answers;
    const std::string first = c.requested.front();
    EXPECT_EQ(http.DownloadToFile(first, "Temp\\x.bin"), c.ok) << c.what;
    EXPECT_EQ(f.Exists("Temp/x.bin"), c.ok) << c.what;
    std::vector<std::string> requested;
    for (const HttpRequest& r : f.http.requests) {
      requested.push_back((r.secure ? "https://" : "http://") + r.host + r.object);
    }
    EXPECT_EQ(requested, c.requested) << c.what;
  }
}

TEST(DownloadToFile, SecureRequestIsNeverRedirectedToClearText) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  f.http.answers["https://u:443/a.zip"] = {302, "", true, "", "http://u/a.zip"};
  f.http.answers["https://u:443/b.zip"] = {301, "", true, "", "//intranet/b.zip"};
  f.http.answers["https://u:443/c.zip"] = {302, "", true, "", "https://v/c.zip"};
  f.http.answers["https://v:443/c.zip"] = {307, "", true, "", "http://intranet/c.zip"};
  f.http.answers["http://u:80/a.zip"] = {200, "clear text"};
  f.http.answers["http://intranet:80/b.zip"] = {200, "clear text"};
  f.http.answers["http://intranet:80/c.zip"] = {200, "clear text"};
  for (const char* name : {"a.zip", "b.zip", "c.zip"}) {
    EXPECT_FALSE(http.DownloadToFile(std::string("https://u/") + name, "Temp\\x.bin")) << name;
    for (const HttpRequest& r : f.http.requests) EXPECT_TRUE(r.secure) << name << r.host;
  }
  // Four stopped redirects, and the scheme-relative one followed over TLS.
  EXPECT_EQ(f.http.requests.size(), 5u);
  EXPECT_FALSE(f.Exists("Temp/x.bin"));
}

TEST(DownloadToFile, RedirectLoopEndsAfterTenRedirects) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  f.http.answers["/loop"] = {302, "", true, "", "/loop"};
  EXPECT_FALSE(http.DownloadToFile("http://u/loop", "Temp\\x.bin"));
  EXPECT_EQ(f.http.requests.size(), 1u + kMaxRedirects);
  http.SendPing("http://u/loop");
  EXPECT_EQ(f.http.requests.size(), 2u * (1u + kMaxRedirects));
}

TEST(SendPing, SendsOneRequestWithoutBody) {
  ServiceFixture f;
  UpdateFiles files(f.platform, f.LogPath());
  HttpDownload http(files);
  http.SendPing("http://log.example/install?id=1");
  ASSERT_EQ(f.http.requests.size(), 1u);
  EXPECT_EQ(f.http.requests[0].object, "/install?id=1");
}

}  // namespace
}  // namespace norvex::service
