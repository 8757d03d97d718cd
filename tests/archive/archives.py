#!/usr/bin/env python3
"""The two archives as the people who get them use them. Both are packed twice, into folders of
different names, and must be the same bytes, with no path of this build machine in any file. The
authors' archive holds exactly its files, and its programs import only system DLLs. Unpacked into an
empty folder with blanks and non-ASCII letters in its name, far from the build tree, Check.cmd and
Preview.cmd run under wine on the shipped data and on data whose forms come from plug-in files the
sample world does not know; Preview.cmd opens its page in the browser, and headless chromium
renders that page.

    archives.py --cmake CMAKE --objdump OBJDUMP --source DIR --build DIR --chromium PATH
                RELEASE <MakeReleaseArchive args> AUTHORS <MakeAuthorsArchive args>"""
import argparse
import filecmp
import html
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import urllib.parse
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "page"))
import demo_page  # noqa: E402  (the page's parser and its checks in the browser)

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "msvcrt.dll",
               "ws2_32.dll", "bcrypt.dll", "shlwapi.dll", "version.dll", "dbghelp.dll", "psapi.dll",
               "userenv.dll", "ntdll.dll", "oleaut32.dll", "gdi32.dll", "comdlg32.dll"}
AUTHORS_FILES = {"Authors-README.txt", "Check.cmd", "Preview.cmd", "Tools/brindlewick-check.exe",
                 "Tools/brindlewick-preview.exe", "Tools/Brindlewick.dll", "Tools/Preview-scenario.txt"}
CITIES = ("NewAtlantis", "AkilaCity", "Cydonia", "Neon")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def split_groups(argv):
    """The options before RELEASE, then the two groups of -D arguments."""
    release, authors = argv.index("RELEASE"), argv.index("AUTHORS")
    return argv[:release], argv[release + 1:authors], argv[authors + 1:]


def pack(cmake, script, arguments, out):
    run = subprocess.run([cmake] + arguments + ["-DOUT=" + out, "-P", script], capture_output=True, text=True)
    if run.returncode != 0:
        fail("%s failed: %s" % (os.path.basename(script), run.stdout + run.stderr))


def check_reproducible(args, release_args, authors_args, work):
    scripts = os.path.join(args.source, "cmake")
    packed = []
    for run in ("first", "second packing"):
        out = os.path.join(work, run)
        os.makedirs(out)
        pack(args.cmake, os.path.join(scripts, "MakeReleaseArchive.cmake"), release_args, out)
        pack(args.cmake, os.path.join(scripts, "MakeAuthorsArchive.cmake"), authors_args, out)
        packed.append(sorted(os.path.join(out, name) for name in os.listdir(out)))
    names = [[os.path.basename(path) for path in run] for run in packed]
    if names[0] != names[1] or len(names[0]) != 3:
        fail("the two packings made different archives: %s" % names)
    for first, second in zip(*packed):
        if not filecmp.cmp(first, second, shallow=False):
            fail("%s differs between two packings of the same files" % os.path.basename(first))
    return packed[0]


def check_no_build_paths(archive, args):
    needles = []
    for folder in {os.path.realpath(args.source), os.path.realpath(args.build)}:
        needles += [folder.encode(), folder.encode("utf-16-le")]
        wine_form = ("Z:" + folder.replace("/", "\\"))
        needles += [wine_form.encode(), wine_form.encode("utf-16-le")]
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            data = z.read(info)
            for needle in needles:
                if needle in data:
                    fail("%s in %s names the build machine's %r" %
                         (info.filename, os.path.basename(archive), needle.decode(errors="replace")))


def check_authors_listing(archive, data_folder):
    with zipfile.ZipFile(archive) as z:
        listed = {info.filename for info in z.infolist()}
    expected = set(AUTHORS_FILES)
    for root, _, files in os.walk(data_folder):
        for name in files:
            expected.add("Quillmere/" + os.path.relpath(os.path.join(root, name), data_folder).replace(os.sep, "/"))
    if listed != expected:
        fail("the authors' archive's files differ:\nmissing %s\nextra %s" %
             (sorted(expected - listed), sorted(listed - expected)))


def check_programs(objdump, folder):
    """Only system DLLs imported, and no link time in the PE header: a rebuild gives the same bytes."""
    for name in ("brindlewick-check.exe", "brindlewick-preview.exe", "Brindlewick.dll"):
        path = os.path.join(folder, "Tools", name)
        dump = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True,
                              env=dict(os.environ, TZ="UTC")).stdout
        stamp = re.search(r"^Time/Date\s+(.*)$", dump, re.M)
        if not stamp or "1970" not in stamp.group(1):
            fail("%s carries a time in its PE header: %s" % (name, stamp.group(1) if stamp else "none read"))
        imported = {dll.lower() for dll in re.findall(r"DLL Name: (\S+)", dump)}
        if not imported:
            fail("%s imports nothing: objdump found no import table" % name)
        foreign = sorted(dll for dll in imported if dll not in SYSTEM_DLLS and not dll.startswith("api-ms-win-"))
        if foreign:
            fail("%s imports DLLs a clean Windows lacks: %s" % (name, foreign))


