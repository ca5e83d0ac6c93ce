// The archive library seam over the six functions of a loaded archive library: fills and
// reads the 560-byte entry record, and turns the service's paths into the platform's form.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "service/service_platform.h"

namespace norvex::service {

struct ArchiveFunctions {
  int (*is_busy)() = nullptr;
  uintptr_t (*open)(void* owner, const char* path, uint32_t mode) = nullptr;
  int (*close)(uintptr_t archive) = nullptr;
  int (*find_first)(uintptr_t archive, const char* wildcard, void* record) = nullptr;
  int (*find_next)(uintptr_t archive, void* record) = nullptr;
  int (*extract)(uintptr_t archive, const char* file_name, const char* folder,
                 uint32_t mode) = nullptr;
  bool complete() const {
    return is_busy && open && close && find_first && find_next && extract;
  }
};

// Why the program cannot run: the library at library_path (empty when the program's own path
// was not known) could not be loaded or lacks one of the six functions.
inline std::string ArchiveLoadError(const std::string& library_path, const char* name) {
  if (library_path.empty()) {
    return std::string("The archive library ") + name +
           " could not be loaded: the program's own path is unknown or too long.";
  }
  return "The archive library " + library_path + " could not be loaded.";
}

inline constexpr size_t kEntryRecordSize = 560;
inline constexpr size_t kEntryNameOffset = 26;
inline constexpr size_t kEntryNameMax = 512;

class BoundArchiveLibrary : public ArchiveLibrary {
 public:
  BoundArchiveLibrary(ArchiveFunctions functions,
                      std::function<std::string(const std::string&)> native_path)
      : f_(functions), native_path_(std::move(native_path)) {}

  int IsBusy() override { return f_.is_busy(); }
  uintptr_t Open(const std::string& archive_path, uint32_t mode) override {
    return f_.open(nullptr, native_path_(archive_path).c_str(), mode);
  }
  int Close(uintptr_t archive) override { return f_.close(archive); }
  int FindFirst(uintptr_t archive, const std::string& wildcard, std::string* name) override {
    unsigned char record[kEntryRecordSize] = {};
    const int result = f_.find_first(archive, wildcard.c_str(), record);
    if (result == 0) *name = NameOf(record);
    return result;
  }
  int FindNext(uintptr_t archive, std::string* name) override {
    unsigned char record[kEntryRecordSize] = {};
    const int result = f_.find_next(archive, record);
    if (result == 0) *name = NameOf(record);
    return result;
  }
  int ExtractFound(uintptr_t archive, const std::string& file_name,
                   const std::string& destination_folder, uint32_t mode) override {
    return f_.extract(archive, file_name.c_str(), native_path_(destination_folder).c_str(), mode);
  }

 private:
  static std::string NameOf(const unsigned char* record) {
    const char* name = reinterpret_cast<const char*>(record + kEntryNameOffset);
    size_t length = 0;
    while (length < kEntryNameMax && name[length] != '\0') ++length;
    return std::string(name, length);
  }

  ArchiveFunctions f_;
  std::function<std::string(const std::string&)> native_path_;
};

}  // namespace norvex::service
