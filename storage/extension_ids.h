// The browser extension that the bridge serves: its id in the Chromium browsers' extension id
// form (the first 32 hexadecimal digits of the SHA-256 of the extension's public key, digits
// written as the letters a to p). The extension's manifest carries that public key as "key", so
// the id is the same loaded unpacked and installed from the stores. The one place of the id:
// the bridge's allowed origins, its host manifests and the external-extension keys come from
// here, and a test derives the id from extension/manifest.json's key to check it.
#pragma once

#include <string>
#include <string_view>

namespace norvex::bridge {

struct ExtensionId {
  std::string_view id;
  // Where the browsers' external-extension keys send them for the item (an empty address: no
  // such key for that browser).
  std::string_view chromeUpdateUrl;
  std::string_view edgeUpdateUrl;
};

inline constexpr char kChromeStoreUpdateUrl[] = "https://clients2.google.com/service/update2/crx";
inline constexpr char kEdgeStoreUpdateUrl[] =
    "https://edge.microsoft.com/extensionwebstorebase/v1/crx";

inline constexpr ExtensionId kExtensionIds[] = {
    {"nkgaakhpbioemahloenccgpcgccfibon", kChromeStoreUpdateUrl, kEdgeStoreUpdateUrl},
};

// The origin the browsers give for an extension id: "chrome-extension://ID/".
inline std::string ExtensionOrigin(std::string_view id) {
  return "chrome-extension://" + std::string(id) + "/";
}

}  // namespace norvex::bridge
