#!/usr/bin/env python3
"""Zips a folder's files into an archive that is the same bytes for the same files on any machine:
entries in sorted order with '/' separators, one fixed date (SOURCE_DATE_EPOCH, else the default
below), no owner, times or permissions of the machine that packed it.

    zip_folder.py FOLDER ARCHIVE"""
import os
import sys
import time
import zipfile

DEFAULT_DATE = 1767225600  # 2026-01-01 00:00:00 UTC
ZIP_EARLIEST = 315532800  # 1980-01-01, the earliest date a zip entry holds


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder, archive = sys.argv[1], sys.argv[2]
    stamp = max(int(os.environ.get("SOURCE_DATE_EPOCH") or DEFAULT_DATE), ZIP_EARLIEST)
    date = time.gmtime(stamp)[:6]
    entries = []
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            entries.append((os.path.relpath(path, folder).replace(os.sep, "/"), path))
    if not entries:
        sys.exit("zip_folder.py: %s holds no file" % folder)
    entries.sort()
    with zipfile.ZipFile(archive, "w") as out:
        for name, path in entries:
            info = zipfile.ZipInfo(name, date)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode recorded
            info.external_attr = 0
            with open(path, "rb") as f:
                out.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
