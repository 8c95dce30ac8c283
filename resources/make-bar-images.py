#!/usr/bin/env python3
"""Draws the six-layer faces of the punctuation bar and the colour bar into
images/ (ImageMagick's convert). Each picture holds six images of equal height
stacked top to bottom: normal, hover, selected or pressed, hover and selected,
disabled, and the key layer, where every unit's area has a colour of its own.
Pixel (0, 0) of the first layer is the bars' transparent colour. The results
are committed; run this again only to change them."""
import os
import subprocess
import tempfile

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
TRANSPARENT = "#ff00ff"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Face colours per layer: (key fill, key edge, label colour).
LAYERS = [
    ("#e8e8e8", "#7a7a7a", "#000000"),  # normal
    ("#f8f8ff", "#3a6fd8", "#000000"),  # hover
    ("#2f5fb8", "#1c3c7a", "#ffffff"),  # selected or pressed
    ("#4478d8", "#1c3c7a", "#ffffff"),  # hover and selected
    ("#d8d8d8", "#b0b0b0", "#909090"),  # disabled
]


def key_colour(index):
    """A distinct colour for unit `index` of the key layer (never the
    background's black or the transparent colour)."""
    return "#%02x%02x%02x" % (40 + (index * 37) % 200, 30 + (index * 71) % 210, 20 + (index * 113) % 220)


def render(width, height, layers, out):
    with tempfile.TemporaryDirectory() as tmp:
        parts = []
        for n, commands in enumerate(layers):
            png = os.path.join(tmp, "layer%d.png" % n)
            antialias = [] if n < 5 else ["+antialias"]
            subprocess.check_call(["convert", "-size", "%dx%d" % (width, height), "xc:" + TRANSPARENT]
                                  + antialias + ["-draw", "\n".join(commands), png])
            parts.append(png)
        subprocess.check_call(["convert"] + parts + ["-append", "-type", "TrueColor", "BMP3:" + out])


def rounded_frame(width, height, fill):
    return ["fill %s" % fill, "stroke none", "roundrectangle 0,0 %d,%d 6,6" % (width - 1, height - 1)]


def punctuation():
    """Resource 225: the punctuation keypad, 284 x 167 per layer: six columns
    of symbols (their characters are drawn by the program) and three of
    editing keys, on cells of 31 x 27."""
    width, height = 284, 167
    labels = {  # (column, row): label of the editing keys
        (6, 0): "\u21b6", (7, 0): "\u21b7", (8, 0): "\u00d7",
        (6, 1): "Tab", (7, 1): "\u232b", (8, 1): "PgUp",
        (6, 2): "Ins", (7, 2): "Del", (8, 2): "PgDn",
        (6, 3): "Home", (7, 3): "\u2191", (8, 3): "End",
        (6, 4): "\u2190", (7, 4): "\u2193", (8, 4): "\u2192",
        (6, 5): "...", (7, 5): "\u2423", (8, 5): "\u21b5",
    }
    layers = []
    for n in range(6):
        commands = rounded_frame(width, height, "#505050" if n < 5 else "#000000")
        index = 0
        for row in range(6):
            for column in range(9):
                x0, y0 = column * 31 + 3, row * 27 + 3
                x1, y1 = x0 + 29, y0 + 25
                if n == 5:
                    commands += ["fill %s" % key_colour(index), "stroke none",
                                 "rectangle %d,%d %d,%d" % (x0, y0, x1, y1)]
                else:
                    fill, edge, text = LAYERS[n]
                    if column >= 6:  # the editing keys stand apart in a darker tone
                        fill = {0: "#d4dbe6", 1: "#eef2ff"}.get(n, fill)
                    commands += ["fill %s" % fill, "stroke %s" % edge, "stroke-width 1",
                                 "roundrectangle %d,%d %d,%d 3,3" % (x0, y0, x1, y1)]
                    label = labels.get((column, row))
                    if label:
                        size = 9 if len(label) > 2 else 15
                        commands += ["stroke none", "fill %s" % text, "font '%s'" % FONT,
                                     "font-size %d" % size, "gravity NorthWest",
                                     "text %d,%d '%s'" % (x0 + (30 - size * 0.62 * len(label)) / 2,
                                                          y0 + (26 - size) / 2 - 1, label)]
                index += 1
        layers.append(commands)
    render(width, height, layers, os.path.join(HERE, "punctuation-bar.bmp"))


# The palette of the colour bar, row by row (4 rows of 8).
PALETTE = [
    "#000000", "#404040", "#808080", "#c0c0c0", "#ffffff", "#800000", "#ff0000", "#ff8080",
    "#804000", "#ff8000", "#ffc080", "#808000", "#ffff00", "#ffff80", "#008000", "#00c000",
    "#80ff80", "#008080", "#00ffff", "#80ffff", "#000080", "#0000ff", "#8080ff", "#400080",
    "#8000ff", "#c080ff", "#800040", "#ff0080", "#ff80c0", "#602000", "#a06030", "#e0c090",
]


def colours():
    """Resource 244: the colour palette, 225 x 99 per layer: 4 rows of 8
    swatches; a swatch's sample point is (column * 25 + 23, row * 21 + 18)."""
    width, height = 225, 99
    layers = []
    for n in range(6):
        commands = rounded_frame(width, height, "#505050" if n < 5 else "#000000")
        for row in range(4):
            for column in range(8):
                x0, y0 = column * 25 + 13, row * 21 + 9
                x1, y1 = x0 + 20, y0 + 18
                colour = PALETTE[row * 8 + column]
                if n == 5:
                    commands += ["fill %s" % key_colour(row * 8 + column), "stroke none",
                                 "rectangle %d,%d %d,%d" % (x0 - 1, y0 - 1, x1 + 1, y1 + 1)]
                    continue
                edge = {0: "#a0a0a0", 1: "#ffffff", 2: "#ffd000", 3: "#ffffff", 4: "#707070"}[n]
                stroke = 3 if n in (2, 3) else 1
                commands += ["fill %s" % edge, "stroke none",
                             "rectangle %d,%d %d,%d" % (x0 - 1, y0 - 1, x1 + 1, y1 + 1)]
                inset = stroke
                swatch = colour if n != 4 else "#b8b8b8"
                commands += ["fill %s" % swatch,
                             "rectangle %d,%d %d,%d" % (x0 - 1 + inset, y0 - 1 + inset,
                                                        x1 + 1 - inset, y1 + 1 - inset)]
        layers.append(commands)
    render(width, height, layers, os.path.join(HERE, "colours-bar.bmp"))


def crosshair_tip():
    """The picture beside the clipping tool's cross-hair: a small pair of
    scissors-like corner marks on a translucent round plate."""
    subprocess.check_call([
        "convert", "-size", "24x24", "xc:none",
        "-fill", "#ffffffd0", "-stroke", "#404040", "-strokewidth", "1",
        "-draw", "circle 12,12 12,2",
        "-fill", "none", "-stroke", "#1f4fa8", "-strokewidth", "2",
        "-draw", "polyline 7,10 7,7 10,7", "-draw", "polyline 14,7 17,7 17,10",
        "-draw", "polyline 17,14 17,17 14,17", "-draw", "polyline 10,17 7,17 7,14",
        "PNG32:" + os.path.join(HERE, "capture-tip.png")])


if __name__ == "__main__":
    punctuation()
    colours()
    crosshair_tip()
