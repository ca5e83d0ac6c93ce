#include "search/url_template.h"

#include "common/text.h"
#include "search/query_encoding.h"
#include "storage/settings.h"

namespace norvex::search {

namespace {

constexpr std::u16string_view kUrl = u"{url}";
constexpr std::u16string_view kQuery = u"{query}";
constexpr std::u16string_view kOem = u"{OEM}";

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

bool HasPlaceholder(std::u16string_view text, std::u16string_view placeholder) {
  const size_t position = text.find(placeholder);
  return position != std::u16string_view::npos && position > 0;
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view placeholder,
                          std::u16string_view value) {
  std::u16string out;
  if (placeholder.empty()) return std::u16string(text);
  size_t from = 0;
  for (size_t at; (at = text.find(placeholder, from)) != std::u16string_view::npos;) {
    out.append(text.substr(from, at - from));
    out.append(value);
    from = at + placeholder.size();
  }
  out.append(text.substr(from));
  return out;
}

std::u16string BuildTemplateUrl(std::u16string_view urlTemplate, std::u16string_view encodingName,
                                const TemplateSources& sources) {
  std::u16string url(urlTemplate);
  if (HasPlaceholder(url, kUrl)) {
    const std::u16string location = sources.browser ? sources.browser->LocationUrl() : u"";
    url = ReplaceAll(url, kUrl, PercentEncodeUrl(location, location.size()));
  } else if (HasPlaceholder(url, kQuery)) {
    const std::u16string text(sources.searchBox ? TrimWideSpace(sources.searchBox->GetText())
                                                 : std::u16string_view());
    // Recorded before the address is built, whether or not the navigation succeeds.
    if (!text.empty() && sources.searchBox) sources.searchBox->AddHistory(text, true);
    url = ReplaceAll(url, kQuery, Widen(EncodeQuery(text, encodingName)));
  }
  if (HasPlaceholder(url, kOem)) {
    url = ReplaceAll(url, kOem, storage::ReadProductValue(u"OEM"));
  }
  return url;
}

void OpenTemplateUrl(std::u16string_view urlTemplate, std::u16string_view encodingName,
                     const TemplateSources& sources) {
  const std::u16string url = BuildTemplateUrl(urlTemplate, encodingName, sources);
  if (sources.browser) sources.browser->Navigate(url);
}

}  // namespace norvex::search
