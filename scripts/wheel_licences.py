"""The licences a wheel declares and carries, which must be exactly those of what is linked into
it: quorlan's and the four parser libraries' in every wheel, and the C++ runtime's that zig
links in (LLVM's libc++, libc++abi and libunwind, zig's compiler-rt) in the wheels zig builds.
pyproject.toml declares the first set; the zig build adds the second to its wheels.

    python scripts/wheel_licences.py add-zig-runtime WHEEL     # scripts/build_wheel.sh does this
    python scripts/wheel_licences.py check WHEEL [--zig-runtime]
"""

import base64
import email.parser
import hashlib
import pathlib
import sys
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Every library, by the file its licence text is in.
ALWAYS = {
    "quorlan": "LICENSE",
    "utf8proc": "third_party/utf8proc/LICENSE.md",
    "libcsv (LGPL-2.1-or-later)": "third_party/libcsv/COPYING.LESSER",
    "pugixml": "third_party/pugixml/LICENSE.md",
    "nlohmann/json": "third_party/nlohmann_json/LICENSE.MIT",
    "libcsv relinking notice": "third_party/README.md",
}
ZIG_RUNTIME = {
    "libc++": "third_party/zig_runtime/LICENSE-libcxx.txt",
    "libc++abi": "third_party/zig_runtime/LICENSE-libcxxabi.txt",
    "libunwind": "third_party/zig_runtime/LICENSE-libunwind.txt",
    "zig's compiler-rt": "third_party/zig_runtime/LICENSE-zig.txt",
}
EXPRESSION = "MIT AND LGPL-2.1-or-later AND Unicode-DFS-2016"
ZIG_EXPRESSION = EXPRESSION + " AND Apache-2.0 WITH LLVM-exception"


def dist_info(names):
    return next(n.split("/")[0] for n in names if n.endswith(".dist-info/METADATA"))


def record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def add_zig_runtime(path):
    """Rewrites the wheel with the runtime's licence files, their License-File lines and the
    licence expression that names them, and a RECORD that lists them."""
    with zipfile.ZipFile(path) as wheel:
        entries = [(info, wheel.read(info.filename)) for info in wheel.infolist()]
    info_dir = dist_info([i.filename for i, _ in entries])
    files = {i.filename: data for i, data in entries}
    infos = {i.filename: i for i, _ in entries}  # kept: dates, modes (the module's exec bit)
    metadata = files[f"{info_dir}/METADATA"].decode()
    head, _, body = metadata.partition("\n\n")
    lines = [line for line in head.split("\n") if not line.startswith("License-Expression:")]
    lines.insert(2, f"License-Expression: {ZIG_EXPRESSION}")
    lines += [f"License-File: {licence}" for licence in ZIG_RUNTIME.values()]
    files[f"{info_dir}/METADATA"] = ("\n".join(lines) + "\n\n" + body).encode()
    for licence in ZIG_RUNTIME.values():
        files[f"{info_dir}/licenses/{licence}"] = (ROOT / licence).read_bytes()
    record = f"{info_dir}/RECORD"
    listed = [
        record_line(name, data)
        for name, data in files.items()
        if name != record and not name.endswith("/")
    ]  # RECORD lists files only
    files[record] = ("\n".join(listed + [f"{record},,"]) + "\n").encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files.items():
            info = infos.get(name)
            if info is None:
                info = zipfile.ZipInfo(name, date_time=infos[record].date_time)
                info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)


def check(path, zig_runtime):
    expected = dict(ALWAYS, **(ZIG_RUNTIME if zig_runtime else {}))
    with zipfile.ZipFile(path) as wheel:
        names = set(wheel.namelist())
        info_dir = dist_info(names)
        metadata = email.parser.Parser().parsestr(wheel.read(f"{info_dir}/METADATA").decode())
    listed = set(metadata.get_all("License-File") or [])
    carried = {
        n[len(f"{info_dir}/licenses/") :]
        for n in names
        if n.startswith(f"{info_dir}/licenses/") and not n.endswith("/")
    }
    problems = []
    for library, licence in expected.items():
        if licence not in listed:
            problems.append(f"{library}: {licence} is not a License-File")
        if licence not in carried:
            problems.append(f"{library}: {licence} is not in the wheel")
    for extra in sorted((listed | carried) - set(expected.values())):
        problems.append(f"{extra} is declared or carried, but nothing linked needs it")
    want = ZIG_EXPRESSION if zig_runtime else EXPRESSION
    if metadata.get("License-Expression") != want:
        problems.append(
            f"License-Expression is {metadata.get('License-Expression')!r}, not {want!r}"
        )
    if problems:
        sys.exit(f"{pathlib.Path(path).name}:\n  " + "\n  ".join(problems))
    print(
        f"{pathlib.Path(path).name}: {len(expected)} licence files, each declared and carried,"
        " and no other"
    )


if __name__ == "__main__":
    command, wheel_path, *flags = sys.argv[1:]
    if command == "add-zig-runtime":
        add_zig_runtime(wheel_path)
    elif command == "check":
        check(wheel_path, "--zig-runtime" in flags)
    else:
        sys.exit(__doc__)
