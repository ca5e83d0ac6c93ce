#include "usage/report_url.h"

#include "common/text.h"

namespace norvex::usage {

namespace {

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCaseAscii(text.substr(0, prefix.size()), prefix);
}

std::optional<uint16_t> ParsePort(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  uint32_t port = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    port = port * 10 + static_cast<uint32_t>(c - u'0');
  }
  if (port == 0 || port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}

}  // namespace

std::optional<ReportUrl> SplitReportUrl(std::u16string_view url) {
  for (char16_t c : url) {
    // A space or a line break would change the request line or add headers.
    if (c <= u' ' || c == 0x7F) return std::nullopt;
  }
  ReportUrl result;
  std::u16string_view rest;
  if (StartsWithIgnoreCase(url, u"http://")) {
    rest = url.substr(7);
  } else if (StartsWithIgnoreCase(url, u"https://")) {
    rest = url.substr(8);
    result.secure = true;
    result.port = 443;
  } else {
    return std::nullopt;
  }
  const size_t authorityEnd = rest.find_first_of(u"/?#");
  std::u16string_view authority = rest.substr(0, authorityEnd);
  std::u16string_view object =
      authorityEnd == std::u16string_view::npos ? std::u16string_view() : rest.substr(authorityEnd);
  if (const size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
    authority = authority.substr(at + 1);
  }
  std::u16string_view host = authority;
  std::u16string_view port;
  if (!authority.empty() && authority[0] == u'[') {
    const size_t close = authority.find(u']');
    if (close == std::u16string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    const std::u16string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != u':') return std::nullopt;
      port = after.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else if (const size_t colon = authority.find(u':'); colon != std::u16string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    if (port.empty()) return std::nullopt;
  }
  if (!port.empty()) {
    const auto number = ParsePort(port);
    if (!number) return std::nullopt;
    result.port = *number;
  }
  if (host.empty() || host.size() > kMaxHostLength) return std::nullopt;
  if (const size_t hash = object.find(u'#'); hash != std::u16string_view::npos) {
    object = object.substr(0, hash);
  }
  result.host = std::u16string(host);
  result.object = object.empty() || object[0] != u'/' ? u"/" + std::u16string(object)
                                                      : std::u16string(object);
  if (result.object.size() > kMaxObjectLength) return std::nullopt;
  return result;
}

}  // namespace norvex::usage
