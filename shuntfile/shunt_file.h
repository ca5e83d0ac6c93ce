// The mover that the older Windows family runs once at the next logon: it carries out the
// moves that the update service listed in "livefile.ini" beside it, then drops the list so
// that the next service process starts a fresh one.
#pragma once

#include <string>

#include "service/service_platform.h"

namespace norvex::shuntfile {

struct ShuntResult {
  int moved = 0;
  int failed = 0;
  bool list_found = false;  // [COMMON] Enable was "1"
};

// folder: the mover's own folder (where "livefile.ini" lies). Only entries whose source and
// destination both lie below it are carried out; with an empty folder or "." nothing is done.
ShuntResult RunShuntFile(service::ServiceFileSystem& files, service::ProfileFiles& profiles,
                         const std::string& folder);

}  // namespace norvex::shuntfile
