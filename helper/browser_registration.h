// What the installer has the bridge register for the Chromium browsers
// (storage/browser_host_registration.h): the host keys naming the installation's manifest and the
// external-extension keys. The uninstall program takes them away with the installation.
#pragma once

#include <string>

#include "helper/helper_seams.h"
#include "helper/uninstaller.h"
#include "storage/browser_host_registration.h"

namespace norvex::helper {

// The bridge program and the manifest it writes into the installation folder: product files.
inline constexpr const char16_t* kBridgeProgram = bridge::kWindowsProgramName;
inline constexpr const char16_t* kBridgeManifest = bridge::kManifestFileName;

// Removes the browsers' keys under HKLM and HKCU, in each root only when its host key is missing
// or names the manifest of the installation in `folder` (another installation's stay). A key
// that cannot be removed is named in the outcome.
void RemoveBrowserRegistration(HelperSystem& system, const std::u16string& folder,
                               Outcome& outcome);

}  // namespace norvex::helper
