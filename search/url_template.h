// URL templates: an agent's address with the placeholders "{url}" (the page the browser shows),
// "{query}" (the search box's text in the template's encoding) and "{OEM}" (the partner
// identifier), filled from the toolbar's state and opened in the hosting browser window.
#pragma once

#include <string>
#include <string_view>

#include "search/browser_connection.h"
#include "search/search_box_access.h"

namespace norvex::search {

// What a template is filled from; a null member is a toolbar without that part.
struct TemplateSources {
  BrowserConnection* browser = nullptr;
  SearchBoxAccess* searchBox = nullptr;
};

// True when `placeholder` first occurs in `text` after its first character. A template that
// starts with a placeholder is treated as if it did not hold it.
bool HasPlaceholder(std::u16string_view text, std::u16string_view placeholder);

// Every occurrence of `placeholder` replaced by `value`, left to right; the inserted text is not
// searched again.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view placeholder,
                          std::u16string_view value);

// The finished address of a template:
// - with "{url}": every "{url}" becomes the browser's address, percent-encoded ("{query}" is then
//   left as literal text);
// - otherwise with "{query}": the search box's trimmed text, added to the history with the file
//   written when it is not empty, becomes EncodeQuery(text, encodingName) in every "{query}";
// - then every "{OEM}" becomes [product] OEM of "norvexOEM.ini" as read (empty when missing).
// Placeholders are matched exactly, case included.
std::u16string BuildTemplateUrl(std::u16string_view urlTemplate, std::u16string_view encodingName,
                                const TemplateSources& sources);

// Builds the address as above and navigates the browser to it; without a browser connection
// nothing is opened (the history entry is still made).
void OpenTemplateUrl(std::u16string_view urlTemplate, std::u16string_view encodingName,
                     const TemplateSources& sources);

}  // namespace norvex::search
