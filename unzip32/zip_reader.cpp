#include "unzip32/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>

namespace norvex::unzip {

namespace {

class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path) : in_(path, std::ios::binary) {
    if (in_) {
      in_.seekg(0, std::ios::end);
      size_ = static_cast<uint64_t>(in_.tellg());
    }
  }
  bool ok() const { return static_cast<bool>(in_); }
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (offset > size_ || size > size_ - offset) return false;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    return static_cast<size_t>(in_.gcount()) == size;
  }

 private:
  std::ifstream in_;
  uint64_t size_ = 0;
};

class BytesSource : public ByteSource {
 public:
  explicit BytesSource(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size == 0) return true;
    std::memcpy(buffer, bytes_.data() + offset, size);
    return true;
  }

 private:
  std::string bytes_;
};

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const unsigned char* p) { return Le32(p) | (uint64_t{Le32(p + 4)} << 32); }

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr size_t kChunk = 1 << 18;
// Bytes after the end record that are taken for padding, at most.
constexpr size_t kMaxPadding = 0x10000;

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::filesystem::path& path) {
  auto source = std::make_unique<FileSource>(path);
  if (!source->ok()) return nullptr;
  return source;
}

std::unique_ptr<ByteSource> MemorySource(std::string bytes) {
  return std::make_unique<BytesSource>(std::move(bytes));
}

namespace {

// Where the central directory is, as an end record (or the 64-bit end record it leads to) says.
struct DirectoryPlace {
  uint64_t count = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
  uint64_t end = 0;  // where the directory must end at the latest: the first end record
};

// The 64-bit end record that a locator just before the end record at end_offset points to.
// kNotZip when there is no locator (an archive without the 64-bit extensions).
ZipStatus ReadZip64End(ByteSource& source, uint64_t end_offset, DirectoryPlace* place) {
  unsigned char locator[kZip64LocatorSize];
  if (end_offset < kZip64LocatorSize ||
      !source.ReadAt(end_offset - kZip64LocatorSize, locator, sizeof locator) ||
      Le32(locator) != kZip64LocatorSignature) {
    return ZipStatus::kNotZip;
  }
  if (Le32(locator + 4) != 0 || Le32(locator + 16) != 1) return ZipStatus::kUnsupported;
  const uint64_t record_offset = Le64(locator + 8);
  const uint64_t locator_offset = end_offset - kZip64LocatorSize;
  unsigned char record[kZip64EndSize];
  if (record_offset > locator_offset || locator_offset - record_offset < kZip64EndSize ||
      !source.ReadAt(record_offset, record, sizeof record) ||
      Le32(record) != kZip64EndSignature) {
    return ZipStatus::kCorrupt;
  }
  if (Le32(record + 16) != 0 || Le32(record + 20) != 0 || Le64(record + 24) != Le64(record + 32)) {
    return ZipStatus::kUnsupported;  // archives split over several disks
  }
  place->count = Le64(record + 32);
  place->size = Le64(record + 40);
  place->offset = Le64(record + 48);
  place->end = record_offset;
  return ZipStatus::kOk;
}

// The place that the end record at end_offset gives, through its 64-bit record when it has one.
ZipStatus PlaceOfDirectory(ByteSource& source, const unsigned char* end, uint64_t end_offset,
                           DirectoryPlace* place) {
  if (Le16(end + 4) != 0 || Le16(end + 6) != 0 || Le16(end + 8) != Le16(end + 10)) {
    return ZipStatus::kUnsupported;  // archives split over several disks
  }
  // Writers that use the 64-bit extensions (for large archives, or whenever they are asked
  // to) put the real values into the 64-bit record and may leave 0xFFFF... here.
  const ZipStatus zip64 = ReadZip64End(source, end_offset, place);
  if (zip64 != ZipStatus::kNotZip) return zip64;
  place->count = Le16(end + 10);
  place->size = Le32(end + 12);
  place->offset = Le32(end + 16);
  place->end = end_offset;
  if (place->count == 0xFFFF || place->size == 0xFFFFFFFF || place->offset == 0xFFFFFFFF) {
    return ZipStatus::kCorrupt;  // values left to a 64-bit record that is not there
  }
  return ZipStatus::kOk;
}

// The values that a central record leaves to its 64-bit extra field (0xFFFFFFFF in the
// record) come from there, in the format's order: size, compressed size, local header offset.
bool ReadZip64Extra(const unsigned char* extra, size_t length, ZipEntry* entry) {
  const bool need_size = entry->size == 0xFFFFFFFF;
  const bool need_compressed = entry->compressed_size == 0xFFFFFFFF;
  const bool need_offset = entry->local_header_offset == 0xFFFFFFFF;
  if (!need_size && !need_compressed && !need_offset) return true;
  for (size_t at = 0; length - at >= 4;) {
    const uint16_t tag = Le16(extra + at);
    const size_t size = Le16(extra + at + 2);
    if (length - at - 4 < size) return false;
    if (tag == kZip64ExtraTag) {
      const unsigned char* value = extra + at + 4;
      size_t left = size;
      for (auto [needed, field] : {std::pair{need_size, &entry->size},
                                   std::pair{need_compressed, &entry->compressed_size},
                                   std::pair{need_offset, &entry->local_header_offset}}) {
        if (!needed) continue;
        if (left < 8) return false;
        *field = Le64(value);
        value += 8;
        left -= 8;
      }
      return true;
    }
    at += 4 + size;
  }
  return false;
}

}  // namespace

