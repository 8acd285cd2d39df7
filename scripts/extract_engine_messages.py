#!/usr/bin/env python3
"""Writes app/engine_message_table.h: the texts the engine and the image library
report (decoder errors, the conversion run's failures), so that the window can
show them in the user's language.

Each entry pairs the printf template as the engine formats it with the same
text in Qt's form (%1, %2, ...), which is what translators see. Run from the
repository root after changing a message; scripts/update_translations.sh runs
it first (with a path: writes there instead).
"""
import pathlib
import subprocess
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCES = [ROOT / "imagelib", ROOT / "engine"]
OUTPUT = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "app" / "engine_message_table.h"

LITERAL = r'"(?:[^"\\\n]|\\.)*"(?:\s*"(?:[^"\\\n]|\\.)*")*'
# A message is a literal handed to the calls that report one, or a named
# constant that holds one.
PATTERNS = [
    re.compile(r"\b(?:RaiseError|RaiseErrorFormat|CTextException)\s*\(\s*[A-Za-z_0-9:]+\s*,\s*(" + LITERAL + ")"),
    re.compile(r"\bFormatMessage\s*\(\s*(" + LITERAL + ")"),
    re.compile(r"\bconstexpr\s+(?:const\s+)?char\s*(?:const\s*)?\*?\s*k\w+(?:\[\])?\s*=\s*(" + LITERAL + ")\s*;"),
]
# The run's own messages are glued together around the output's path.
GLUED = [
    "Output file %s could not be created.",
    "Output file %s could not be written: %s.",
    "Output file %s already exists.",
    "Output file %s is the source picture itself; it was not overwritten.",
    "Error %d decoding %s: %s",
    "Error %d converting %s: %s",
]
SPECIFIER = re.compile(r"%(?:%|[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|z|j|t)?[diouxXcspfgeE])")


def unquote(literal):
    parts = re.findall(r'"((?:[^"\\\n]|\\.)*)"', literal)
    return bytes("".join(parts), "utf-8").decode("unicode_escape")


def is_message(text):
    # Sentences people read, not tags, formats of numbers or file suffixes.
    return bool(re.search(r"[A-Za-z]{2,}", text)) and " " in text.strip()


def qt_form(template):
    number = 0

    def replace(match):
        nonlocal number
        if match.group(0) == "%%":
            return "%"
        number += 1
        return "%" + str(number)

    return SPECIFIER.sub(replace, template)


def c_literal(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def main():
    found = set(GLUED)
    for folder in SOURCES:
        for path in sorted(folder.rglob("*.cpp")) + sorted(folder.rglob("*.h")):
            source = path.read_text(encoding="utf-8", errors="replace")
            for pattern in PATTERNS:
                for match in pattern.finditer(source):
                    text = unquote(match.group(1))
                    if is_message(text):
                        found.add(text)
    lines = [
        "// Written by scripts/extract_engine_messages.py: the engine's and the image",
        "// library's messages, as printf templates and as translators see them. No",
        "// include guard: app/engine_messages.cpp includes it into a table.",
    ]
    # The longest fixed text first, so a message is taken by its own template
    # before one that says less.
    fixed = lambda template: len(SPECIFIER.sub("", template))
    for template in sorted(found, key=lambda template: (-fixed(template), template)):
        lines.append(
            "KESTRIN_ENGINE_MESSAGE(" + c_literal(template) + ",\n"
            "                       QT_TRANSLATE_NOOP(\"EngineMessage\", " + c_literal(qt_form(template)) + "))"
        )
    OUTPUT.write_text("\n".join(lines) + "\n", encoding="utf-8")
    subprocess.run(["clang-format", "-i", "--style=file:" + str(ROOT / ".clang-format"), str(OUTPUT)], check=True)
    print(f"{OUTPUT.name}: {len(found)} messages", file=sys.stderr)


main()