def check_line_ends(folder):
    for name in ("Check.cmd", "Preview.cmd", "Authors-README.txt"):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if data.count(b"\n") == 0 or data.count(b"\n") != data.count(b"\r\n"):
            fail("%s does not have Windows line ends" % name)
        if re.search(rb"@[A-Z_]+@", data):
            fail("%s has an unfilled placeholder" % name)


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True, check=True).stdout.strip()


def run_command(folder, command, data, environment):
    """Runs a double-click command in its folder, with the data folder dropped onto it (or none)."""
    arguments = ["wine", "cmd", "/c", command] + ([windows_path(data)] if data else [])
    run = subprocess.run(arguments, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                         capture_output=True, timeout=300)
    return run.returncode, run.stdout.decode("utf-8", "replace") + run.stderr.decode("utf-8", "replace")


def write(path, text, bom=True):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write((b"\xef\xbb\xbf" if bom else b"") + text.replace("\n", "\r\n").encode("utf-8"))


def foreign_data(folder):
    """A data folder whose every form comes from an author's own plug-in files."""
    write(os.path.join(folder, "Settings.ini"), "[Debug]\nbLogging=0\n")
    for n, city in enumerate(CITIES):
        base = os.path.join(folder, city)
        write(os.path.join(base, "LocationData.ini"),
              "[Height]\nfFemaleMinHeight=0.90\nfFemaleMaxHeight=1.00\nfMaleMinHeight=1.00\nfMaleMaxHeight=1.10\n"
              "[General]\niFemalePercent=%d\nbDisableNames=0\n" % (30 + 10 * n))
        write(os.path.join(base, "FemaleFaceNPCs.txt"),
              "".join("%06X_ZoeFaces.esp ; Zoë's face %d\n" % (0x800 + i, i) for i in range(12)))
        write(os.path.join(base, "MaleFaceNPCs.txt"),
              "".join("%03X_ZoeLight.esl ; Łukasz's face %d\n" % (0x10 + i, i) for i in range(12)))
        write(os.path.join(base, "FemaleClothing.txt"), "000900_ZoeTailor.esm ; gown\n000901_ZoeTailor.esm\n")
        write(os.path.join(base, "MaleClothing.txt"), "000910_ZoeTailor.esm ; coat\n")
        for sex in ("Female", "Male"):
            write(os.path.join(base, sex + "Anims.txt"), "000A00_ZoeFaces.esp\n000A01_ZoeFaces.esp\n")
            write(os.path.join(base, sex + "Voices.txt"), "000B00_ZoeFaces.esp\n")
            write(os.path.join(base, sex + "Names.txt"), "Zoë\nAgnieszka\nÉmile\n")
            write(os.path.join(base, sex + "LastNames.txt"), "Wójcik\nNakamura\n")
        write(os.path.join(base, "EncounterPoints.txt"),
              "".join("%06X_ZoeWorld.esm ; bench %d\n" % (0xC00 + 16 * n + i, i) for i in range(3)))
    write(os.path.join(folder, "UniqueNPCs", "Zofia.ini"),
          "[Character]\nsName=Zofia Wójcik\niAppearance=000D00_ZoeFaces.esp\niFacialAnim=000A00_ZoeFaces.esp\n"
          "iVoiceType=000B00_ZoeFaces.esp\nfHeight=1.02\n[Neon]\niEncounterChance=100\niClothing=000900_ZoeTailor.esm\n")


def browser_catcher(folder):
    """A stand-in for the desktop's browser launcher, found first on PATH: notes what it was asked to open."""
    bin_folder = os.path.join(folder, "bin")
    os.makedirs(bin_folder)
    opened = os.path.join(folder, "opened.txt")
    for name in ("xdg-open", "firefox"):
        script = os.path.join(bin_folder, name)
        with open(script, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % opened)
        os.chmod(script, os.stat(script).st_mode | stat.S_IEXEC)
    return bin_folder, opened


def check_check(folder, data, environment, expect_forms):
    code, output = run_command(folder, "Check.cmd", data, environment)
    if code != 0 or "Result: no errors." not in output:
        fail("Check.cmd on %s ended with %d:\n%s" % (data or "the data next to it", code, output))
    for city, count in expect_forms.items():
        if not re.search(r"summary: %s: FemaleFaceNPCs %d, " % (city, count), output):
            fail("Check.cmd's summary for %s does not count %d female faces:\n%s" % (city, count, output))
    return output


