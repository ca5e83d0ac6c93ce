#include "tests/test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

namespace norvex::test {

namespace fs = std::filesystem;

namespace {
fs::path Utf8Path(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() /
          ("norvex-test-" + std::to_string(stamp) + "-" + std::to_string(random()) + "-" +
           std::to_string(counter++));
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::u16string TempFolder::File(const std::string& name) const {
  return (path_ / Utf8Path(name)).make_preferred().u16string();
}

fs::path FsPath(const std::u16string& path) { return fs::path(path); }

std::string Utf16Le(std::u16string_view text, bool bom) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string ReadBytes(const std::u16string& path) { return ReadBytes(FsPath(path)); }

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::u16string& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::u16string SourceFolder() { return Utf8Path(NORVEX_SOURCE_DIR).make_preferred().u16string(); }

}  // namespace norvex::test
