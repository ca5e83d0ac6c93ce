#include "usage/usage_log.h"

#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "storage/data_folders.h"
#include "usage/report_url.h"

namespace norvex::usage {

namespace {

constexpr size_t kUrlCapacity = 2083;
constexpr size_t kLogTimeCapacity = 260;
constexpr int64_t kSecondsPerDay = 86400;

std::optional<std::u16string> AgentLogPath() {
  const auto folder = storage::GetUserDataFolder();
  if (!folder) return std::nullopt;
  return storage::JoinPath(*folder, u"AgentLog.ini");
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// A token read as _wtoi reads it: leading white space, a sign, digits. Nothing when no digit
// follows.
std::optional<int> TokenNumber(std::u16string_view token) {
  size_t i = 0;
  while (i < token.size() && IsSpace(token[i])) ++i;
  if (i < token.size() && (token[i] == u'+' || token[i] == u'-')) ++i;
  if (i >= token.size() || token[i] < u'0' || token[i] > u'9') return std::nullopt;
  return ParseLenientInt(token);
}

}  // namespace

bool GetLogUrl(const std::u16string& key, std::u16string& address) {
  address.clear();
  const auto folder = storage::GetInstallFolder();
  if (!folder) return false;
  address = Trim(platform::Current().profile->GetString(
      storage::JoinPath(*folder, u"LogUrls.ini"), u"Agent_Urls", key, u"", kUrlCapacity));
  return !address.empty();
}

bool PingUrl(const std::u16string& address, const std::u16string& suffix,
             const std::u16string& headers) {
  // The address is split first, so that one the request could not carry costs no connection.
  const auto url = SplitReportUrl(address + suffix);
  if (!url) return false;
  platform::ReportClient& client = *platform::Current().reports;
  if (!client.CanConnect(url->host, url->port, kConnectTimeoutMs)) return false;
  platform::ReportRequest request;
  request.secure = url->secure;
  request.host = url->host;
  request.port = url->port;
  request.object = url->object;
  request.headers = headers;
  request.userAgent = kUserAgent;
  request.connectTimeoutMs = kConnectTimeoutMs;
  request.receiveTimeoutMs = kReceiveTimeoutMs;
  return client.SendGet(request);
}

std::optional<int64_t> ParseLogTime(std::u16string_view value, platform::Clock& clock) {
  std::vector<int> numbers;
  size_t begin = 0;
  while (begin < value.size() && numbers.size() < 6) {
    size_t end = value.find_first_of(u":- ", begin);
    if (end == std::u16string_view::npos) end = value.size();
    if (end > begin) {
      const auto number = TokenNumber(value.substr(begin, end - begin));
      if (!number) return std::nullopt;
      numbers.push_back(*number);
    }
    begin = end + 1;
  }
  if (numbers.size() < 6) return std::nullopt;
  const platform::LocalTime time{numbers[0], numbers[1], numbers[2],
                                 numbers[3], numbers[4], numbers[5]};
  if (time.year < 1970 || time.year > 3000 || time.month < 1 || time.month > 12 ||
      time.day < 1 || time.day > DaysInMonth(time.year, time.month) || time.hour < 0 ||
      time.hour > 23 || time.minute < 0 || time.minute > 59 || time.second < 0 ||
      time.second > 59) {
    return std::nullopt;
  }
  return clock.FromLocal(time);
}

std::u16string FormatLogTime(const platform::LocalTime& time) {
  return FormatInt(time.year) + u"-" + FormatInt(time.month) + u"-" + FormatInt(time.day) + u" " +
         FormatInt(time.hour) + u":" + FormatInt(time.minute) + u":" + FormatInt(time.second);
}

int64_t ReadLastDailyTime() {
  const auto path = AgentLogPath();
  if (!path) return 0;
  const std::u16string value = platform::Current().profile->GetString(
      *path, u"daily_log", u"logtime", u"", kLogTimeCapacity);
  if (value.empty()) return 0;
  return ParseLogTime(value, *platform::Current().clock).value_or(0);
}

void WriteLastDailyTime() {
  const auto path = AgentLogPath();
  if (!path) return;
  platform::Clock& clock = *platform::Current().clock;
  const auto local = clock.ToLocal(clock.Now());
  if (!local) return;
  platform::Current().profile->WriteString(*path, u"daily_log", u"logtime",
                                           FormatLogTime(*local));
}

void SendReport(const std::u16string& key) {
  std::u16string address;
  GetLogUrl(key, address);
  PingUrl(address, u"", u"");
}

void DailyCheck() {
  const int64_t last = ReadLastDailyTime();
  const int64_t now = platform::Current().clock->Now();
  // Truncated toward zero: a last report in the future gives no whole day until a day after it.
  if ((now - last) / kSecondsPerDay < 1) return;
  std::u16string address;
  if (!GetLogUrl(u"daily", address)) return;
  PingUrl(address, u"", u"");
  // Recorded also when the report failed: it is not tried again before another day.
  WriteLastDailyTime();
}

}  // namespace norvex::usage
