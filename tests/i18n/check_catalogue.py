#!/usr/bin/env python3
"""Fails when a text of the program is missing from the German catalogue.

Reads the program's sources into a copy of the catalogue with lupdate, exactly as
the update_translations target does, and then requires every message of the copy
to carry a finished, non-empty translation. A text added to the code and not yet
translated, a text whose translation is still marked unfinished and a plural
form left empty all fail, each named with its context.

    check_catalogue.py LUPDATE CATALOGUE SOURCE_DIR...
"""

import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def untranslated(catalogue):
    problems = []
    for context in ElementTree.parse(catalogue).getroot().iter("context"):
        name = context.findtext("name", "")
        for message in context.iter("message"):
            source = message.findtext("source", "")
            translation = message.find("translation")
            if translation is None:
                problems.append((name, source, "no translation"))
                continue
            kind = translation.get("type", "")
            if kind in ("vanished", "obsolete"):
                continue
            forms = [form.text or "" for form in translation.iter("numerusform")]
            texts = forms if message.get("numerus") == "yes" else [translation.text or ""]
            if kind == "unfinished":
                problems.append((name, source, "unfinished"))
            elif not texts or any(not text.strip() for text in texts):
                problems.append((name, source, "empty"))
    return problems


def main(arguments):
    if len(arguments) < 3:
        print(__doc__)
        return 2
    lupdate, catalogue, sources = arguments[0], arguments[1], arguments[2:]
    with tempfile.TemporaryDirectory() as folder:
        copy = os.path.join(folder, os.path.basename(catalogue))
        shutil.copyfile(catalogue, copy)
        result = subprocess.run(
            [lupdate, "-silent", "-no-obsolete", "-locations", "none", "-extensions", "cpp,h",
             *sources, "-ts", copy],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0:
            print(result.stdout)
            print("lupdate failed with exit code %d" % result.returncode)
            return 1
        problems = untranslated(copy)
    for context, source, reason in problems:
        print("%s: \"%s\": %s" % (context, source, reason))
    if problems:
        print("%d text(s) of the program have no German translation; run the "
              "update_translations target and translate them in %s" % (len(problems), catalogue))
        return 1
    print("every text has a German translation")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
