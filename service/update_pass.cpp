#include "service/update_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "service/ecdsa_encoding.h"

namespace norvex::service {

namespace {

constexpr char kManifestCopy[] = "Temp\\LiveUpdate.ini";
// A signed manifest and its signature wait here until the signature is checked.
constexpr char kManifestPending[] = "Temp\\LiveUpdate.ini.unverified";
constexpr char kSignaturePending[] = "Temp\\LiveUpdate.ini.sig";

// The parts of a version made only of decimal digits separated by single dots; nothing for
// any other text.
std::optional<std::vector<std::string>> NumericParts(const std::string& version) {
  std::vector<std::string> parts;
  size_t begin = 0;
  for (;;) {
    const size_t dot = version.find('.', begin);
    std::string part = version.substr(begin, dot == std::string::npos ? std::string::npos
                                                                      : dot - begin);
    if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) {
      return std::nullopt;
    }
    // Leading zeros carry no value; keep one digit so the length compares magnitudes.
    const size_t first = part.find_first_not_of('0');
    parts.push_back(first == std::string::npos ? "0" : part.substr(first));
    if (dot == std::string::npos) return parts;
    begin = dot + 1;
  }
}

int CompareNumber(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  *day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  *month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  *year = static_cast<int64_t>(year_of_era) + era * 400 + (*month <= 2);
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

}  // namespace

std::optional<uint64_t> ParseDecimal(const std::string& text) {
  if (text.empty() || text.size() > 20 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (const char c : text) {
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<int64_t> ParseUtcTime(const std::string& text) {
  // YYYY-MM-DDThh:mm:ssZ
  static constexpr char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != sizeof kShape - 1) return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
  }
  const auto number = [&](size_t at, size_t length) {
    return static_cast<unsigned>(std::stoul(text.substr(at, length)));
  };
  const unsigned year = number(0, 4), month = number(5, 2), day = number(8, 2);
  const unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string FormatUtcTime(int64_t seconds) {
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const int64_t in_day = seconds - days * 86400;
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(days, &year, &month, &day);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(year),
                month, day, static_cast<int>(in_day / 3600), static_cast<int>(in_day / 60 % 60),
                static_cast<int>(in_day % 60));
  return text;
}

bool IsNumericVersion(const std::string& version) { return NumericParts(version).has_value(); }

bool IsNewerVersion(const std::string& candidate, const std::string& installed) {
  if (installed.empty()) return true;
  if (candidate.empty()) return false;
  const auto a = NumericParts(candidate);
  const auto b = NumericParts(installed);
  if (a && b) {
    const size_t count = std::max(a->size(), b->size());
    for (size_t i = 0; i < count; ++i) {
      const std::string& x = i < a->size() ? (*a)[i] : "0";
      const std::string& y = i < b->size() ? (*b)[i] : "0";
      if (const int order = CompareNumber(x, y); order != 0) return order > 0;
    }
    return false;
  }
  return std::strcmp(candidate.c_str(), installed.c_str()) > 0;
}

std::string ArchiveNameOf(const std::string& url) {
  // The path starts after the server (a query or fragment may follow the server at once).
  size_t begin = 0;
  if (const size_t scheme = url.find("://"); scheme != std::string::npos) {
    begin = url.find_first_of("/?#", scheme + 3);
    if (begin == std::string::npos || url[begin] != '/') return "";
  }
  const size_t end = std::min(url.find_first_of("?#", begin), url.size());
  const size_t slash = url.rfind('/', end == 0 ? 0 : end - 1);
  const size_t from = slash == std::string::npos || slash < begin ? begin : slash + 1;
  return url.substr(from, end - from);
}

bool UpdatePass::RunUpdatePass() {
  files_.BeginPass();
  files_.WriteUpdateLog("Start live update");
  bool installed = false;
  if (!CheckAndUpdate(&installed)) {
    files_.WriteUpdateLog("Failed to do the update");
    return false;
  }
  // A pass that found nothing newer says so: "Success" is for a pass that installed something,
  // so that a server which keeps offering an old manifest does not look like a working one.
  if (installed) files_.WriteUpdateLog("Success to do update");
  files_.WriteIniString(files_.ProductIniPath(), "COMMON", "LAST_UPDATE_TIME",
                        FormatUpdateTime(files_.platform().clock->Now()));
  char version[500];
  const size_t length = files_.platform().profiles->ReadString(
      files_.VersionIniPath(), "COMMON", "VERSION", "DEFAULT", version, sizeof version);
  if (length >= 1 && std::string(version, length) != "DEFAULT") {
    files_.WriteIniString(files_.ProductIniPath(), "COMMON", "PRODUCT_VERSION",
                          std::string(version, length));
  }
  return true;
}

void UpdatePass::LogDownloadError(const std::string& url, const DownloadOutcome& outcome,
                                  const DownloadExpectation& expected) const {
  files_.WriteUpdateLog("Download error:" + url + " (" +
                        DescribeDownloadFailure(outcome, expected) + ")");
}

bool UpdatePass::FetchManifest() {
  // The address is kept to 499 characters, as the buffer it is copied into allows.
  const std::string url = manifest_url_.substr(0, 499);
  const DownloadExpectation manifest_limit{kMaxManifestBytes};
  if (public_point_.empty()) {
    const DownloadOutcome fetched = http_.Download(url, kManifestCopy, manifest_limit);
    if (!fetched.ok()) LogDownloadError(url, fetched, manifest_limit);
    return fetched.ok();
  }
  // Signed: the copy of the previous pass stays until the new manifest has proved itself.
  ServiceFileSystem& fs = *files_.platform().files;
  const std::string pending = files_.ResolveProgramPath(kManifestPending);
  const std::string signature_file = files_.ResolveProgramPath(kSignaturePending);
  const DownloadOutcome fetched = http_.Download(url, kManifestPending, manifest_limit);
  if (!fetched.ok()) {
    LogDownloadError(url, fetched, manifest_limit);
    return false;
  }
  const std::string signature_url = url + kSignatureSuffix;
  const DownloadExpectation signature_limit{kMaxSignatureBytes};
  const DownloadOutcome signed_by = http_.Download(signature_url, kSignaturePending, signature_limit);
  std::string manifest, signature;
  const bool verified = signed_by.ok() && fs.ReadWhole(pending, &manifest) &&
                        fs.ReadWhole(signature_file, &signature) && files_.platform().crypto &&
                        files_.platform().crypto->VerifyP256(public_point_, manifest, signature);
  if (signed_by.ok()) fs.RemoveFile(signature_file);
  if (!verified) {
    files_.WriteUpdateLog("Signature error:" + signature_url);
    if (!signed_by.ok()) LogDownloadError(signature_url, signed_by, signature_limit);
    fs.RemoveFile(pending);
    return false;
  }
  uint64_t serial = 0;
  if (const std::string stale = FreshnessRefusal(kManifestPending, &serial); !stale.empty()) {
    files_.WriteUpdateLog(stale + url);
    fs.RemoveFile(pending);
    return false;
  }
  if (!fs.RenameReplacing(pending, files_.ResolveProgramPath(kManifestCopy))) {
    fs.RemoveFile(pending);
    return false;
  }
  // From now on nothing older is taken. A failed write is tried again by the next pass.
  if (serial > TakenSerial()) {
    files_.WriteIniString(files_.ProductIniPath(), "COMMON", kTakenSerialKey,
                          std::to_string(serial));
  }
  return true;
}

uint64_t UpdatePass::TakenSerial() const {
  return ParseDecimal(files_.ReadIniString(files_.ProductIniPath(), "COMMON", kTakenSerialKey, ""))
      .value_or(0);
}

std::string UpdatePass::FreshnessRefusal(const std::string& manifest, uint64_t* serial) const {
  const std::string serial_text = files_.ReadIniString(manifest, "COMMON", kSerialKey, "");
  const std::optional<uint64_t> number =
      serial_text.empty() ? std::optional<uint64_t>(0) : ParseDecimal(serial_text);
  if (!number) return "Signature error, its SERIAL is not a number:";
  const uint64_t taken = TakenSerial();
  if (*number < taken) {
    // Signed once, but older than one taken since: a replay that would hold the installation
    // at an old version.
    return "Signature error, its SERIAL " + std::to_string(*number) + " is lower than " +
           std::to_string(taken) + ", taken before:";
  }
  const std::string expires_text = files_.ReadIniString(manifest, "COMMON", kExpiresKey, "");
  if (!expires_text.empty()) {
    const std::optional<int64_t> expires = ParseUtcTime(expires_text);
    if (!expires) return "Signature error, its EXPIRES is not a time (YYYY-MM-DDThh:mm:ssZ):";
    if (files_.platform().clock->UtcSeconds() >= *expires) {
      return "Signature error, it expired at " + expires_text + ":";
    }
  }
  *serial = *number;
  return "";
}

bool UpdatePass::CheckAndUpdate(bool* installed) {
  if (installed) *installed = false;
  if (!FetchManifest()) return false;
  files_.WriteUpdateLog("Step 2: Success in downloading ini ");
  const ManifestComparison due = CompareManifest(kManifestCopy, files_.VersionIniPath());
  if (!due.refusal.empty()) {
    files_.WriteUpdateLog(due.refusal + manifest_url_.substr(0, 499));
    return false;
  }
  if (due.modules.empty()) {
    const auto shown = [](const std::string& version) {
      return version.empty() ? std::string("none") : version;
    };
    files_.WriteUpdateLog("Nothing newer to update (offered " + shown(due.offered_version) +
                          ", installed " + shown(due.installed_version) + ")");
    return true;
  }
  files_.WriteUpdateLog("Step 3: There are some difference ");
  if (!UpdateModules(due.modules)) return false;
  files_.WriteIniString(files_.VersionIniPath(), "COMMON", "VERSION", due.offered_version);
  if (installed) *installed = true;
  return true;
}

ManifestComparison UpdatePass::CompareManifest(const std::string& manifest,
                                               const std::string& installed) {
  ManifestComparison result;
  const bool signed_manifest = !public_point_.empty();
  result.offered_version = files_.ReadIniString(manifest, "COMMON", "VERSION", "");
  result.installed_version = files_.ReadIniString(installed, "COMMON", "VERSION", "");
  if (result.offered_version.empty()) return result;
  if (signed_manifest && !IsNumericVersion(result.offered_version)) {
    // Text order would let one such version roll a newer installation back and then hold every
    // later release off.
    result.refusal = "Refused manifest, its VERSION is not made of numbers and dots:";
    return result;
  }
  std::string current = result.installed_version;
  if (current.empty()) {
    // A fresh installation: start the installed-version file anew.
    ServiceFileSystem& fs = *files_.platform().files;
    if (auto out = fs.CreateOutput(files_.ResolveProgramPath(installed))) out->Close();
    current = files_.ReadIniString(installed, "COMMON", "VERSION", "");
  }
  // With a key, an installed version that does not compare as numbers is older than every
  // version offered, so that an installation left on one gets the next release.
  const auto comparable = [&](const std::string& version) {
    return signed_manifest && !IsNumericVersion(version) ? std::string() : version;
  };
  current = comparable(current);
  if (!IsNewerVersion(result.offered_version, current)) return result;
  for (const std::string& section : files_.ReadIniSectionNames(manifest)) {
    if (section == "COMMON") continue;
    const std::string version = files_.ReadIniString(manifest, section, "VERSION", "");
    const std::string folder = files_.ReadIniString(manifest, section, "Folder", "");
    const std::string url = files_.ReadIniString(manifest, section, "URL", "");
    const std::string had = comparable(files_.ReadIniString(installed, section, "VERSION", ""));
    if (version.empty() || folder.empty() || url.empty()) continue;
    const bool numeric = IsNumericVersion(version);
    if ((numeric || !signed_manifest) &&
        (!IsNewerVersion(version, had) || !IsNewerVersion(version, current))) {
      continue;
    }
    ModuleEntry module;
    module.name = section == "SETTING" ? "SETTING"
                                       : files_.ReadIniString(manifest, section, "NAME", "");
    module.url = url;
    module.folder = ReplaceAll(folder, "PRODUCT_HOME", ".");
    // The manifest names where files go and what the archive is called: neither may lead out
    // of the program folder (the service runs with every right on the machine).
    const std::string archive = ArchiveNameOf(url);
    const unsigned code_page = files_.platform().files->NarrowCodePage();
    const std::string hash = files_.ReadIniString(manifest, section, "SHA256", "");
    const std::string size = files_.ReadIniString(manifest, section, "SIZE", "");
    const std::optional<std::string> hash_bytes = BytesOfHex(hash);
    if (!IsSafeEntryName(module.folder, code_page) || !IsSafeEntryName(archive, code_page) ||
        FindSeparator(archive, 0, code_page) != std::string::npos || archive == ".") {
      module.refusal = "Refused module, its folder or archive name leaves the program folder:";
    } else if (signed_manifest && !numeric) {
      module.refusal = "Refused module, its VERSION is not made of numbers and dots:";
    } else if (!hash.empty() && (!hash_bytes || hash_bytes->size() != kSha256Size)) {
      module.refusal = "Refused module, its SHA256 is not 64 hexadecimal digits:";
    } else if (!size.empty() && !ParseDecimal(size)) {
      module.refusal = "Refused module, its SIZE is not a number of bytes:";
    } else if (hash.empty() && !public_point_.empty()) {
      // A signature vouches for the archives only through their hashes.
      module.refusal = "Refused module, a signed manifest must give its SHA256:";
    }
    module.refused = !module.refusal.empty();
    if (hash_bytes && hash_bytes->size() == kSha256Size) module.sha256 = *hash_bytes;
    module.size = ParseDecimal(size);
    module.version = version;
    module.section = section;
    result.modules.push_back(std::move(module));
  }
  return result;
}

std::string UpdatePass::ArchivePathOf(const ModuleEntry& module) const {
  return "Temp\\" + module.folder + "\\" + ArchiveNameOf(module.url);
}

bool UpdatePass::DownloadAndExtractModule(const ModuleEntry& module,
                                          std::vector<std::string>* entries) {
  const std::string working_folder = "Temp\\" + module.folder;
  const std::string archive_path = ArchivePathOf(module);
  if (files_.CreateFolderChain(archive_path)) {
    files_.WriteUpdateLog("Created the temp folder:" + archive_path);
  } else {
    files_.WriteUpdateLog("Failed to create the temp folder:" + archive_path);
  }
  const DownloadExpectation expected{UINT64_MAX, module.size, module.sha256};
  const DownloadOutcome fetched = http_.Download(module.url, archive_path, expected);
  if (!fetched.ok()) {
    using Result = DownloadOutcome::Result;
    if (fetched.result == Result::kSizeMismatch) {
      files_.WriteUpdateLog("Size error:" + archive_path);
    } else if (fetched.result == Result::kHashMismatch || fetched.result == Result::kNoHasher) {
      files_.WriteUpdateLog("Hash error:" + archive_path);
    } else {
      files_.WriteUpdateLog("Failed to download module:" + archive_path);
    }
    LogDownloadError(module.url, fetched, expected);
    return false;
  }
  files_.WriteUpdateLog("Downloaded module:" + archive_path);
  ArchiveLibrary& archive = *files_.platform().archive;
  if (archive.IsBusy() == 1) return false;
  const uintptr_t handle = archive.Open(files_.ResolveProgramPath(archive_path), kArchiveOpenMode);
  if (handle == 0) return false;
  files_.WriteUpdateLog("Unzipping:" + archive_path);
  const std::string destination = files_.ResolveProgramPath(working_folder);
  std::vector<std::string> found;
  bool error = false;
  std::string name;
  for (int more = archive.FindFirst(handle, "*", &name); more == 0;
       more = archive.FindNext(handle, &name)) {
    // An entry that names a place outside the working folder is never written: the service
    // runs with full rights and would otherwise schedule it over any file of the system.
    // A file that is not where the listed name says would be scheduled as a move of nothing.
    if (!IsSafeEntryName(name, files_.platform().files->NarrowCodePage()) ||
        archive.ExtractFound(handle, "", destination, kArchiveExtractMode) != 0 ||
        !files_.platform().files->FileExists(
            files_.ResolveProgramPath(working_folder + "\\" + name))) {
      files_.WriteUpdateLog("Unzip error:" + archive_path);
      error = true;
      break;
    }
    found.push_back(name);
  }
  if (found.empty()) error = true;
  if (archive.Close(handle) != 0 || error) {
    files_.WriteUpdateLog("Unzip failed return false:" + archive_path);
    // What this module unpacked is not listed yet, so the caller cannot remove it: do it here.
    for (const std::string& entry : found) {
      files_.platform().files->RemoveFile(files_.ResolveProgramPath(working_folder + "\\" + entry));
    }
    return false;
  }
  files_.WriteUpdateLog("Unzip success:" + archive_path);
  entries->insert(entries->end(), found.begin(), found.end());
  return true;
}

bool UpdatePass::InstallUpdatedFiles(const std::vector<std::string>& file_list) {
  for (const std::string& path : file_list) {
    files_.CreateFolderChain(path);
    if (!replacer_.ReplaceFile("Temp\\" + path, path)) {
      files_.WriteUpdateLog("Step 6: Failed to do move file ex... ");
      files_.WriteUpdateLog("Step 6.1: Failed file... " + path);
      return false;
    }
    files_.WriteUpdateLog("Success in move file ex");
    const auto [from, to] = replacer_.ResolvedPaths("Temp\\" + path, path);
    files_.WriteUpdateLog("Move at restart:" + from + " -> " + to);
  }
  return true;
}

void UpdatePass::DeleteWorkingCopies(const std::vector<std::string>& file_list) {
  for (const std::string& path : file_list) {
    files_.platform().files->RemoveFile(files_.ResolveProgramPath("Temp\\" + path));
  }
}

void UpdatePass::DeleteArchives(const std::vector<ModuleEntry>& modules) {
  for (const ModuleEntry& module : modules) {
    const std::string path = files_.ResolveProgramPath(ArchivePathOf(module));
    if (files_.platform().files->FileExists(path)) files_.platform().files->RemoveFile(path);
  }
}

bool UpdatePass::UpdateModules(const std::vector<ModuleEntry>& modules) {
  files_.WriteUpdateLog("Step 4: Downloading and updating ... ");
  // A module refused for its names fails the pass before anything is fetched, so that the log
  // says why and the next pass tries again.
  for (const ModuleEntry& module : modules) {
    if (!module.refused) continue;
    files_.WriteUpdateLog(module.refusal + module.section);
    files_.WriteUpdateLog("Failed in saveAs file");
    files_.WriteUpdateLog("Failed in downloadAndExtractAllUpdates");
    return false;
  }
  std::vector<std::string> file_list;
  for (const ModuleEntry& module : modules) {
    std::vector<std::string> entries;
    if (!DownloadAndExtractModule(module, &entries)) {
      files_.WriteUpdateLog("Failed in saveAs file");
      files_.WriteUpdateLog("Failed in downloadAndExtractAllUpdates");
      DeleteWorkingCopies(file_list);
      DeleteArchives(modules);
      return false;
    }
    for (const std::string& entry : entries) file_list.push_back(module.folder + "\\" + entry);
    files_.WriteUpdateLog("One iteration finished");
  }
  if (file_list.empty()) return false;
  files_.WriteUpdateLog("Step 5: Downloaded and extracted files... ");
  if (!InstallUpdatedFiles(file_list)) {
    DeleteWorkingCopies(file_list);
    DeleteArchives(modules);
    return false;
  }
  files_.WriteUpdateLog("Step 7: Finished local file updation successfully ");
  for (const ModuleEntry& module : modules) {
    files_.WriteIniString(files_.VersionIniPath(), module.section, "VERSION", module.version);
  }
  DeleteArchives(modules);
  return true;
}

}  // namespace norvex::service
