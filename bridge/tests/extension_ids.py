"""The extension ids compiled into the bridge (storage/extension_ids.h), for the scripts that
talk to the bridge as the extension does or check the ids."""
import os
import re


def compiled_ids(source):
    """The ids of storage/extension_ids.h under the source tree `source`, in their order."""
    with open(os.path.join(source, "storage", "extension_ids.h"), encoding="utf-8") as f:
        return re.findall(r'\{"([a-p]{32})"', f.read())


def extension_origin(source):
    """The origin the browsers give the first extension: "chrome-extension://ID/"."""
    ids = compiled_ids(source)
    if not ids:
        raise SystemExit("no extension id in storage/extension_ids.h")
    return "chrome-extension://%s/" % ids[0]
