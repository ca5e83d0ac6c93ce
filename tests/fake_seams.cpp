#include "tests/fake_seams.h"

namespace norvex::test {

std::u16string FakeFileSystem::Normal(const std::u16string& path) const {
  std::u16string p = path;
  while (p.size() > 1 && p.back() == separator_ && !(p.size() == 3 && p[1] == u':')) p.pop_back();
  return p;
}

void FakeFileSystem::AddFolder(const std::u16string& path, uint32_t attributes) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries_[Normal(path)] = Entry{attributes, {}};
}

void FakeFileSystem::AddFile(const std::u16string& path, std::string bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries_[Normal(path)] = Entry{platform::kAttributeNormal, std::move(bytes)};
}

void FakeFileSystem::Remove(const std::u16string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  entries_.erase(Normal(path));
}

bool FakeFileSystem::Exists(const std::u16string& path) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return entries_.count(Normal(path)) != 0;
}

std::optional<uint32_t> FakeFileSystem::GetAttributes(const std::u16string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = entries_.find(Normal(path));
  if (it == entries_.end()) return std::nullopt;
  return it->second.attributes;
}

bool FakeFileSystem::MakeFolder(const std::u16string& path) {
  std::lock_guard<std::mutex> guard(mutex_);
  const std::u16string p = Normal(path);
  if (failCreate_.count(p) || entries_.count(p)) return false;
  const size_t cut = p.rfind(separator_);
  if (cut != std::u16string::npos && cut > 0) {
    std::u16string parent = p.substr(0, cut);
    if (parent.size() == 2 && parent[1] == u':') parent += separator_;
    const auto it = entries_.find(parent);
    if (it == entries_.end() || !(it->second.attributes & platform::kAttributeDirectory)) {
      return false;
    }
  }
  entries_[p] = Entry{platform::kAttributeDirectory, {}};
  created_.push_back(p);
  return true;
}

platform::ReadResult FakeFileSystem::ReadFileShared(const std::u16string& path,
                                                    std::string& bytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  ++openAttempts_;
  const auto it = entries_.find(Normal(path));
  if (it == entries_.end() || failOpen_.count(Normal(path)) ||
      (it->second.attributes & platform::kAttributeDirectory)) {
    return platform::ReadResult::kOpenFailed;
  }
  bytes = it->second.bytes;
  return platform::ReadResult::kOk;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
namespace {
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}
}  // namespace

std::optional<platform::LocalTime> FakeClock::ToLocal(int64_t seconds) {
  const int64_t local = seconds + offsetSeconds;
  int64_t days = local / 86400;
  int64_t rest = local % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  platform::LocalTime time;
  CivilFromDays(days, time.year, time.month, time.day);
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

// Months out of range carry into the year; the other fields carry through the seconds.
std::optional<int64_t> FakeClock::FromLocal(const platform::LocalTime& time) {
  int64_t month = time.month - 1;
  int64_t year = time.year + month / 12;
  month %= 12;
  if (month < 0) {
    month += 12;
    --year;
  }
  const int64_t days = DaysFromCivil(year, month + 1, 1) + time.day - 1;
  const int64_t seconds =
      days * 86400 + time.hour * 3600LL + time.minute * 60LL + time.second - offsetSeconds;
  if (seconds < 0) return std::nullopt;  // before 1970, as the runtime refuses it
  return seconds;
}

}  // namespace norvex::test
