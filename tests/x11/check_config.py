#!/usr/bin/env python3
"""Checks a display mode's settings file against the files Debian's xscreensaver-data ships:
the same root element and attributes, only elements and attributes those files use, sound
number ranges, and options the program itself accepts.

  check_config.py SETTINGS.xml PROGRAM [DEBIAN_CONFIG_DIR]

Exits with 0 when every check holds, printing one line; with 1 and the faults otherwise.
"""
import glob
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def Vocabulary(directory):
    """Element name -> the attribute names Debian's files give it."""
    words = {}
    for path in glob.glob(os.path.join(directory, "*.xml")):
        for element in ElementTree.parse(path).getroot().iter():
            words.setdefault(element.tag, set()).update(element.attrib)
    return words


def Accepts(program, args):
    """The program takes these arguments (the help after them ends it before the show)."""
    return subprocess.run([program] + args + ["--help"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=10).returncode == 0


def Check(settings, program, directory):
    faults = []
    words = Vocabulary(directory)
    if not words:
        return ["no settings files in " + directory]
    root = ElementTree.parse(settings).getroot()
    if root.tag != "screensaver" or not {"name", "_label"} <= set(root.attrib):
        faults.append("the root is not <screensaver name=... _label=...>")
    if root.get("name") != os.path.basename(program):
        faults.append("name %r is not the program's %r" % (root.get("name"),
                                                          os.path.basename(program)))
    command = root.find("command")
    base = command.get("arg", "").split() if command is not None else []
    if "--root" not in base:
        faults.append("the command does not pass --root")
    if root.find("_description") is None or not root.find("_description").text.strip():
        faults.append("no description")
    for element in root.iter():
        if element.tag not in words:
            faults.append("<%s> is no element of Debian's files" % element.tag)
            continue
        unknown = set(element.attrib) - words[element.tag]
        if unknown:
            faults.append("<%s> has attributes %s that Debian's files do not use" %
                          (element.tag, sorted(unknown)))
        if element.tag == "number":
            low, high, default = (int(element.get(k)) for k in ("low", "high", "default"))
            if not low <= default <= high or element.get("type") not in ("slider", "spinbutton"):
                faults.append("number %s: bad range or type" % element.get("id"))
            if not Accepts(program, base + element.get("arg").replace("%", str(default)).split()):
                faults.append("the program refuses " + element.get("arg"))
        elif element.tag == "boolean":
            args = [element.get(k) for k in ("arg-set", "arg-unset") if element.get(k)]
            if len(args) != 1 or not Accepts(program, base + args[0].split()):
                faults.append("boolean %s: not one accepted option" % element.get("id"))
        elif element.tag == "file":
            if not Accepts(program, base + element.get("arg").replace("%", "/tmp").split()):
                faults.append("the program refuses " + element.get("arg"))
    return faults


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    directory = argv[3] if len(argv) == 4 else "/usr/share/xscreensaver/config"
    faults = Check(argv[1], argv[2], directory)
    for fault in faults:
        print(fault)
    if not faults:
        print("%s has the format of the files in %s" % (os.path.basename(argv[1]), directory))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
