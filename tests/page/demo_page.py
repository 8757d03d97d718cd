#!/usr/bin/env python3
"""The demo's page in a real browser: it plays the demo scenario with --json and --html, has headless
chromium take a screenshot of the page, and checks that the page loads nothing from outside, that the
browser drew its figures, and that its figures are those of the JSON report."""
import argparse
import html.parser
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import urllib.request
import zlib

WIDTH, HEIGHT = 1280, 2400


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


class Page(html.parser.HTMLParser):
    """Collects the elements a check needs: tags, attributes, the city sections and their table rows."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.attributes, self.cities, self.text = [], [], {}, []
        self.city, self.table, self.share = None, None, False
        self.npcs = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags.append(tag)
        self.attributes += [(tag, name, value or "") for name, value in attrs.items()]
        if tag == "section" and "data-city" in attrs:
            self.city = {"citizens": int(attrs["data-citizens"]), "women": int(attrs["data-women"]),
                         "tables": {}, "share": ""}
            self.cities[attrs["data-city"]] = self.city
        if tag == "section" and "data-unique-npcs" in attrs:
            self.npcs = int(attrs["data-unique-npcs"])
        if tag == "table" and "data-kind" in attrs and self.city is not None:
            self.table = self.city["tables"].setdefault(attrs["data-kind"], {})
        if tag == "tr" and "data-count" in attrs and self.table is not None:
            self.table[attrs["data-form"]] = (int(attrs["data-count"]), attrs.get("class", ""))
        if tag == "b" and attrs.get("data-role") == "share":
            self.share = True

    def handle_endtag(self, tag):
        if tag == "table":
            self.table = None
        if tag == "section":
            self.city = None
        if tag == "b":
            self.share = False

    def handle_data(self, data):
        self.text.append(data)
        if self.share and self.city is not None:
            self.city["share"] += data


def check_self_contained(text, page):
    """Nothing the browser would fetch: no script, no link, no address in an attribute or a style."""
    if re.search(r"<\s*script", text, re.I):
        fail("the page holds a script")
    for pattern in (r"https?:", r"//", r"url\s*\(", r"@import"):
        if re.search(pattern, text, re.I):
            fail("the page holds %r" % pattern)
    for tag in ("script", "link", "iframe", "object", "embed", "img", "image", "use", "base", "a", "form"):
        if tag in page.tags:
            fail("the page holds a <%s> element" % tag)
    for tag, name, _ in page.attributes:
        if name in ("src", "href", "xlink:href", "srcset", "action", "data", "poster", "background"):
            fail("<%s> has a %s attribute" % (tag, name))
    if '<meta charset="utf-8">' not in text:
        fail("the page does not declare UTF-8")


def check_figures(report, page):
    """Every city's citizens, women and share, and each drawn form's count, against the JSON report."""
    if page.npcs != len(report["uniqueNPCs"]):
        fail("unique NPCs: page %s, report %d" % (page.npcs, len(report["uniqueNPCs"])))
    spawned = 0
    for city in report["cities"]:
        name = city["name"]
        shown = page.cities.get(name)
        if shown is None:
            fail("no section for " + name)
        women = sum(1 for c in city["citizens"] if c["female"])
        if (shown["citizens"], shown["women"]) != (len(city["citizens"]), women):
            fail("%s: page %d citizens, %d women; report %d, %d" %
                 (name, shown["citizens"], shown["women"], len(city["citizens"]), women))
        if not city["citizens"]:
            continue
        spawned += 1
        share = "%.1f" % (100.0 * city["femaleShare"])
        if not shown["share"].startswith(share):
            fail("%s: the page shows a share of %r, the report %s" % (name, shown["share"], share))
        for kind, used, listed in (("faces", "facesUsed", "facesListed"), ("clothing", "clothingUsed", "clothingListed"),
                                   ("voices", "voicesUsed", None), ("facialAnims", "facialAnimsUsed", None)):
            rows = shown["tables"].get(kind, {})
            expected = dict(city[used])
            for form in (city[listed] if listed else {}):
                expected.setdefault(form, 0)
            counts = {form: count for form, (count, _) in rows.items()}
            differ = {form: (counts.get(form), expected.get(form))
                      for form in set(counts) | set(expected) if counts.get(form) != expected.get(form)}
            if differ:
                fail("%s %s: form -> (page, report): %s" % (name, kind, differ))
            never = {form for form, (_, cls) in rows.items() if cls == "never"}
            if never != {form for form, count in expected.items() if count == 0}:
                fail("%s %s: forms marked never drawn: %s" % (name, kind, sorted(never)))
        # The counts per form add up to the citizens that carry one.
        if sum(city["voicesUsed"].values()) != sum(1 for c in city["citizens"] if c["voice"]):
            fail("%s: the report's voice counts do not add up to its citizens" % name)
    if spawned == 0:
        fail("the demo spawned no citizens")
    text = "".join(page.text)
    for city in report["cities"]:
        for given in city["namesGiven"]:
            if given not in text:
                fail("the name %r is not on the page" % given)


def png_pixels(path):
    """The screenshot's size and its rows of RGB(A) pixels, unfiltered as PNG decoders do."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("the screenshot is no PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, color, _, _, interlace = header
    if depth != 8 or color not in (2, 6) or interlace:
        fail("unexpected PNG format: depth %d, color type %d, interlace %d" % (depth, color, interlace))
    step = 4 if color == 6 else 3
    raw, stride = zlib.decompress(idat), width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up, corner = previous[i], previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, step, rows


