#include "dialogs/about_model.h"

#include "common/text.h"
#include "platform/platform.h"
#include "storage/settings.h"

namespace norvex::dialogs {

std::optional<std::u16string> AboutVersionLine() {
  std::u16string version;
  if (!storage::ReadInstalledVersion(version)) return std::nullopt;
  // The label carries its own separator (a blank, or a colon and a blank): it is read as the
  // profile functions give it, so that quotes keep a blank at its end.
  std::u16string label;
  storage::ReadDataLabel(u"version", label);
  return label + version;
}

std::u16string CopyrightNotice(int year) {
  return u"Copyright (C) Norvex 2005-" + FormatInt(year);
}

std::u16string AboutCopyrightLine() {
  platform::Clock& clock = *platform::Current().clock;
  const auto local = clock.ToLocal(clock.Now());
  return CopyrightNotice(local ? local->year : 0);
}

std::vector<std::u16string> AboutLines() {
  return {kAboutProductName, AboutVersionLine().value_or(kAboutInitialVersionLine),
          AboutCopyrightLine()};
}

}  // namespace norvex::dialogs