def check_preview(folder, data, environment, opened, chromium, work, expect):
    code, output = run_command(folder, "Preview.cmd", data, environment)
    name = os.path.basename(data) if data else "Quillmere"
    page_path = os.path.join(folder, "Preview of %s.html" % name)
    if code != 0 or not os.path.isfile(page_path):
        fail("Preview.cmd on %s ended with %d:\n%s" % (data or "the data next to it", code, output))
    wanted = "file://" + os.path.realpath(page_path)
    asked = []
    for _ in range(100):  # the launcher runs on its own after the command has returned
        if os.path.isfile(opened):
            with open(opened, encoding="utf-8") as f:
                asked = [urllib.parse.unquote(line) for line in f.read().splitlines()]
            if wanted in asked:
                break
        time.sleep(0.1)
    else:
        fail("Preview.cmd did not ask the browser to open %s; it asked for %s" % (wanted, asked))
    with open(page_path, encoding="utf-8") as f:
        text = f.read()
    page = demo_page.Page()
    page.feed(text)
    demo_page.check_self_contained(text, page)
    if sorted(page.cities) != sorted(CITIES) or any(c["citizens"] != 200 for c in page.cities.values()):
        fail("the page of %s does not show 200 citizens in each city: %s" %
             (name, {k: v["citizens"] for k, v in page.cities.items()}))
    shown = html.unescape(text)
    for part in expect:
        if part not in shown:
            fail("the page of %s does not show %r" % (name, part))
    demo_page.check_in_browser(chromium, page_path, work)


def main():
    options, release_args, authors_args = split_groups(sys.argv[1:])
    parser = argparse.ArgumentParser()
    for name in ("--cmake", "--objdump", "--source", "--build"):
        parser.add_argument(name, required=True)
    parser.add_argument("--chromium", default=shutil.which("chromium") or "chromium")
    args = parser.parse_args(options)

    work = tempfile.mkdtemp(prefix="bw-archives-")
    try:
        packed = check_reproducible(args, release_args, authors_args, work)
        release, debug, authors = (next(p for p in packed if re.search(end, p))
                                   for end in (r"-[0-9.]+\.zip$", r"-debug\.zip$", r"-authors\.zip$"))
        for archive in (release, debug, authors):
            check_no_build_paths(archive, args)
        shipped = os.path.join(args.source, "data", "Quillmere")
        check_authors_listing(authors, shipped)

        folder = os.path.join(work, "Autorin Zoë Łukasz", "Brindlewick tools")
        with zipfile.ZipFile(authors) as z:
            z.extractall(folder)
        check_programs(args.objdump, folder)
        check_line_ends(folder)

        bin_folder, opened = browser_catcher(work)
        environment = dict(os.environ, PATH=bin_folder + os.pathsep + os.environ.get("PATH", ""))
        check_check(folder, None, environment, {})
        check_preview(folder, None, environment, opened, args.chromium, work, ["Vesna Orlov"])

        foreign = os.path.join(work, "Meine Städte", "Zoes Quillmere")
        foreign_data(foreign)
        output = check_check(folder, foreign, environment, {city: 12 for city in CITIES})
        if "Neon: " not in output or not re.search(r"summary: Neon: .*; unique NPCs 1", output):
            fail("Check.cmd does not count Zofia in Neon:\n" + output)
        check_preview(folder, foreign, environment, opened, args.chromium, work,
                      ["Zoë's face", "Łukasz's face", "Zofia Wójcik", "gown", "bench"])

        # A data folder with a form ID that is no hexadecimal number: an error at its line, exit code 1.
        broken = os.path.join(work, "broken", "Quillmere")
        shutil.copytree(foreign, broken)
        write(os.path.join(broken, "Cydonia", "MaleClothing.txt"), "000910_ZoeTailor.esm\n00G910_ZoeTailor.esm\n")
        code, output = run_command(folder, "Check.cmd", broken, environment)
        if code != 1 or not re.search(r"Cydonia/MaleClothing\.txt:2: error: .*00G910", output):
            fail("Check.cmd on a bad form ID ended with %d:\n%s" % (code, output))
        # A file dropped instead of a folder: said so, exit code 2.
        code, output = run_command(folder, "Check.cmd", os.path.join(folder, "Authors-README.txt"), environment)
        if code != 2 or "is not a folder" not in output:
            fail("Check.cmd on a file ended with %d:\n%s" % (code, output))
        # Check.cmd taken out of the archive alone, as Explorer runs it from inside the zip: it says so.
        lonely = os.path.join(work, "lonely")
        os.makedirs(lonely)
        shutil.copy(os.path.join(folder, "Check.cmd"), lonely)
        code, output = run_command(lonely, "Check.cmd", shipped, environment)
        if code == 0 or "Result: the checker did not run" not in output:
            fail("Check.cmd without its tools ended with %d:\n%s" % (code, output))
        print("archives checked: %s" % ", ".join(os.path.basename(p) for p in (release, debug, authors)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
