#include "service/tests/service_fakes.h"

#include <fstream>
#include <sstream>

#include "service/archive_binding.h"
#include "service/platform_factory.h"
#include "unzip32/unzip32.h"

namespace norvex::service::testing {

namespace fs = std::filesystem;

HttpResult FakeHttp::Get(const HttpRequest& request,
                         const std::function<bool(const char*, size_t)>* sink) {
  requests.push_back(request);
  HttpResult result;
  const std::string address = std::string(request.secure ? "https://" : "http://") +
                              request.host + ":" + std::to_string(request.port) + request.object;
  auto it = answers.find(address);
  if (it == answers.end()) it = answers.find(request.object);
  const Answer answer = it == answers.end() ? Answer{404, "not here"} : it->second;
  result.close_errors = answer.close_errors;
  if (!answer.failed_step.empty()) {
    result.failed_step = answer.failed_step;
    result.error_code = 12029;
    return result;
  }
  result.status = answer.status;
  result.location = answer.location;
  if (sink == nullptr || answer.status != 200) return result;
  // Deliver in pieces, as a network would.
  const std::string& body = answer.body;
  for (size_t at = 0; at < body.size(); at += 1000) {
    size_t n = std::min<size_t>(1000, body.size() - at);
    // A body longer than the request allows is cut off at the limit, as the real clients do.
    const bool cut = result.body_bytes + n > request.max_body_bytes;
    if (cut) n = static_cast<size_t>(request.max_body_bytes - result.body_bytes);
    if (n > 0 && !(*sink)(body.data() + at, n)) return result;
    result.body_bytes += n;
    if (cut) return result;
  }
  result.body_complete = answer.complete;
  result.length_announced = answer.length_announced;
  result.last_chunk_seen = answer.last_chunk_seen;
  return result;
}

namespace {
std::string Native(std::string path) {
#ifndef _WIN32
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
#endif
  return path;
}

BoundArchiveLibrary& Linked() {
  static BoundArchiveLibrary library(
      ArchiveFunctions{&ArcIsBusy, &ArcOpen, &ArcClose,
                       reinterpret_cast<int (*)(uintptr_t, const char*, void*)>(&ArcFindFirst),
                       reinterpret_cast<int (*)(uintptr_t, void*)>(&ArcFindNext),
                       &ArcExtractFound},
      Native);
  return library;
}
}  // namespace

int LinkedArchive::IsBusy() { return busy ? 1 : Linked().IsBusy(); }
uintptr_t LinkedArchive::Open(const std::string& path, uint32_t mode) {
  return Linked().Open(path, mode);
}
int LinkedArchive::Close(uintptr_t a) { return Linked().Close(a); }
int LinkedArchive::FindFirst(uintptr_t a, const std::string& w, std::string* n) {
  const int result = Linked().FindFirst(a, w, n);
  if (result == 0) *n += listed_suffix;
  return result;
}
int LinkedArchive::FindNext(uintptr_t a, std::string* n) {
  const int result = Linked().FindNext(a, n);
  if (result == 0) *n += listed_suffix;
  return result;
}
int LinkedArchive::ExtractFound(uintptr_t a, const std::string& f, const std::string& d,
                                uint32_t m) {
  return Linked().ExtractFound(a, f, d, m);
}

ServiceFixture::ServiceFixture() {
  fs::create_directories(temp_.path() / "log");
  files = std::make_unique<ProgramFolderFiles>(CreateNativeFileSystem(),
                                               (temp_.path() / "quorvel").string());
  profiles = CreateNativeProfiles();
  mover = std::make_unique<FakeMover>(*files);
  platform.files = files.get();
  platform.profiles = profiles.get();
  platform.clock = &clock;
  platform.http = &http;
  platform.mover = mover.get();
  platform.archive = &archive;
  platform.console = &console;
  crypto = CreateNativeCrypto();
  platform.crypto = crypto.get();
}

fs::path ServiceFixture::At(const std::string& relative) const {
  return temp_.path() / fs::path(relative);
}

std::string ServiceFixture::Read(const std::string& relative) const {
  std::ifstream in(At(relative), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ServiceFixture::Write(const std::string& relative, const std::string& bytes) const {
  fs::create_directories(At(relative).parent_path());
  std::ofstream(At(relative), std::ios::binary) << bytes;
}

bool ServiceFixture::Exists(const std::string& relative) const { return fs::exists(At(relative)); }

std::vector<std::string> ServiceFixture::LogMessages() const {
  std::ifstream in(LogPath(), std::ios::binary);
  std::vector<std::string> messages;
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    messages.push_back(line.size() > 20 ? line.substr(20) : line);
  }
  return messages;
}

}  // namespace norvex::service::testing
