#include "usage/report_url.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace norvex::usage {
namespace {

TEST(SplitReportUrl, SchemePortHostAndObject) {
  const std::u16string longHost(255, u'h'), longObject(254, u'o');
  const struct {
    std::u16string url;
    std::optional<ReportUrl> split;
  } cases[] = {
      {u"http://log.example/toolbar/daily?oem=nvx0001",
       ReportUrl{false, u"log.example", 80, u"/toolbar/daily?oem=nvx0001"}},
      {u"HTTP://log.example", ReportUrl{false, u"log.example", 80, u"/"}},
      {u"http://log.example?x=1", ReportUrl{false, u"log.example", 80, u"/?x=1"}},
      {u"http://log.example:8080/d", ReportUrl{false, u"log.example", 8080, u"/d"}},
      {u"https://log.example/d", ReportUrl{true, u"log.example", 443, u"/d"}},
      {u"https://log.example:8443/d", ReportUrl{true, u"log.example", 8443, u"/d"}},
      {u"http://user:pw@log.example/d", ReportUrl{false, u"log.example", 80, u"/d"}},
      {u"http://log.example/d#part", ReportUrl{false, u"log.example", 80, u"/d"}},
      {u"http://[::1]:81/d", ReportUrl{false, u"::1", 81, u"/d"}},
      {u"http://[::1]/d", ReportUrl{false, u"::1", 80, u"/d"}},
      {u"http://" + longHost + u"/x", ReportUrl{false, longHost, 80, u"/x"}},
      {u"http://h/" + longObject, ReportUrl{false, u"h", 80, u"/" + longObject}},
      // Refused: the request could not carry them.
      {u"http://" + longHost + u"h/x", std::nullopt},
      {u"http://h/" + longObject + u"o", std::nullopt},
      {u"ftp://log.example/d", std::nullopt},
      {u"log.example/d", std::nullopt},
      {u"", std::nullopt},
      {u"http://", std::nullopt},
      {u"http:///d", std::nullopt},
      {u"http://h:/d", std::nullopt},
      {u"http://h:0/d", std::nullopt},
      {u"http://h:65536/d", std::nullopt},
      {u"http://h:8o/d", std::nullopt},
      {u"http://[::1/d", std::nullopt},
      {u"http://[::1]x/d", std::nullopt},
      {u"http://h/a b", std::nullopt},
      {u"http://h/a\r\nX-Injected: 1", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitReportUrl(c.url), c.split) << Utf16ToUtf8(c.url);
  }
}

}  // namespace
}  // namespace norvex::usage
