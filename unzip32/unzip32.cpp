// The archive library's exported functions over the ZIP reader. Handles are kept in a table,
// so a stale or made-up handle is refused instead of followed.
#include "unzip32/unzip32.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "common/file_names.h"
#include "unzip32/entry_names.h"
#include "unzip32/zip_reader.h"

static_assert(sizeof(ArcEntryInfo) == 560, "entry record is 560 bytes");
static_assert(offsetof(ArcEntryInfo, name) == 26, "entry name at byte 26");

namespace {

using norvex::unzip::ByteSource;
using norvex::unzip::ZipEntry;
using norvex::unzip::ZipStatus;

// A file entry with its name as text (empty when the stored bytes are not valid in the name's
// encoding) and as the record reports it: the platform's narrow form, backslash separators.
struct NamedEntry {
  ZipEntry entry;
  std::optional<std::u16string> text;
  std::string reported;
};

struct OpenArchive {
  std::unique_ptr<ByteSource> source;
  std::vector<NamedEntry> entries;  // files only
  std::string wildcard;
  size_t next = 0;
  const NamedEntry* found = nullptr;
};

constexpr uint16_t kUtf8NameFlag = 0x800;

NamedEntry Name(ZipEntry entry) {
  NamedEntry named;
  named.text = norvex::unzip::DecodeEntryName(entry.name, (entry.flags & kUtf8NameFlag) != 0);
  std::optional<std::string> narrow;
  if (named.text) {
    // Separators are replaced as characters, before the text is turned back into bytes.
    for (char16_t& c : *named.text) {
      if (c == u'/') c = u'\\';
    }
    narrow = norvex::unzip::ToPlatformNarrow(*named.text);
    if (!narrow) named.text.reset();
  }
  // A name that cannot be read is reported as stored, and refused when extracted.
  named.reported = narrow ? *narrow : entry.name;
  named.entry = std::move(entry);
  return named;
}

// What the record's method field says: the name of the entry's compression method.
const char* MethodName(uint16_t method) {
  switch (method) {
    case 0: return "stored";
    case 8: return "deflate";
    case 9: return "deflt64";
    case 12: return "bzip2";
    case 14: return "lzma";
    default: return "unknown";
  }
}

std::mutex table_mutex;
std::map<ArcHandle, std::unique_ptr<OpenArchive>> table;
ArcHandle last_handle = 0;

OpenArchive* Find(ArcHandle handle) {
  auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second.get();
}

// "*" and "?" wildcards over the whole name.
bool Matches(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
  if (*text == '\0') return false;
  return (*pattern == '?' || *pattern == *text) && Matches(pattern + 1, text + 1);
}

int ErrorOf(ZipStatus status) {
  switch (status) {
    case ZipStatus::kOk: return ARC_OK;
    case ZipStatus::kNotZip: return ARC_ERROR_NOT_ARCHIVE;
    case ZipStatus::kCorrupt: return ARC_ERROR_CORRUPT;
    case ZipStatus::kUnsupported: return ARC_ERROR_UNSUPPORTED;
    case ZipStatus::kWriteFailed: return ARC_ERROR_WRITE;
  }
  return ARC_ERROR_CORRUPT;
}

void Fill(const NamedEntry& named, ArcEntryInfo* info) {
  const ZipEntry& entry = named.entry;
  std::memset(info, 0, sizeof *info);
  info->original_size = static_cast<uint32_t>(entry.size);
  info->compressed_size = static_cast<uint32_t>(entry.compressed_size);
  info->crc = entry.crc;
  info->ratio = entry.size ? static_cast<uint16_t>(entry.compressed_size * 1000 / entry.size) : 0;
  info->dos_date = entry.dos_date;
  info->dos_time = entry.dos_time;
  const std::string name = named.reported.substr(0, sizeof info->name - 1);
  std::memcpy(info->name, name.c_str(), name.size() + 1);
  const char* method = MethodName(entry.method);
  std::memcpy(info->method, method, std::strlen(method) + 1);
  std::strcpy(info->attributes, "-------");
}

int FindFrom(OpenArchive* archive, ArcEntryInfo* info) {
  while (archive->next < archive->entries.size()) {
    const NamedEntry& entry = archive->entries[archive->next++];
    if (Matches(archive->wildcard.c_str(), entry.reported.c_str())) {
      archive->found = &entry;
      if (info) Fill(entry, info);
      return ARC_OK;
    }
  }
  archive->found = nullptr;
  return ARC_NO_ENTRY;
}

}  // namespace

