// The archive library's exported functions over the ZIP reader. Handles are kept in a table,
// so a stale or made-up handle is refused instead of followed.
#include "unzip32/unzip32.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

#include "common/file_names.h"
#include "unzip32/zip_reader.h"

static_assert(sizeof(ArcEntryInfo) == 560, "entry record is 560 bytes");
static_assert(offsetof(ArcEntryInfo, name) == 26, "entry name at byte 26");

namespace {

using norvex::unzip::ByteSource;
using norvex::unzip::ZipEntry;
using norvex::unzip::ZipStatus;

struct OpenArchive {
  std::unique_ptr<ByteSource> source;
  std::vector<ZipEntry> entries;  // files only
  std::string wildcard;
  size_t next = 0;
  const ZipEntry* found = nullptr;
};

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

void Fill(const ZipEntry& entry, ArcEntryInfo* info) {
  std::memset(info, 0, sizeof *info);
  info->original_size = static_cast<uint32_t>(entry.size);
  info->compressed_size = static_cast<uint32_t>(entry.compressed_size);
  info->crc = entry.crc;
  info->ratio = entry.size ? static_cast<uint16_t>(entry.compressed_size * 1000 / entry.size) : 0;
  info->dos_date = entry.dos_date;
  info->dos_time = entry.dos_time;
  std::string name = entry.name.substr(0, sizeof info->name - 1);
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  std::memcpy(info->name, name.c_str(), name.size() + 1);
  std::strcpy(info->method, entry.method == 8 ? "deflate" : "stored");
  std::strcpy(info->attributes, "-------");
}

int FindFrom(OpenArchive* archive, ArcEntryInfo* info) {
  while (archive->next < archive->entries.size()) {
    const ZipEntry& entry = archive->entries[archive->next++];
    if (Matches(archive->wildcard.c_str(), entry.name.c_str())) {
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
  archive->source = norvex::unzip::OpenFileSource(archive_path);
  if (!archive->source) return 0;
  std::vector<ZipEntry> all;
  if (norvex::unzip::ReadDirectory(*archive->source, &all) != ZipStatus::kOk) return 0;
  // Folder entries are not reported: folders come into being with the files below them.
  for (ZipEntry& entry : all) {
    if (!entry.is_folder()) archive->entries.push_back(std::move(entry));
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
  const ZipEntry& entry = *archive->found;
  // A name that does not fit the record would be reported cut, and the caller would look for
  // a file of another name: refuse it like a name that leaves the folder.
  if (!norvex::IsSafeRelativePath(entry.name) || entry.name.size() >= sizeof(ArcEntryInfo::name))
    return ARC_ERROR_NAME;
  std::string relative = entry.name;
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  const fs::path target = fs::path(destination_folder) / fs::path(relative);
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return ARC_ERROR_WRITE;
  const ZipStatus status = norvex::unzip::ExtractEntry(
      *archive->source, entry, [&out](const char* data, size_t size) {
        out.write(data, static_cast<std::streamsize>(size));
        return static_cast<bool>(out);
      });
  out.close();
  if (status != ZipStatus::kOk || !out) {
    fs::remove(target, error);
    return status != ZipStatus::kOk ? ErrorOf(status) : ARC_ERROR_WRITE;
  }
  return ARC_OK;
}

}  // extern "C"