ZipStatus ReadDirectory(ByteSource& source, std::vector<ZipEntry>* entries) {
  entries->clear();
  const uint64_t size = source.Size();
  if (size < kEndSize) return ZipStatus::kNotZip;
  // The end record sits in the last 22 bytes plus at most 65535 bytes of comment; writers
  // that fill whole blocks (a pipe written in blocks of 10240 bytes) leave padding after it.
  const uint64_t tail_size = std::min<uint64_t>(size, kEndSize + 0xFFFF + kMaxPadding);
  std::vector<unsigned char> tail(tail_size);
  if (!source.ReadAt(size - tail_size, tail.data(), tail.size())) return ZipStatus::kCorrupt;
  const uint64_t tail_offset = size - tail_size;
  size_t end_at = std::string::npos;
  // First the record whose comment ends the file, as writers leave it.
  for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    if (Le32(&tail[i]) == kEndSignature && i + kEndSize + Le16(&tail[i + 20]) == tail.size()) {
      end_at = i;
      break;
    }
  }
  // Else, scanning back, the last record followed by padding: its comment fits before the end
  // and its directory lies just before it (or just before its 64-bit record), so that bytes of
  // data or of a comment that merely look like a record are not taken for one.
  DirectoryPlace place;
  for (size_t i = tail.size() - kEndSize + 1; end_at == std::string::npos && i-- > 0;) {
    if (Le32(&tail[i]) != kEndSignature || i + kEndSize + Le16(&tail[i + 20]) > tail.size()) {
      continue;
    }
    if (PlaceOfDirectory(source, &tail[i], tail_offset + i, &place) == ZipStatus::kOk &&
        place.offset <= place.end && place.end - place.offset == place.size) {
      end_at = i;
    }
  }
  if (end_at == std::string::npos) return ZipStatus::kNotZip;
  const uint64_t end_offset = tail_offset + end_at;
  const ZipStatus placed = PlaceOfDirectory(source, &tail[end_at], end_offset, &place);
  if (placed != ZipStatus::kOk) return placed;
  if (place.offset > place.end || place.size > place.end - place.offset) {
    return ZipStatus::kCorrupt;
  }
  std::vector<unsigned char> directory(place.size);
  if (!source.ReadAt(place.offset, directory.data(), directory.size())) {
    return ZipStatus::kCorrupt;
  }
  size_t at = 0;
  for (uint64_t i = 0; i < place.count; ++i) {
    if (directory.size() - at < kCentralSize) return ZipStatus::kCorrupt;
    const unsigned char* p = &directory[at];
    if (Le32(p) != kCentralSignature) return ZipStatus::kCorrupt;
    const size_t name_length = Le16(p + 28);
    const size_t extra_length = Le16(p + 30);
    const size_t comment_length = Le16(p + 32);
    const size_t record = kCentralSize + name_length + extra_length + comment_length;
    if (directory.size() - at < record) return ZipStatus::kCorrupt;
    ZipEntry entry;
    entry.flags = Le16(p + 8);
    entry.method = Le16(p + 10);
    entry.dos_time = Le16(p + 12);
    entry.dos_date = Le16(p + 14);
    entry.crc = Le32(p + 16);
    entry.compressed_size = Le32(p + 20);
    entry.size = Le32(p + 24);
    entry.local_header_offset = Le32(p + 42);
    entry.name.assign(reinterpret_cast<const char*>(p + kCentralSize), name_length);
    if (entry.name.find('\0') != std::string::npos) return ZipStatus::kCorrupt;
    if (!ReadZip64Extra(p + kCentralSize + name_length, extra_length, &entry)) {
      return ZipStatus::kCorrupt;
    }
    entries->push_back(std::move(entry));
    at += record;
  }
  return ZipStatus::kOk;
}

