#!/usr/bin/env python3
"""Fails when the code in src/ names a libcurl or SQLite function, option,
flag or type that the oldest supported macOS's library lacks, unless
scripts/library-floors.txt says what the tool does without it; also when the
code names something the table does not list, or the table lists something
the code no longer names, so that the table stays the code's own."""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TABLE = ROOT / "scripts" / "library-floors.txt"
PATTERNS = {
    "curl": re.compile(r"\b(curl_[a-z0-9_]+|CURL[A-Za-z0-9_]*)\b"),
    "sqlite": re.compile(r"\b(sqlite3_[a-z0-9_]+|SQLITE_[A-Z0-9_]+)\b"),
}


def release(text):
    return tuple(int(part) for part in text.split("."))


def read_table():
    floors, names, problems = {}, {}, []
    for number, line in enumerate(TABLE.read_text().splitlines(), 1):
        fields = line.split(None, 3)
        if not fields or fields[0].startswith("#"):
            continue
        try:
            if fields[0] == "floor":
                floors[fields[1]] = release(fields[2])
            elif fields[0] in PATTERNS:
                names.setdefault(fields[0], {})[fields[1]] = (release(fields[2]), fields[3] if len(fields) > 3 else "")
            else:
                raise ValueError
        except (IndexError, ValueError):
            problems.append(f"{TABLE.name}:{number}: not '<library> <name> <release> [fallback]': {line}")
    return floors, names, problems


def named_in_code():
    files = subprocess.run(["git", "ls-files", "src/*.cpp", "src/*.h"], cwd=ROOT, check=True,
                           capture_output=True, text=True).stdout.split()
    found = {library: {} for library in PATTERNS}
    for file in files:
        text = (ROOT / file).read_text(errors="replace")
        for library, pattern in PATTERNS.items():
            for name in pattern.findall(text):
                found[library].setdefault(name, file)
    return found


def main():
    floors, table, problems = read_table()
    found = named_in_code()
    for library, names in found.items():
        floor = floors.get(library)
        if floor is None:
            problems.append(f"{TABLE.name}: no floor for {library}")
            continue
        listed = table.get(library, {})
        for name, file in sorted(names.items()):
            if name not in listed:
                problems.append(f"{file}: {name} is not in {TABLE.name}: add its first {library} release")
                continue
            first, fallback = listed[name]
            if first > floor and not fallback:
                problems.append(f"{file}: {name} came with {library} {'.'.join(map(str, first))}, after the floor "
                                f"{'.'.join(map(str, floor))}, and the table names no fallback")
        for name in sorted(set(listed) - set(names)):
            problems.append(f"{TABLE.name}: {name} is no longer named in src/: remove it")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        return 1
    for library, names in sorted(found.items()):
        later = sorted(name for name in names if table[library][name][0] > floors[library])
        print(f"{library}: {len(names)} names, all in {'.'.join(map(str, floors[library]))} "
              f"or with a fallback ({', '.join(later) or 'none needed'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
