// The reports and the daily check against a server of the test's own on 127.0.0.1, through the
// system's HTTP client (libcurl on Linux, WinINet under Wine), with a clock the test sets.
#include "usage/usage_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/text.h"
#include "platform/platform.h"
#include "tests/http_test_server.h"
#include "tests/test_installation.h"

namespace norvex::usage {
namespace {

using test::TestHttpServer;
using test::TestRoute;

constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 24 * kHour;

class UsageLog : public ::testing::Test, protected test::TestInstallation {
 protected:
  UsageLog() {
    clock_.offsetSeconds = 9 * 3600;  // local time is UTC+9
    clock_.now = clock_.At(2011, 1, 10, 7, 5, 3);
    server_.Set("/daily", {200, "ok"});
    server_.Set("/install", {200, ""});
  }

  std::u16string Url(const std::string& path) const { return U16(server_.Url(path)); }
  void WriteLogUrls(const std::string& lines) const {
    test::WriteBytes(InstallFile("LogUrls.ini"), "[Agent_Urls]\r\n" + lines);
  }
  void WriteLogTime(int64_t seconds) {
    WriteAgentLog("[daily_log]\r\nlogtime=" + Utf16ToUtf8(FormatLogTime(*clock_.ToLocal(seconds))) +
                  "\r\n");
  }
  void WriteAgentLog(const std::string& bytes) const {
    std::filesystem::create_directories(test::FsPath(UserFile("")));
    test::WriteBytes(UserFile("AgentLog.ini"), bytes);
  }
  std::u16string LogTime() {
    return platform::Current().profile->GetString(UserFile("AgentLog.ini"), u"daily_log",
                                                  u"logtime", u"", 260);
  }
  std::u16string LocalNow() { return FormatLogTime(*clock_.ToLocal(clock_.now)); }
  // The first bytes of the connections that sent anything.
  std::vector<std::string> SpokenConnections() {
    std::vector<std::string> spoken;
    for (const auto& c : server_.Connections()) {
      if (!c.empty()) spoken.push_back(c);
    }
    return spoken;
  }
  // The number of requests the server has recorded, once it has recorded at least `expected`
  // (or after 20 s): the server records a request on its own thread, which may run after the
  // client has already moved on.
  size_t RequestsOnceAtLeast(size_t expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (server_.Requests().size() < expected && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return server_.Requests().size();
  }
  // Waits until the server has recorded a connection that sent something.
  std::vector<std::string> WaitForSpokenConnection() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (SpokenConnections().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return SpokenConnections();
  }
  // A port on 127.0.0.1 where nothing listens.
  static uint16_t ClosedPort() {
    TestHttpServer gone;
    return gone.port();
  }

  TestHttpServer server_;
  test::FakeClock clock_;

 private:
  platform::ScopedSeams clockSeam_{{.clock = &clock_}};
};

TEST_F(UsageLog, GetLogUrlReadsTheTrimmedAddress) {
  std::u16string address = u"previous";
  EXPECT_FALSE(GetLogUrl(u"install", address)) << "no LogUrls.ini";
  EXPECT_EQ(address, u"");
  WriteLogUrls("install =  http://log.example/i?oem=1 \r\nuninstall=   \r\n");
  EXPECT_TRUE(GetLogUrl(u"install", address));
  EXPECT_EQ(address, u"http://log.example/i?oem=1");
  EXPECT_TRUE(GetLogUrl(u"INSTALL", address)) << "key names without regard to case";
  EXPECT_FALSE(GetLogUrl(u"uninstall", address)) << "blank";
  EXPECT_FALSE(GetLogUrl(u"daily", address)) << "missing";
  system_.module.reset();
  EXPECT_FALSE(GetLogUrl(u"install", address)) << "installation folder unknown";
}

TEST_F(UsageLog, TheRequestOnTheWire) {
  ASSERT_TRUE(server_.listening());
  EXPECT_TRUE(PingUrl(Url("/daily?oem=nvx0001&v=1.0"), u"", u""));
  EXPECT_TRUE(PingUrl(Url("/install"), u"", u"X-Extra: yes\r\n"));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  const std::string& head = requests[0];
  EXPECT_EQ(head.rfind("GET /daily?oem=nvx0001&v=1.0 HTTP/1.0\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: NorvexToolbar\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept: */*\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nHost: 127.0.0.1:" + std::to_string(server_.port())), std::string::npos)
      << head;
  EXPECT_NE(requests[1].find("\r\nX-Extra: yes"), std::string::npos) << requests[1];
}

TEST_F(UsageLog, SendReportGoesToTheKeysAddressOrNowhere) {
  WriteLogUrls("install=" + server_.Url("/install?oem=nvx0001") + "\r\nuninstall=\r\n");
  SendReport(u"uninstall");  // blank
  SendReport(u"daily");      // missing
  EXPECT_TRUE(server_.Connections().empty());
  SendReport(u"install");
  ASSERT_EQ(RequestsOnceAtLeast(1), 1u);
  EXPECT_EQ(server_.Requests()[0].rfind("GET /install?oem=nvx0001 HTTP/1.0\r\n", 0), 0u);
}

TEST_F(UsageLog, AnAnswerOfAnyStatusCounts) {
  server_.Set("/missing", {404, "no"});
  EXPECT_TRUE(PingUrl(Url("/missing"), u"", u""));
  EXPECT_EQ(RequestsOnceAtLeast(1), 1u);
}

TEST_F(UsageLog, AddressesTheRequestCannotCarryCostNoConnection) {
  const std::string longObject = "/" + std::string(300, 'a');
  const std::u16string refused[] = {
      Url(longObject),
      u"http://" + std::u16string(256, u'h') + u"/daily",
      u"ftp://127.0.0.1:" + U16(std::to_string(server_.port())) + u"/daily",
      u"",
  };
  for (const auto& address : refused) EXPECT_FALSE(PingUrl(address, u"", u""));
  // A good report afterwards: the server takes connections one at a time, so anything the
  // refused ones had opened would be recorded before it.
  EXPECT_TRUE(PingUrl(Url("/daily"), u"", u""));
  EXPECT_EQ(RequestsOnceAtLeast(1), 1u);
  EXPECT_EQ(WaitForSpokenConnection().size(), 1u);
}

TEST_F(UsageLog, TheAddressPortIsUsed) {
  // With its port the report reaches the server; without one it goes to port 80, elsewhere.
  EXPECT_TRUE(PingUrl(Url("/daily"), u"", u""));
  PingUrl(u"http://127.0.0.1/daily", u"", u"");
  EXPECT_TRUE(PingUrl(Url("/daily"), u"", u""));
  EXPECT_EQ(RequestsOnceAtLeast(2), 2u);
}

TEST_F(UsageLog, SecureAddressesSpeakTlsToTheirPort) {
  // The server here speaks no TLS: what it receives on the address's port is a TLS handshake
  // record (content type 22, version 3.x) instead of a request line, and the report fails.
  const std::u16string address = u"https://127.0.0.1:" + U16(std::to_string(server_.port())) +
                                 u"/daily";
  EXPECT_FALSE(PingUrl(address, u"", u""));
  const auto spoken = WaitForSpokenConnection();
  ASSERT_FALSE(spoken.empty());
  EXPECT_EQ(spoken[0][0], '\x16');
  EXPECT_EQ(spoken[0][1], '\x03');
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(UsageLog, AnUnreachableServerGetsNoRequest) {
  EXPECT_FALSE(PingUrl(u"http://127.0.0.1:" + U16(std::to_string(ClosedPort())) + u"/daily", u"",
                       u""));
}

TEST_F(UsageLog, AServerThatNeverAnswersEndsTheReportAtTheReceiveTimeOut) {
  server_.Set("/silent", {200, "", TestRoute::Mode::kSilent});
  EXPECT_FALSE(PingUrl(Url("/silent"), u"", u""));
  EXPECT_EQ(RequestsOnceAtLeast(1), 1u);
}

TEST_F(UsageLog, LogTimeFormat) {
  EXPECT_EQ(FormatLogTime({2011, 1, 9, 7, 5, 3}), u"2011-1-9 7:5:3");
  EXPECT_EQ(FormatLogTime({2024, 12, 31, 23, 59, 59}), u"2024-12-31 23:59:59");
}

TEST_F(UsageLog, LogTimeParsing) {
  const int64_t jan9 = clock_.At(2011, 1, 9, 7, 5, 3);
  const struct {
    std::u16string value;
    std::optional<int64_t> time;
  } cases[] = {
      {u"2011-1-9 7:5:3", jan9},
      {u"2011-01-09 07:05:03", jan9},
      {u"2011--1-9  7:5:3", jan9},
      {u"2011:1:9:7:5:3", jan9},
      {u"2011-1-9 7:5:3 and more", jan9},
      {u"2011-1-9 7:5:3x", jan9},
      {u"2012-2-29 0:0:0", clock_.At(2012, 2, 29)},
      {u"", std::nullopt},
      {u"abc", std::nullopt},
      {u"2011-1-9 7:5", std::nullopt},
      {u"2011-1-9 7:x:3", std::nullopt},
      {u"2011-13-9 7:5:3", std::nullopt},
      {u"2011-0-9 7:5:3", std::nullopt},
      {u"2011-2-29 7:5:3", std::nullopt},
      {u"2011-4-31 7:5:3", std::nullopt},
      {u"2011-1-9 24:0:0", std::nullopt},
      {u"2011-1-9 7:60:0", std::nullopt},
      {u"2011-1-9 7:5:60", std::nullopt},
      {u"1969-12-31 23:59:59", std::nullopt},
      {u"99999999999-1-9 7:5:3", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLogTime(c.value, clock_), c.time) << Utf16ToUtf8(c.value);
  }
}

TEST_F(UsageLog, UnreadableLogTimesMakeTheReportDue) {
  WriteLogUrls("daily=" + server_.Url("/daily") + "\r\n");
  for (const char* value : {"", "edited by hand", "2011-13-40 99:99:99", "2011-1-9"}) {
    WriteAgentLog(std::string("[daily_log]\r\nlogtime=") + value);
    EXPECT_EQ(ReadLastDailyTime(), 0) << value;
    DailyCheck();
    EXPECT_EQ(LogTime(), LocalNow()) << value;
  }
  EXPECT_EQ(RequestsOnceAtLeast(4), 4u);
}

TEST_F(UsageLog, WithoutALogFileTheReportIsSentAndTheTimeWritten) {
  WriteLogUrls("daily=" + server_.Url("/daily?oem=nvx0001") + "\r\n");
  EXPECT_EQ(ReadLastDailyTime(), 0);
  DailyCheck();
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("GET /daily?oem=nvx0001 HTTP/1.0\r\n", 0), 0u);
  EXPECT_EQ(LogTime(), u"2011-1-10 7:5:3");
  EXPECT_EQ(ReadLastDailyTime(), clock_.now);
}

TEST_F(UsageLog, OnceADay) {
  WriteLogUrls("daily=" + server_.Url("/daily") + "\r\n");
  const struct {
    const char* what;
    int64_t age;  // now minus the recorded time
    bool sent;
  } cases[] = {
      {"23 h 59 min", kDay - 60, false},
      {"24 h less a second", kDay - 1, false},
      {"24 h", kDay, true},
      {"three days", 3 * kDay, true},
      {"an hour in the future", -kHour, false},
      {"a day in the future", -kDay, false},
  };
  for (const auto& c : cases) {
    const size_t before = server_.Requests().size();
    WriteLogTime(clock_.now - c.age);
    const std::u16string recorded = LogTime();
    DailyCheck();
    EXPECT_EQ(server_.Requests().size() - before, c.sent ? 1u : 0u) << c.what;
    EXPECT_EQ(LogTime(), c.sent ? LocalNow() : recorded) << c.what;
  }
}

TEST_F(UsageLog, AFutureTimeHoldsTheReportUntilADayAfterIt) {
  WriteLogUrls("daily=" + server_.Url("/daily") + "\r\n");
  const int64_t future = clock_.now + 5 * kHour;
  WriteLogTime(future);
  for (int64_t now : {clock_.now, future, future + kDay - 1}) {
    clock_.now = now;
    DailyCheck();
  }
  EXPECT_TRUE(server_.Requests().empty());
  clock_.now = future + kDay;
  DailyCheck();
  EXPECT_EQ(RequestsOnceAtLeast(1), 1u);
}

TEST_F(UsageLog, WithoutADailyAddressNothingIsSentOrWritten) {
  WriteLogUrls("install=" + server_.Url("/install") + "\r\n");
  DailyCheck();
  DailyCheck();
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_FALSE(std::filesystem::exists(test::FsPath(UserFile("AgentLog.ini"))));
}

TEST_F(UsageLog, AnUnreachableServerStillRecordsTheTime) {
  WriteLogUrls("daily=http://127.0.0.1:" + std::to_string(ClosedPort()) + "/daily\r\n");
  DailyCheck();
  EXPECT_EQ(LogTime(), LocalNow());
  // And so it waits a day before it tries again.
  WriteLogUrls("daily=" + server_.Url("/daily") + "\r\n");
  clock_.now += kDay - 1;
  DailyCheck();
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(UsageLog, ADailyAddressWithItsOwnPortIsReported) {
  // The server's port is not the default one: the address's port is what reaches it.
  ASSERT_NE(server_.port(), 80);
  WriteLogUrls("daily=http://127.0.0.1:" + std::to_string(server_.port()) + "/daily\r\n");
  DailyCheck();
  EXPECT_EQ(RequestsOnceAtLeast(1), 1u);
}

TEST_F(UsageLog, ASecureDailyAddressIsTriedOverTlsAndTheTimeRecorded) {
  WriteLogUrls("daily=https://127.0.0.1:" + std::to_string(server_.port()) + "/daily\r\n");
  DailyCheck();
  const auto spoken = WaitForSpokenConnection();
  ASSERT_FALSE(spoken.empty());
  EXPECT_EQ(spoken[0][0], '\x16');
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_EQ(LogTime(), LocalNow());
}

TEST_F(UsageLog, WithoutAPerUserFolderTheReportIsDueButNotRecorded) {
  WriteLogUrls("daily=" + server_.Url("/daily") + "\r\n");
  system_.appData.reset();
  EXPECT_EQ(ReadLastDailyTime(), 0);
  DailyCheck();
  EXPECT_EQ(RequestsOnceAtLeast(1), 1u);
}

}  // namespace
}  // namespace norvex::usage
