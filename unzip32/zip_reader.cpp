#include "unzip32/zip_reader.h"

#include <zlib.h>

#include <cstring>
#include <fstream>

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

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
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
  // and its directory lies just before it, so that bytes of data or of a comment that merely
  // look like a record are not taken for one.
  for (size_t i = tail.size() - kEndSize + 1; end_at == std::string::npos && i-- > 0;) {
    if (Le32(&tail[i]) != kEndSignature || i + kEndSize + Le16(&tail[i + 20]) > tail.size()) {
      continue;
    }
    if (uint64_t{Le32(&tail[i + 16])} + Le32(&tail[i + 12]) == tail_offset + i) end_at = i;
  }
  if (end_at == std::string::npos) return ZipStatus::kNotZip;
  const unsigned char* end = &tail[end_at];
  const uint16_t count = Le16(end + 10);
  const uint32_t directory_size = Le32(end + 12);
  const uint32_t directory_offset = Le32(end + 16);
  if (Le16(end + 4) != 0 || Le16(end + 6) != 0 || Le16(end + 8) != count) {
    return ZipStatus::kUnsupported;  // archives split over several disks
  }
  if (count == 0xFFFF || directory_size == 0xFFFFFFFF || directory_offset == 0xFFFFFFFF) {
    return ZipStatus::kUnsupported;  // 64-bit extensions
  }
  const uint64_t end_offset = tail_offset + end_at;
  if (uint64_t{directory_offset} + directory_size > end_offset) return ZipStatus::kCorrupt;
  std::vector<unsigned char> directory(directory_size);
  if (!source.ReadAt(directory_offset, directory.data(), directory.size())) {
    return ZipStatus::kCorrupt;
  }
  size_t at = 0;
  for (uint16_t i = 0; i < count; ++i) {
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
