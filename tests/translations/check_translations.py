"""Checks that every text of the window is translated in every language; of
the engine's messages (context EngineMessage), which the window shows in
English until they are, those that are.

The code's texts are extracted afresh (scripts/update_translations.sh into a
scratch folder), so a text added without its translations fails here. Each
translation keeps the placeholders of its English text and, where the English
text has a keyboard mnemonic, has exactly one.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

PLACEHOLDER = re.compile(r"%(?:\d|s)")
# "&" before a letter marks the mnemonic; "&&" and "& " are plain ampersands.
MNEMONIC = re.compile(r"&(?![&\s])")


def problems_of(path):
    found = []
    for context in ElementTree.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            translation = message.find("translation")
            text = translation.text or ""
            kind = translation.get("type")
            where = f"{name}: {source!r}"
            # The engine's messages are shown in English until translated.
            if name == "EngineMessage" and kind == "unfinished":
                continue
            if kind in ("unfinished", "vanished", "obsolete") or not text:
                found.append(f"{where} is {kind or 'empty'}")
                continue
            if sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
                found.append(f"{where}: placeholders differ in {text!r}")
            if len(MNEMONIC.findall(source)) != len(MNEMONIC.findall(text)):
                found.append(f"{where}: mnemonics differ in {text!r}")
    return found


def main(root):
    with tempfile.TemporaryDirectory() as scratch:
        env = dict(os.environ, KESTRIN_TRANSLATIONS_OUT=scratch)
        subprocess.run([os.path.join(root, "scripts", "update_translations.sh")], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        files = sorted(f for f in os.listdir(scratch) if f.endswith(".ts"))
        if not files:
            print("no translations found")
            return 1
        failed = False
        for name in files:
            problems = problems_of(os.path.join(scratch, name))
            for problem in problems:
                print(f"{name}: {problem}")
            failed = failed or bool(problems)
        return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
