// A reader of ZIP archives: the central directory, stored and deflated entries, CRC checked.
// It works over any byte source, so the same code reads files and, in the fuzz driver, memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace norvex::unzip {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly size bytes at offset; false when they are not all there.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

std::unique_ptr<ByteSource> OpenFileSource(const std::filesystem::path& path);
std::unique_ptr<ByteSource> MemorySource(std::string bytes);

struct ZipEntry {
  std::string name;  // as stored, "/" separators
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint64_t compressed_size = 0;
  uint64_t size = 0;
  uint64_t local_header_offset = 0;
  uint16_t dos_time = 0, dos_date = 0;
  bool is_folder() const { return !name.empty() && name.back() == '/'; }
};

enum class ZipStatus { kOk, kNotZip, kCorrupt, kUnsupported, kWriteFailed };

// Reads the central directory. kOk with the entries in archive order, or a failure.
ZipStatus ReadDirectory(ByteSource& source, std::vector<ZipEntry>* entries);

// What an archive may unpack to: at most kMaxUnpackedBytes in all, and no entry larger than
// kBombMinimumBytes that is more than kMaxCompressionRatio times its compressed size (ordinary
// files stay far below; a deflated run of one byte, the stuff of archive bombs, reaches about
// 1000). The sizes are those the directory declares; extraction never writes more than them.
inline constexpr uint64_t kMaxUnpackedBytes = uint64_t{1} << 30;
inline constexpr uint64_t kMaxCompressionRatio = 100;
inline constexpr uint64_t kBombMinimumBytes = uint64_t{1} << 20;
bool WithinUnpackLimits(const std::vector<ZipEntry>& entries);

// Decompresses one entry into sink (called with pieces of the data); checks size and CRC.
// A sink that returns false ends with kWriteFailed.
ZipStatus ExtractEntry(ByteSource& source, const ZipEntry& entry,
                       const std::function<bool(const char*, size_t)>& sink);

}  // namespace norvex::unzip
