#!/usr/bin/env python3
"""Renders deskbay.svg into the hicolor PNG sizes with ImageMagick.

The icon uses only <path> elements with fill, stroke and stroke-width; each
becomes the same path in ImageMagick's drawing language, so the PNGs follow
the SVG without an SVG renderer. Run it after changing the SVG and commit
the PNGs: hicolor/<N>x<N>/apps/deskbay.png beside this script.
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
HERE = os.path.dirname(os.path.abspath(__file__))
NS = "{http://www.w3.org/2000/svg}"


def drawing(svg_path):
    root = ET.parse(svg_path).getroot()
    box = [float(v) for v in root.get("viewBox").split()]
    lines = ["viewbox %g %g %g %g" % tuple(box)]
    for path in root.iter(NS + "path"):
        lines.append("push graphic-context")
        lines.append("fill '%s'" % path.get("fill", "none"))
        lines.append("stroke '%s'" % path.get("stroke", "none"))
        lines.append("stroke-width %s" % path.get("stroke-width", "1"))
        lines.append("stroke-linecap butt")
        lines.append("path '%s'" % path.get("d"))
        lines.append("pop graphic-context")
    return box[2], "\n".join(lines) + "\n"


def main():
    convert = os.environ.get("CONVERT", "convert")
    width, mvg = drawing(os.path.join(HERE, "deskbay.svg"))
    for size in SIZES:
        folder = os.path.join(HERE, "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        # Drawn large and scaled down: smoother edges than drawing small.
        big = int(width) * 2
        scale = big / width
        subprocess.run(
            [convert, "-size", "%dx%d" % (big, big), "xc:none",
             "-draw", "affine %g,0,0,%g,0,0\n%s" % (scale, scale, mvg),
             "-filter", "Lanczos", "-resize", "%dx%d" % (size, size),
             "-define", "png:exclude-chunks=date,time",
             "-strip", "PNG32:" + os.path.join(folder, "deskbay.png")],
            check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
