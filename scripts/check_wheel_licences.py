"""Checks that a wheel names and carries the licence of everything linked into it.

    python scripts/check_wheel_licences.py dist/quorlan-...whl
"""
import email.parser
import pathlib
import sys
import zipfile

# Every library in the module, by a file its licence text must be in.
EXPECTED = {
    "quorlan": "LICENSE",
    "utf8proc": "third_party/utf8proc/LICENSE.md",
    "libcsv (LGPL-2.1-or-later)": "third_party/libcsv/COPYING.LESSER",
    "pugixml": "third_party/pugixml/LICENSE.md",
    "nlohmann/json": "third_party/nlohmann_json/LICENSE.MIT",
    "libc++": "third_party/zig_runtime/LICENSE-libcxx.txt",
    "libc++abi": "third_party/zig_runtime/LICENSE-libcxxabi.txt",
    "libunwind": "third_party/zig_runtime/LICENSE-libunwind.txt",
    "zig's compiler-rt": "third_party/zig_runtime/LICENSE-zig.txt",
    "libcsv relinking notice": "third_party/README.md",
}


def main(path):
    with zipfile.ZipFile(path) as wheel:
        names = set(wheel.namelist())
        dist_info = next(n.split("/")[0] for n in names if n.endswith(".dist-info/METADATA"))
        metadata = email.parser.Parser().parsestr(
            wheel.read(f"{dist_info}/METADATA").decode())
        listed = set(metadata.get_all("License-File") or [])
        missing = []
        for library, licence in EXPECTED.items():
            if licence not in listed:
                missing.append(f"{library}: {licence} is not a License-File")
            elif f"{dist_info}/licenses/{licence}" not in names:
                missing.append(f"{library}: {licence} is not in the wheel")
        if not metadata.get("License-Expression", "").startswith("MIT AND LGPL-2.1-or-later"):
            missing.append("License-Expression does not name MIT and LGPL-2.1-or-later")
    if missing:
        sys.exit(f"{pathlib.Path(path).name}:\n  " + "\n  ".join(missing))
    print(f"{pathlib.Path(path).name}: {len(listed)} licence files, each carried")


if __name__ == "__main__":
    main(sys.argv[1])
