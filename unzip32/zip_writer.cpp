#include "unzip32/zip_writer.h"

#include <zlib.h>

#include <cstdint>

namespace norvex::unzip {

namespace {

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

std::string MakeZip(const std::vector<ZipInput>& entries) {
  std::string out, directory;
  for (const ZipInput& entry : entries) {
    const std::string body = entry.deflate ? RawDeflate(entry.data) : entry.data;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
              static_cast<uInt>(entry.data.size())));
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint32_t method = entry.deflate ? 8 : 0;
    Put32(&out, 0x04034b50);
    Put16(&out, 20);
    Put16(&out, 0);
    Put16(&out, method);
    Put16(&out, 0);
    Put16(&out, 0x21);
    Put32(&out, crc);
    Put32(&out, static_cast<uint32_t>(body.size()));
    Put32(&out, static_cast<uint32_t>(entry.data.size()));
    Put16(&out, static_cast<uint32_t>(entry.name.size()));
    Put16(&out, 0);
    out += entry.name;
    out += body;

    Put32(&directory, 0x02014b50);
    Put16(&directory, 20);
    Put16(&directory, 20);
    Put16(&directory, 0);
    Put16(&directory, method);
    Put16(&directory, 0);
    Put16(&directory, 0x21);
    Put32(&directory, crc);
    Put32(&directory, static_cast<uint32_t>(body.size()));
    Put32(&directory, static_cast<uint32_t>(entry.data.size()));
    Put16(&directory, static_cast<uint32_t>(entry.name.size()));
    Put16(&directory, 0);
    Put16(&directory, 0);
    Put16(&directory, 0);
    Put16(&directory, 0);
    Put32(&directory, 0);
    Put32(&directory, offset);
    directory += entry.name;
  }
  const uint32_t directory_offset = static_cast<uint32_t>(out.size());
  out += directory;
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(entries.size()));
  Put16(&out, static_cast<uint32_t>(entries.size()));
  Put32(&out, static_cast<uint32_t>(directory.size()));
  Put32(&out, directory_offset);
  Put16(&out, 0);
  return out;
}

}  // namespace norvex::unzip
