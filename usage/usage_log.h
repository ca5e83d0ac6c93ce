// The toolbar's usage reports: one GET request to an address of "LogUrls.ini" (installation
// folder, section "Agent_Urls": "install", "uninstall", "daily"), and the daily check, which
// sends the "daily" report at most once every 24 hours and remembers when in "AgentLog.ini"
// ([daily_log] logtime) of the per-user folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace norvex::usage {

inline constexpr char16_t kUserAgent[] = u"NorvexToolbar";
// The report blocks the browser's thread: the connection must come quickly, and the answer
// within the receive time-out.
inline constexpr uint32_t kConnectTimeoutMs = 2000;
inline constexpr uint32_t kReceiveTimeoutMs = 5000;

// The trimmed address of `key` in [Agent_Urls] of "LogUrls.ini". False (and `address` empty)
// when the installation folder is unknown or the value is missing or blank.
bool GetLogUrl(const std::u16string& key, std::u16string& address);

// Sends GET to address + suffix with the extra headers: to the address's scheme (http, or
// https over TLS) and port (its own, or the scheme's default). True when the server answered.
// False without a request for an address that cannot be split (another scheme, a host or object
// over 255 characters, an empty address) and for a server that takes no connection.
bool PingUrl(const std::u16string& address, const std::u16string& suffix,
             const std::u16string& headers);

// The install or uninstall report (`key` "install" or "uninstall"): PingUrl of the key's address
// without suffix or headers, whether or not the address was found (an empty one sends nothing).
void SendReport(const std::u16string& key);

// The local time of "logtime" as seconds since 1970: six numbers (year, month, day, hour,
// minute, second) separated by any of ":", "-" and " ", each read as _wtoi reads a number.
// Nothing when fewer than six numbers are there or they do not form a valid local time
// (month 1-12, a day of that month, hour 0-23, minute and second 0-59, year 1970-3000).
std::optional<int64_t> ParseLogTime(std::u16string_view value, platform::Clock& clock);

// "%d-%d-%d %d:%d:%d" of a local time, as "logtime" holds it.
std::u16string FormatLogTime(const platform::LocalTime& time);

// The time of the last daily report, or 0 when there is none (no per-user folder, no
// "logtime", or one that does not parse).
int64_t ReadLastDailyTime();

// Writes the current local time as "logtime"; nothing without a per-user folder.
void WriteLastDailyTime();

// The daily check: when at least 24 hours have passed since the last report (time going back
// does not count) and a "daily" address is configured, sends the report and records the time,
// whether the report went through or not.
void DailyCheck();

}  // namespace norvex::usage