bool WithinUnpackLimits(const std::vector<ZipEntry>& entries) {
  uint64_t total = 0;
  for (const ZipEntry& entry : entries) {
    total += entry.size;
    if (total > kMaxUnpackedBytes) return false;
    if (entry.size > kBombMinimumBytes &&
        entry.size / kMaxCompressionRatio > entry.compressed_size) {
      return false;
    }
  }
  return true;
}

ZipStatus ExtractEntry(ByteSource& source, const ZipEntry& entry,
                       const std::function<bool(const char*, size_t)>& sink) {
  if (entry.flags & 0x1) return ZipStatus::kUnsupported;  // encrypted
  if (entry.method != 0 && entry.method != 8) return ZipStatus::kUnsupported;
  unsigned char local[kLocalSize];
  if (!source.ReadAt(entry.local_header_offset, local, sizeof local)) return ZipStatus::kCorrupt;
  if (Le32(local) != kLocalSignature) return ZipStatus::kCorrupt;
  const uint64_t data_offset =
      entry.local_header_offset + kLocalSize + Le16(local + 26) + Le16(local + 28);
  if (data_offset > source.Size() || entry.compressed_size > source.Size() - data_offset) {
    return ZipStatus::kCorrupt;
  }
  std::vector<char> in(kChunk);
  uLong crc = crc32(0, nullptr, 0);
  uint64_t produced = 0;
  uint64_t offset = data_offset;
  uint64_t remaining = entry.compressed_size;

  if (entry.method == 0) {
    if (entry.compressed_size != entry.size) return ZipStatus::kCorrupt;
    while (remaining > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, in.size()));
      if (!source.ReadAt(offset, in.data(), n)) return ZipStatus::kCorrupt;
      crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
      if (!sink(in.data(), n)) return ZipStatus::kWriteFailed;
      offset += n;
      remaining -= n;
      produced += n;
    }
  } else {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return ZipStatus::kCorrupt;
    std::vector<char> out(kChunk);
    int result = Z_OK;
    ZipStatus status = ZipStatus::kOk;
    while (result != Z_STREAM_END && status == ZipStatus::kOk) {
      // More input only when zlib has used what it had. With none left, inflate may still
      // have output to give (the last output buffer filled up); it says Z_BUF_ERROR when not.
      if (z.avail_in == 0 && remaining > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, in.size()));
        if (!source.ReadAt(offset, in.data(), n)) {
          status = ZipStatus::kCorrupt;
          break;
        }
        offset += n;
        remaining -= n;
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(n);
      }
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      result = inflate(&z, Z_NO_FLUSH);
      if (result != Z_OK && result != Z_STREAM_END) {
        status = ZipStatus::kCorrupt;  // bad data, or (Z_BUF_ERROR) data that ends too soon
        break;
      }
      const size_t n = out.size() - z.avail_out;
      produced += n;
      if (produced > entry.size) {
        status = ZipStatus::kCorrupt;  // more than the directory promised
        break;
      }
      crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(n));
      if (n > 0 && !sink(out.data(), n)) status = ZipStatus::kWriteFailed;
    }
    inflateEnd(&z);
    if (status != ZipStatus::kOk) return status;
  }
  if (produced != entry.size || crc != entry.crc) return ZipStatus::kCorrupt;
  return ZipStatus::kOk;
}

}  // namespace norvex::unzip
