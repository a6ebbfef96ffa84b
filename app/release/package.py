#!/usr/bin/env python3
"""Packs a release zip that is the same, byte for byte, for the same inputs.

    package.py ZIP EPOCH NAME=FILE...

Entries go in the order given, each stamped with EPOCH (seconds since 1970, as
git gives a commit's time) and with fixed attributes, so nothing of the machine
or the moment of packing gets into the zip. Text files get Windows line ends.
Writes ZIP.sha256 beside it in the form sha256sum reads.
"""
import hashlib
import os
import sys
import time
import zipfile


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    target, epoch, entries = argv[1], int(argv[2]), argv[3:]
    # A zip's clock starts in 1980 and knows no time zone.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with zipfile.ZipFile(target + ".part", "w") as archive:
        for entry in entries:
            name, source = entry.split("=", 1)
            with open(source, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode
            info.external_attr = 0x20  # archive
            archive.writestr(info, data, compresslevel=9)
    os.replace(target + ".part", target)
    with open(target, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(target + ".sha256", "w", newline="\n") as f:
        f.write(f"{digest}  {os.path.basename(target)}\n")
    print(f"{target}\nsha256 {digest}")


if __name__ == "__main__":
    main(sys.argv)
