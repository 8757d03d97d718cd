#!/usr/bin/env python3
"""Every include of the plug-in's code and of the sim points down the layer table of CONTRIBUTING.md:
an include that climbs back up fails here, naming the file, the line and the include."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

# The layers outside src/Main, each with the top folders of the includes it may use. The version
# header is generated for everyone.
LAYERS = {
    "Parse": {"Parse"},
    "Win": {"Win"},
    "REL": {"Parse", "Win", "REL", "SFSE"},
    "SFSE": {"Parse", "Win", "REL", "SFSE"},
    "RE": {"REL", "RE"},
    "Helpers": {"Parse", "Win", "REL", "SFSE", "RE", "Helpers"},
    "Classes": {"Parse", "Win", "REL", "SFSE", "RE", "Helpers", "Classes"},
}
BELOW_MAIN = set(LAYERS)
# src/Main's folders from the top down; a folder includes only folders of a lower rank.
MAIN_RANKS = [["Startup"], ["Console", "Events"], ["Changes"], ["Appearance", "Citizens", "UniqueNPCs", "Settings"],
              ["Cities"], ["LeveledLists"], ["Game"]]
RANK = {folder: rank for rank, folders in enumerate(MAIN_RANKS) for folder in folders}


def allowed(layer, subfolder, target):
    top = target.split("/")[0]
    if target == "BrindlewickVersion.h":
        return True
    if layer in LAYERS:
        return top in LAYERS[layer]
    if layer == "Main":
        if top in BELOW_MAIN:
            return True
        if top != "Main":
            return False
        folder = target.split("/")[1]
        return folder == subfolder or (folder in RANK and subfolder in RANK and RANK[folder] > RANK[subfolder])
    return True


def layer_of(path):
    parts = path.relative_to(ROOT).parts
    if parts[0] in ("src", "include") and len(parts) > 2:
        layer = parts[1]
        subfolder = parts[2] if layer == "Main" and len(parts) > 3 else None
        return layer, subfolder
    return None, None


def main():
    broken = []
    for path in sorted(list(ROOT.glob("src/**/*.[ch]*")) + list(ROOT.glob("include/**/*.h"))):
        layer, subfolder = layer_of(path)
        if layer is None:
            continue
        if layer == "Main" and subfolder not in RANK:
            broken.append(f"{path.relative_to(ROOT)}: src/Main/{subfolder} is in no rank of the layer table")
            continue
        text = path.read_text(encoding="utf-8")
        for match in INCLUDE.finditer(text):
            if not allowed(layer, subfolder, match.group(1)):
                line = text.count("\n", 0, match.start()) + 1
                broken.append(f"{path.relative_to(ROOT)}:{line}: includes \"{match.group(1)}\"")
    # The sim is the game's side: of the plug-in it may use only the game's layouts.
    for path in sorted(ROOT.glob("sim/*.[ch]*")):
        text = path.read_text(encoding="utf-8")
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            if "/" in target and not target.startswith("RE/"):
                line = text.count("\n", 0, match.start()) + 1
                broken.append(f"{path.relative_to(ROOT)}:{line}: includes \"{target}\"")
    for line in broken:
        print(line)
    print(f"{len(broken)} include(s) against the layer table" if broken else "every include points down")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