extern "C" {

int ArcIsBusy(void) {
  std::lock_guard<std::mutex> lock(table_mutex);
  return table.empty() ? 0 : 1;
}

ArcHandle ArcOpen(void*, const char* archive_path, uint32_t) {
  if (!archive_path) return 0;
  auto archive = std::make_unique<OpenArchive>();
  archive->source =
      norvex::unzip::OpenFileSource(norvex::unzip::PathFromPlatformNarrow(archive_path));
  if (!archive->source) return 0;
  std::vector<ZipEntry> all;
  if (norvex::unzip::ReadDirectory(*archive->source, &all) != ZipStatus::kOk) return 0;
  // An archive that would unpack to too much, or as only a bomb does, is refused whole,
  // before any of it is written.
  if (!norvex::unzip::WithinUnpackLimits(all)) return 0;
  // Folder entries are not reported: folders come into being with the files below them.
  for (ZipEntry& entry : all) {
    if (!entry.is_folder()) archive->entries.push_back(Name(std::move(entry)));
  }
  std::lock_guard<std::mutex> lock(table_mutex);
  const ArcHandle handle = ++last_handle;
  table[handle] = std::move(archive);
  return handle;
}

int ArcClose(ArcHandle handle) {
  std::lock_guard<std::mutex> lock(table_mutex);
  return table.erase(handle) ? ARC_OK : ARC_ERROR_HANDLE;
}

int ArcFindFirst(ArcHandle handle, const char* wildcard, ArcEntryInfo* info) {
  std::lock_guard<std::mutex> lock(table_mutex);
  OpenArchive* archive = Find(handle);
  if (!archive) return ARC_ERROR_HANDLE;
  archive->wildcard = wildcard && *wildcard ? wildcard : "*";
  archive->next = 0;
  return FindFrom(archive, info);
}

int ArcFindNext(ArcHandle handle, ArcEntryInfo* info) {
  std::lock_guard<std::mutex> lock(table_mutex);
  OpenArchive* archive = Find(handle);
  if (!archive) return ARC_ERROR_HANDLE;
  return FindFrom(archive, info);
}

int ArcExtractFound(ArcHandle handle, const char*, const char* destination_folder,
                    uint32_t mode) {
  namespace fs = std::filesystem;
  OpenArchive* archive;
  {
    std::lock_guard<std::mutex> lock(table_mutex);
    archive = Find(handle);
  }
  if (!archive) return ARC_ERROR_HANDLE;
  if (!(mode & ARC_EXTRACT_FOUND) || !archive->found) return ARC_ERROR_NO_FIND;
  if (!destination_folder) return ARC_ERROR_WRITE;
  const NamedEntry& named = *archive->found;
  const ZipEntry& entry = named.entry;
  // A name that does not fit the record would be reported cut, and the caller would look for
  // a file of another name: refuse it like a name that leaves the folder.
  if (!named.text || !norvex::IsSafeRelativePath(std::u16string_view(*named.text)) ||
      named.reported.size() >= sizeof(ArcEntryInfo::name))
    return ARC_ERROR_NAME;
  std::u16string relative = *named.text;
  for (char16_t& c : relative) {
    if (c == u'\\') c = u'/';
  }
  const fs::path target =
      norvex::unzip::PathFromPlatformNarrow(destination_folder) / fs::path(relative);
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  // The entry is written beside its target and put in place only once it is complete and its
  // CRC matches: a failed extraction leaves a file already there as it was.
  fs::path partial = target;
  partial += ".unzip32-partial";
  std::ofstream out(partial, std::ios::binary | std::ios::trunc);
  if (!out) return ARC_ERROR_WRITE;
  const ZipStatus status = norvex::unzip::ExtractEntry(
      *archive->source, entry, [&out](const char* data, size_t size) {
        out.write(data, static_cast<std::streamsize>(size));
        return static_cast<bool>(out);
      });
  out.close();
  if (status != ZipStatus::kOk || !out) {
    fs::remove(partial, error);
    return status != ZipStatus::kOk ? ErrorOf(status) : ARC_ERROR_WRITE;
  }
  fs::rename(partial, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    return ARC_ERROR_WRITE;
  }
  return ARC_OK;
}

}  // extern "C"
