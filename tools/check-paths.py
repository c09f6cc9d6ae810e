#!/usr/bin/env python3
"""Fails when a comment or document names a file of this tree that does not exist.

Every tracked text file (sources, CMake files, scripts, documents, the page)
is searched for paths that start at one of the tree's top folders, such as
game/play_field.cpp or docs/screen-shapes.png; each must exist, as a file or
(when it ends in a slash) a folder, or be a program built there (a source
of that name, or a target of the folder's CMakeLists.txt). Paths with wildcards, and paths whose
parts are written as placeholders in capitals (tests/LAYER/WHAT_test.cpp),
stand for many files and are not checked. Paths under the build folders are
not in the tree and are never checked either.

Usage: tools/check-paths.py [ROOT]   (the tree this script is in by default)
Prints each missing path with the file and line that names it; the exit
status is 1 when there is one.
"""
import pathlib
import re
import subprocess
import sys

TOP_FOLDERS = ("runtime", "host", "framework", "music", "game", "tests", "bench",
               "tools", "docs", "web", "cmake")
TEXT_SUFFIXES = {".h", ".cpp", ".c", ".js", ".html", ".py", ".sh", ".cmake", ".md",
                 ".txt", ".in", ".json"}
# Words that stand for a name the reader fills in.
PLACEHOLDERS = {"LAYER", "WHAT", "TARGET", "PART", "NAME", "DIR", "FILE", "PREFIX",
                "SOURCE", "SECONDS", "SEED", "PATTERN"}

# A path starts at a top folder, not inside another path or a shell variable.
PATH = re.compile(r"(?<![\w./$}-])((?:%s)/[A-Za-z0-9_./*+-]*)" % "|".join(TOP_FOLDERS))


def tracked_text_files(root):
    names = subprocess.run(["git", "-C", str(root), "ls-files", "-z"], check=True,
                           capture_output=True).stdout.decode().split("\0")
    for name in names:
        path = root / name
        if name and (path.suffix in TEXT_SUFFIXES or path.name == "CMakeLists.txt") \
                and "/corpus/" not in name and path.is_file():
            yield path


def stands_for_many(path):
    if "*" in path or "..." in path:
        return True
    words = re.split(r"[/._-]", path)
    return any(word in PLACEHOLDERS for word in words)


def exists(root, path):
    target = root / path
    if path.endswith("/"):
        return target.is_dir()
    if target.exists() or any(target.with_name(target.name + suffix).exists()
                              for suffix in (".cpp", ".c")):
        return True
    cmake = target.parent / "CMakeLists.txt"
    return cmake.is_file() and re.search(r"\(\s*%s[\s)]" % re.escape(target.name),
                                         cmake.read_text()) is not None


def named_paths(text):
    for number, line in enumerate(text.splitlines(), 1):
        for match in PATH.finditer(line):
            path = match.group(1).rstrip(".,:;")
            if not stands_for_many(path):
                yield number, path


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                        pathlib.Path(__file__).resolve().parent.parent)
    missing = 0
    for source in tracked_text_files(root):
        text = source.read_text(encoding="utf-8", errors="replace")
        for number, path in named_paths(text):
            if not exists(root, path):
                print(f"{source.relative_to(root)}:{number}: names {path}, which does not exist")
                missing += 1
    if missing:
        print(f"check-paths: {missing} named path(s) do not exist")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