def check_screenshot(path):
    """The browser drew the page: the PNG has the window's size and the figures' own colors in it."""
    if not os.path.isfile(path):
        fail("chromium made no screenshot")
    width, height, step, rows = png_pixels(path)
    if (width, height) != (WIDTH, HEIGHT):
        fail("the screenshot is %dx%d, not the window's %dx%d" % (width, height, WIDTH, HEIGHT))
    colors = {}
    for row in rows:
        for x in range(0, len(row), step * 2):
            colors[row[x:x + 3]] = colors.get(row[x:x + 3], 0) + 1
    # The share bar's women (#c05a8a) and a histogram's bars (#5b8db8) come from the page's SVG and CSS.
    for name, rgb in (("share bar", b"\xc0\x5a\x8a"), ("histogram bars", b"\x5b\x8d\xb8")):
        if colors.get(rgb, 0) < 200:
            fail("the screenshot shows too little of the %s (%d pixels)" % (name, colors.get(rgb, 0)))
    if len(colors) < 50:
        fail("the screenshot has only %d colors" % len(colors))


def check_requests(net_log):
    """What the page asked the network for while the browser showed it: nothing. The browser's own
    background requests (updates, accounts) are told apart by the page's file:// isolation key."""
    with open(net_log, encoding="utf-8", errors="replace") as f:
        events = json.load(f)["events"]
    asked = sorted({e["params"]["url"] for e in events
                    if "url" in e.get("params", {}) and "file://" in e["params"].get("network_isolation_key", "")})
    if asked:
        fail("the page made the browser request %s" % asked)


def check_in_browser(chromium, page_path, work):
    """Headless chromium shows the page: it draws the figures and asks the network for nothing."""
    shot = os.path.join(work, "page.png")
    net_log = os.path.join(work, "net.json")
    browser = subprocess.run(
        [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-extensions",
         "--no-first-run", "--hide-scrollbars", "--disable-background-networking",
         "--user-data-dir=" + os.path.join(work, "profile"),
         "--host-resolver-rules=MAP * ~NOTFOUND", "--log-net-log=" + net_log,
         "--screenshot=" + shot, "--window-size=%d,%d" % (WIDTH, HEIGHT),
         "file://" + urllib.request.pathname2url(os.path.abspath(page_path))],
        cwd=work, capture_output=True, text=True, timeout=120)
    if browser.returncode != 0:
        fail("chromium ended with %d: %s" % (browser.returncode, browser.stderr[-2000:]))
    check_screenshot(shot)
    check_requests(net_log)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--world", help="world file; without it the sim makes the world from the data")
    parser.add_argument("--chromium", default=shutil.which("chromium") or "chromium")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="bw-page-")
    try:
        # Relative paths: wine's view of a Unix path is its own.
        world = ["--world", args.world] if args.world else []
        sim = subprocess.run(["wine", args.sim, "run", args.scenario, "--game-dir", "game", "--json", "report.json",
                              "--html", "demo.html"] + world, cwd=work, capture_output=True, text=True, timeout=240)
        if sim.returncode != 0:
            fail("the sim ended with %d: %s" % (sim.returncode, sim.stderr[-2000:]))
        with open(os.path.join(work, "report.json"), encoding="utf-8") as f:
            report = json.load(f)
        with open(os.path.join(work, "demo.html"), encoding="utf-8") as f:
            text = f.read()
        page = Page()
        page.feed(text)
        check_self_contained(text, page)
        check_figures(report, page)

        check_in_browser(args.chromium, os.path.join(work, "demo.html"), work)
        print("page checked: %d cities, %d unique NPCs" % (len(page.cities), page.npcs))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
