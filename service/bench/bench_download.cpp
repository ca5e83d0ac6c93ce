// Benchmark driver: downloads one URL to a file through the service's own download path
// (the system's HTTP client, streamed to a temporary file and renamed). Prints the bytes and
// the seconds; the benchmark script compares them with curl and reads the peak memory.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "service/http_download.h"
#include "service/platform_factory.h"
#include "service/update_files.h"

int main(int argc, char** argv) {
  using namespace norvex::service;
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_download URL FILE\n");
    return 2;
  }
  auto files = CreateNativeFileSystem();
  auto profiles = CreateNativeProfiles();
  auto http = CreateNativeHttpClient();
  ServicePlatform platform;
  platform.files = files.get();
  platform.profiles = profiles.get();
  platform.http = http.get();
  struct NullConsole : Console {
    void Print(const std::string& text) override { std::fputs(text.c_str(), stderr); }
  } console;
  platform.console = &console;
  UpdateFiles update_files(platform, "");
  HttpDownload download(update_files);
  const std::string target = std::filesystem::absolute(argv[2]).string();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = download.DownloadToFile(argv[1], target);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok) {
    std::fprintf(stderr, "download failed\n");
    return 1;
  }
  std::printf("%llu %.3f\n",
              static_cast<unsigned long long>(std::filesystem::file_size(target)), seconds);
  return 0;
}
