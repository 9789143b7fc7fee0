#!/usr/bin/env python3
"""Checks a display mode's settings file against the files Debian's xscreensaver-data ships
and against the program: the same root element and attributes, only elements and attributes
those files use, sound number ranges, and, for every combination of the widgets' settings,
the command line xscreensaver-settings makes of them, alone and with the --window-id its
preview adds, is one the program accepts and one the settings page reads back into the same
settings.

  check_config.py SETTINGS.xml PROGRAM [DEBIAN_CONFIG_DIR]

Exits with 0 when every check holds, printing one line; with 1 and the faults otherwise.
"""
import glob
import itertools
import os
import shlex
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

# What the settings page writes for a folder with characters the shell treats specially.
FOLDER = "/tmp/my pictures's (new)"
PREVIEW_WINDOW = "0x400EE5"


def Vocabulary(directory):
    """Element name -> the attribute names Debian's files give it."""
    words = {}
    for path in glob.glob(os.path.join(directory, "*.xml")):
        for element in ElementTree.parse(path).getroot().iter():
            words.setdefault(element.tag, set()).update(element.attrib)
    return words


def Quote(value):
    """The value as the settings page quotes it into a command line."""
    if value and not any(c in value for c in " \t'\"#%&()*!$") and value.isprintable():
        return value
    return '"' + "".join("\\" + c if c in '!"$' else c for c in value) + '"'


def Settings(widget):
    """The settings of one widget the page offers, each as (setting, words it writes)."""
    arg = widget.get("arg", "")
    if widget.tag == "number":
        low, high, default = (int(widget.get(k)) for k in ("low", "high", "default"))
        # The page leaves out a number at its default.
        return [(value, arg.replace("%", str(value)) if value != default else "")
                for value in sorted({low, default, high})]
    if widget.tag == "boolean":
        return [(state, widget.get("arg-set" if state else "arg-unset", ""))
                for state in (True, False)]
    if widget.tag in ("file", "string"):
        return [(value, arg.replace("%", Quote(value)) if value else "")
                for value in ("", FOLDER)]
    return []


def Accepts(program, line):
    """The program takes the command line: without a display it stops at the display (1)
    rather than at the options (2)."""
    environment = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    words = [program] + shlex.split(line)[1:]
    result = subprocess.run(words, env=environment, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, timeout=10)
    return result.returncode == 1 and "DISPLAY" in result.stderr


def ReadBack(widgets, line):
    """The settings the page reads out of a command line: each word that starts an option is
    matched with the widget whose option it is, taking the next word as its value unless that
    starts an option itself (-x or --x)."""
    words = shlex.split(line)[1:]
    read = {}
    i = 0
    while i < len(words):
        option = words[i]
        value = None
        following = words[i + 1] if i + 1 < len(words) else "--"
        if not (following[:1] == "-" and (following[1:2] == "-" or following[1:2].isalpha())):
            value = words[i + 1]
            i += 1
        i += 1
        for widget in widgets:
            arg = widget.get("arg")
            if arg and arg.split()[0] == option and ("%" in arg) == (value is not None):
                read[widget.get("id")] = int(value) if widget.tag == "number" else value
                break
            if widget.get("arg-set") == option:
                read[widget.get("id")] = True
                break
            if widget.get("arg-unset") == option:
                read[widget.get("id")] = False
                break
    return read


def Defaults(widget):
    if widget.tag == "number":
        return int(widget.get("default"))
    if widget.tag == "boolean":
        return widget.get("arg-set") is None
    return ""


def CheckCombinations(root, program):
    faults = []
    command = root.find("command").get("arg", "")
    widgets = [w for w in root.iter() if Settings(w)]
    combinations = 0
    for choice in itertools.product(*(Settings(w) for w in widgets)):
        line = " ".join(filter(None, [os.path.basename(program), command] +
                               [words for _, words in choice]))
        combinations += 1
        for run in (line, line + " --window-id " + PREVIEW_WINDOW):
            if not Accepts(program, run):
                faults.append("the program refuses: " + run)
        wanted = {w.get("id"): setting for w, (setting, _) in zip(widgets, choice)}
        read = {w.get("id"): Defaults(w) for w in widgets}
        read.update(ReadBack(widgets, line))
        if read != wanted:
            faults.append("the page reads %r back from: %s" % (read, line))
    return faults, combinations


def Check(settings, program, directory):
    faults = []
    words = Vocabulary(directory)
    if not words:
        return ["no settings files in " + directory], 0
    root = ElementTree.parse(settings).getroot()
    if root.tag != "screensaver" or not {"name", "_label"} <= set(root.attrib):
        faults.append("the root is not <screensaver name=... _label=...>")
    if root.get("name") != os.path.basename(program):
        faults.append("name %r is not the program's %r" % (root.get("name"),
                                                          os.path.basename(program)))
    command = root.find("command")
    if command is None or "--root" not in command.get("arg", "").split():
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
    # Every one of Debian's files has it.
    if root.find("xscreensaver-updater") is None:
        faults.append("no <xscreensaver-updater/>")
    if faults:
        return faults, 0
    return CheckCombinations(root, program)


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    directory = argv[3] if len(argv) == 4 else "/usr/share/xscreensaver/config"
    faults, combinations = Check(argv[1], argv[2], directory)
    for fault in faults:
        print(fault)
    if not faults:
        print("%s has the format of the files in %s; the program takes all %d combinations of "
              "its settings, with and without a preview window" %
              (os.path.basename(argv[1]), directory, combinations))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
