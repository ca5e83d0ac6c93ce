// Helpers for tests on both platforms: a temporary folder of their own, and whole-file access.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace norvex::test {

// A new empty folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // A path inside the folder, in the platform's form, as the code under test takes it.
  std::u16string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::u16string& path);
std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::u16string& path, const std::string& bytes);
std::filesystem::path FsPath(const std::u16string& path);

// The text as file bytes: UTF-16LE, with a byte-order mark when asked.
std::string Utf16Le(std::u16string_view text, bool bom);
inline std::string Utf16LeWithBom(std::u16string_view text) { return Utf16Le(text, true); }

// The repository's folder (to find sample files).
std::u16string SourceFolder();

}  // namespace norvex::test
