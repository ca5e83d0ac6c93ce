#!/usr/bin/env python3
"""The extension id compiled into the bridge (storage/extension_ids.h) is the one the extension's
manifest key gives: the first 32 hexadecimal digits of the SHA-256 of the DER public key, each
digit written as a letter from a to p. Skipped (status 77) while the tree has no extension.

  check_extension_id.py REPO
"""
import base64
import hashlib
import json
import os
import sys

from extension_ids import compiled_ids


def extension_id(key):
    digest = hashlib.sha256(base64.b64decode(key)).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


def main():
    root = sys.argv[1]
    manifest = os.path.join(root, "extension", "manifest.json")
    if not os.path.exists(manifest):
        print("extension id: no extension/manifest.json, skipped")
        return 77
    with open(manifest, encoding="utf-8") as f:
        key = json.load(f).get("key")
    if not key:
        print("extension id: the manifest has no key")
        return 1
    compiled = compiled_ids(root)
    wanted = extension_id(key)
    if wanted not in compiled:
        print("extension id: the manifest's key gives %s; storage/extension_ids.h has %s" % (wanted, compiled))
        return 1
    print("extension id: %s" % wanted)
    return 0


if __name__ == "__main__":
    sys.exit(main())
