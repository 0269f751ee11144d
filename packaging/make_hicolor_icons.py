#!/usr/bin/env python3
"""Writes the program's icon into a hicolor tree, one PNG per size the
desktop icon theme has a fixed-size folder for, drawn by scripts/make_icons.py.

    packaging/make_hicolor_icons.py [OUT_DIR]    # default: packaging/icons

The PNGs are committed, so that building the package needs no Python and the
icons change only when someone redraws them on purpose."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
import make_icons  # noqa: E402

APP_ID = "org.tarnwick.Tarnwick"
SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "icons")
    for size in SIZES:
        folder = os.path.join(out, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, APP_ID + ".png"), "wb") as f:
            f.write(make_icons.png(make_icons.render(size)))


if __name__ == "__main__":
    main()
