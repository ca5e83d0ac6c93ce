// ShuntFile: carries out the moves listed in "livefile.ini" in its own folder.
#include "service/platform_factory.h"
#include "service/update_files.h"
#include "shuntfile/shunt_file.h"

int main() {
  using namespace norvex;
  auto files = service::CreateNativeFileSystem();
  auto profiles = service::CreateNativeProfiles();
  const std::string folder = service::ProgramFolderOf(files->ProgramPath(), files->NarrowCodePage());
  const shuntfile::ShuntResult result = shuntfile::RunShuntFile(*files, *profiles, folder);
  return result.failed == 0 ? 0 : 1;
}
