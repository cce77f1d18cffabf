#!/usr/bin/env bash
# The macOS build runs the same tests on a Mac. Lists every use of a tool, path or
# wording only Linux has, in a test that neither says so with BRIM_LINUX_ONLY nor
# sits under "#ifdef __linux__"; fails on any. tests/tools is left out: those are the
# Linux stand-ins' own tests and the macOS build has none of them.
# Usage: scripts/check-portable-tests.sh [FILE...]   (default: every test source)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$#" -eq 0 ]; then
  mapfile -t files < <(git ls-files -co --exclude-standard 'tests/*.cpp' 'tests/*.h' | grep -v '^tests/tools/' | sort)
else
  files=("$@")
fi
exec python3 - "${files[@]}" <<'EOF'
import re
import sys

# What a Mac does not have or says differently, and how a reader recognises it.
CONSTRUCTS = [
    (r"\btimeout\s+(-s\s+\w+\s+)?[0-9]", "GNU timeout (use runShellWithin)"),
    (r"\bsetpriv\b", "setpriv"),
    (r"/proc/", "/proc"),
    (r"\"/sys/", "/sys"),
    (r"/dev/full", "/dev/full"),
    (r"\btruncate\s+-", "truncate"),
    (r"/etc/timezone", "/etc/timezone"),
    (r"\bbase64\s+-w", "GNU base64 -w"),
    (r"\breadlink\s+-[fem]", "GNU readlink -f"),
    (r"\bstat\s+-c", "GNU stat -c"),
    (r"\bdate\s+-d", "GNU date -d"),
    (r"\bsed\s+-i\s*['\"]", "GNU sed -i"),
    (r"\bip\s+(route|addr|link)\b", "iproute2"),
    (r"\blib(z|c|m|dl|curl|crypto|ssl|sqlite3|plist[-.0-9]*)\.so\b", "a Linux library's file name"),
    (r"cannot open shared object", "glibc's dlerror wording"),
]
PATTERNS = [(re.compile(p), label) for p, label in CONSTRUCTS]
MARK = "BRIM_LINUX_ONLY("  # first in a test: the whole test
CASE_MARK = "BRIM_LINUX_ONLY_CASE("  # anywhere in a test: the Linux-only cases of its table
# A function, a test or a fixture's member starts a scope the mark covers.
SCOPE = re.compile(r"^(TEST(_F|_P)?\(|\s{0,2}(?!(if|for|while|switch|else|return|do)\b)(?!.*\]\s*\()[A-Za-z].*\)\s*(const\s*)?(override\s*)?\{\s*$)")
LINUX_IF = re.compile(r"^\s*#\s*(ifdef\s+__linux__|if\s+defined\s*\(?\s*__linux__|ifndef\s+__APPLE__)")
APPLE_IF = re.compile(r"^\s*#\s*(ifdef\s+__APPLE__|if\s+defined\s*\(?\s*__APPLE__|ifndef\s+__linux__)")


def without_comment(line):
    """The line up to a // that is outside every string literal."""
    quote = None
    for at, char in enumerate(line):
        if quote:
            if char == "\\":
                continue
            if char == quote and line[at - 1] != "\\":
                quote = None
        elif char in "\"'":
            quote = char
        elif line.startswith("//", at):
            return line[:at]
    return line


def unmarked(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as source:
            lines = source.read().split("\n")
    except OSError as error:
        print(f"{path}: cannot be read: {error.strerror}")
        return 1
    # Which scope each line is in, and the scopes that leave cases out.
    scope_of, scope, case_marked = [], 0, set()
    for line in lines:
        if SCOPE.match(line):
            scope += 1
        scope_of.append(scope)
        if CASE_MARK in line:
            case_marked.add(scope)
    found = 0
    conditions = []  # per open #if: "linux", "apple" or "" (neither)
    scope_marked = False
    for number, line in enumerate(lines, 1):
        directive = line.strip()
        if directive.startswith("#"):
            if LINUX_IF.match(line):
                conditions.append("linux")
            elif APPLE_IF.match(line):
                conditions.append("apple")
            elif re.match(r"#\s*if", directive):
                conditions.append("")
            elif re.match(r"#\s*el", directive) and conditions:
                conditions[-1] = {"linux": "apple", "apple": "linux"}.get(conditions[-1], "")
            elif re.match(r"#\s*endif", directive) and conditions:
                conditions.pop()
            continue
        if SCOPE.match(line):
            scope_marked = False
        if MARK in line:
            scope_marked = True
        if "linux" in conditions or scope_marked or scope_of[number - 1] in case_marked:
            continue
        code = without_comment(line)
        for pattern, label in PATTERNS:
            if pattern.search(code):
                print(f"{path}:{number}: {label} is Linux only: put BRIM_LINUX_ONLY(\"why\") first in this test, "
                      f"or use a portable way")
                found += 1
                break
    return found


total = sum(unmarked(path) for path in sys.argv[1:])
if total:
    print(f"{total} Linux-only use(s) in tests without the mark")
    sys.exit(1)
print(f"portable tests: {len(sys.argv) - 1} files, no unmarked Linux-only use")
EOF
