// Report addresses and "logtime" values come from files that installers and users edit.
// Whatever their text: splitting an address gives only what a request line can carry, and a
// "logtime" that is read is a valid local time.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "platform/platform.h"
#include "usage/report_url.h"
#include "usage/usage_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text =
      norvex::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size));
  if (const auto url = norvex::usage::SplitReportUrl(text)) {
    if (url->host.empty() || url->host.size() > norvex::usage::kMaxHostLength) std::abort();
    if (url->object.empty() || url->object[0] != u'/') std::abort();
    if (url->object.size() > norvex::usage::kMaxObjectLength || url->port == 0) std::abort();
    for (char16_t c : url->host + url->object) {
      if (c <= u' ' || c == u'#') std::abort();
    }
  }
  norvex::platform::Clock& clock = norvex::platform::NativeClock();
  if (const auto time = norvex::usage::ParseLogTime(text, clock)) {
    const auto local = clock.ToLocal(*time);
    if (!local || local->year < 1970 || local->year > 3001) std::abort();
  }
  return 0;
}
