#!/usr/bin/env python3
"""Draw every picture, icon and sound effect that Orbelix ships.

Usage:  /usr/bin/python3 tools/make_art.py [OUTPUT_DIR]

OUTPUT_DIR defaults to the assets/ folder next to tools/.  The output is
fully deterministic: running the script twice gives byte-identical files
(no timestamps or text chunks in the PNGs, no unseeded randomness).

Needs only Pillow (Debian: python3-pil) and the Kaushan Script font
(Debian: fonts-kaushanscript).  Everything else is drawn here.
"""

import math
import os
import struct
import sys
import wave

from PIL import Image, ImageChops, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import colour_check  # noqa: E402  (beside this script)

# ---------------------------------------------------------------------------
# Look and contents.  Everything a designer may want to change lives here.
# ---------------------------------------------------------------------------

FONT_FILE = "/usr/share/fonts/opentype/kaushanscript/KaushanScript-Regular.otf"

# Lettering colour: a vertical gradient from a light top to a deeper bottom,
# averaging roughly (170, 110, 255).
INK_TOP = (214, 176, 255)
INK_BOTTOM = (150, 88, 246)
BACKGROUND = (0, 0, 0)
# The big "Orbelix" titles get a stronger gradient.
TITLE_TOP = (232, 206, 255)
TITLE_BOTTOM = (146, 82, 246)

# Every picture is drawn at each of these pixel scales: 1 gives name.png, the
# others name@2x.png and name@3x.png at exactly 2 and 3 times the size.  Each
# scale is drawn from the sources (font, shading) at that resolution; layout
# choices such as font sizes and line breaks are made once, at scale 1, so all
# scales show the same picture.
SCALES = (1, 2, 3)

# Labels are drawn SS times larger and box-filtered down, which gives clean
# antialiasing and lets font sizes move in quarter-pixel steps.
SS = 4

# Pictures.  kind:
#   label  - text lines centred in the box, as large as fits.  margins are
#            (left, top, right, bottom) in pixels that stay pure black.
#            Labels with the same group share one font size (buttons that
#            toggle between these texts keep the same letter size).
#   glyph  - one character in the shared 22 x 28 digit/letter cell.
#   ball   - ball sprite + mask; text is the index into BALL_COLOURS.
#   blank / title / help / about / rules - custom layouts, see their functions.
M2 = (2, 2, 2, 2)
M3R = (3, 2, 3, 2)  # button sits 1 px outside the window: keep 3 px right

# The rules page: a title, then one paragraph per rule, its lines broken by
# hand.  The last paragraph gets a drawing of a front-to-back pair beside it.
RULES_TEXT = (
    "How to play",
    "Click a ball to remove its group: every ball of its colour joined to it\n"
    "along the rows, along the columns and through the layers, front to back.",
    "A group needs at least two balls. Each ball removed is worth 2 points.",
    "The balls above drop into the gaps, each in its own column and layer,\n"
    "and a column left empty in all three layers closes up from the right.",
    "Undo takes back the last move, one step only.",
    "The game ends when no two balls of one colour touch\n"
    "within a layer (front, middle or back): a pair that\n"
    "touches only front to back does not keep it going.",
)
RULES_MIN_FONT_PX = 17    # the lettering reads well down to this size

PICTURES = [
    # file                   w    h   kind     text                        margins group
    ("pctColors_1.png",    111,  25, "label", ("6 Colors",),               M3R, "colors"),
    ("pctColors_2.png",    111,  25, "label", ("7 Colors",),               M3R, "colors"),
    ("pctColors_3.png",    111,  25, "label", ("8 Colors",),               M3R, "colors"),
    ("pctColors_4.png",    111,  25, "label", ("9 Colors",),               M3R, "colors"),
    ("pctColors_5.png",    111,  25, "label", ("10 Colors",),              M3R, "colors"),
    ("pctColors_6.png",    111,  25, "label", ("11 Colors",),              M3R, "colors"),
    ("pctColors_7.png",    111,  25, "label", ("12 Colors",),              M3R, "colors"),
    ("pctColors_8.png",    111,  25, "label", ("13 Colors",),              M3R, "colors"),
    ("pctSoundOn.png",     111,  25, "label", ("Sound",),                  M3R, "sound"),
    ("pctSoundOff.png",    111,  25, "label", ("No Sound",),               M3R, "sound"),
    ("pctGameOver.png",    149,  34, "label", ("Game Over!",),             M2,  None),
    ("pctNew.png",          48,  24, "label", ("New",),                    M2,  None),
    ("pctHighScores.png",   68,  49, "label", ("High", "Scores"),          M2,  None),
    ("pctHelp.png",         44,  26, "label", ("Help",),                   M2,  None),
    ("pctUndo.png",         66,  20, "label", ("Undo",),                   M2,  None),
    ("pctAbout.png",        66,  20, "label", ("About",),                  M2,  None),
    ("pctExit.png",         48,  25, "label", ("Exit",),                   M2,  None),
    ("pctReset.png",        75,  24, "label", ("Reset",),                  M2,  None),
    ("pctOk.png",           47,  29, "label", ("Ok",),                     M2,  None),
    ("pctBlank.png",        32,  32, "blank", (),                          M2,  None),
    ("pctOrbelix.png",     241,  90, "title", ("Orbelix",),                M2,  None),
    ("pctHelpText.png",    292, 172, "help",  ("Click on identical adjacent pieces to score points", "Ok"), M2, None),
    ("pctAboutText.png",   343, 123, "about", ("Orbelix", "by Orbelix developers", "Free software, MIT licence", "Version"), M2, None),
    ("pctRulesText.png",   620, 340, "rules", RULES_TEXT,               M2,  None),
    ("pctStatistics.png",  104,  26, "label", ("Statistics",),             M2,  None),
]
# Digits 0-9, then the decimal point as digit 10.
PICTURES += [("imgDigit_%d.png" % i, 22, 28, "glyph", (str(i),), M2, None) for i in range(10)]
PICTURES += [("imgDigit_10.png", 22, 28, "glyph", (".",), M2, None)]
# The statistics page: its lettering, and the small figures the game sets into it
# (0-9, then the decimal point as 10 and the dash of "none" as 11).
PICTURES += [("pctStatsText.png", 640, 348, "stats", (), M2, None)]
PICTURES += [("pctStatsBoard.png", 64, 28, "stats-board", (), (1, 1, 1, 1), None)]
PICTURES += [("imgFigure_%d.png" % i, 12, 20, "figure", (str(i),), (1, 1, 1, 1), None) for i in range(10)]
PICTURES += [("imgFigure_10.png", 6, 20, "figure", (".",), (1, 1, 1, 1), None)]
PICTURES += [("imgFigure_11.png", 12, 20, "figure", ("-",), (1, 1, 1, 1), None)]
# Alphabet: 0 is the "_" input cursor, 1..26 are A..Z.
PICTURES += [("pctAlphabet_0.png", 22, 28, "glyph", ("_",), M2, None)]
PICTURES += [("pctAlphabet_%d.png" % (i + 1), 22, 28, "glyph", (chr(65 + i),), M2, None) for i in range(26)]
# Ball sprites: 25 x 25 ball on the left, its AND mask on the right.
PICTURES += [("pctBall_%d.png" % i, 50, 25, "ball", (i,), M2, None) for i in range(14)]

# Ball colours by index.  0 is the EMPTY cell, so it is dim and matte.
# The shades are tuned so that colour_check.py's rules hold: colours 1..6
# stay apart for protanopia, deuteranopia and tritanopia too, and dark red
# never passes for the empty ball.  The generator refuses to write balls
# that break them.
BALL_COLOURS = [
    (118, 118, 124),  # 0  empty: dim grey
    (250, 222, 40),   # 1  yellow
    (90, 230, 244),   # 2  pale cyan
    (36, 64, 232),    # 3  blue
    (252, 252, 240),  # 4  white
    (232, 28, 28),    # 5  red
    (54, 159, 243),   # 6  sky blue
    (40, 190, 60),    # 7  green
    (238, 40, 205),   # 8  magenta
    (255, 138, 20),   # 9  orange
    (255, 172, 196),  # 10 pale pink
    (140, 26, 0),     # 11 dark red
    (136, 30, 184),   # 12 purple
    (172, 122, 42),   # 13 brown-gold
]
BALL_NAMES = ["empty", "yellow", "pale cyan", "blue", "white", "red", "sky blue", "green",
              "magenta", "orange", "pale pink", "dark red", "purple", "brown-gold"]
BALL_DIAMETER = 25
BALL_RADIUS = 12.5        # disc test on pixel centres around (12.5, 12.5)

# Symbols that can be shown on the balls, one per colour code 1..13, told
# apart by shape alone.  Each is drawn hard-edged in black with a white
# outline, so it stands out on light and dark balls alike, as a sprite of its
# own: SYMBOL_BOX x SYMBOL_BOX pixels on the left, its AND mask on the right.
# The game draws a front ball's symbol at SYMBOL_AT_FRONT of the ball and a
# middle or back ball's at SYMBOL_AT_BEHIND, inside the crescent that shows.
SYMBOL_BOX = 11
SYMBOL_CORE = 9           # the black shape's box; the outline takes the rest
SYMBOL_AT_FRONT = (7, 7)
SYMBOL_AT_BEHIND = (13, 7)
SYMBOL_SHAPES = [None, "circle", "moon", "triangle", "square", "diamond", "plus", "cross",
                 "star", "bar", "column", "hourglass", "wedge", "bowtie"]
# On a dark ball the symbol shows as its white-edged silhouette (the mask), on
# a white or yellow ball as its black shape alone.  Both must tell every two
# symbols apart by outline, not by a hole or an inner mark: at 1x, with holes
# filled, any two silhouettes differ in at least SYMBOL_MIN_OUTLINE pixels and
# any two black shapes in SYMBOL_MIN_CORE_OUTLINE, even when one of the two is
# moved by a pixel or grown or shrunk by a pixel all round.
SYMBOL_MIN_OUTLINE = 12
SYMBOL_MIN_CORE_OUTLINE = 8

# Shared 22 x 28 cell for digits and letters: one font size and one baseline
# so that names and numbers composed from cells line up.
GLYPH_FONT_PX = 25.0      # font size in pixels
GLYPH_BASELINE = 21.75    # baseline row (pixels from the top of the cell)
GLYPH_MARGIN = 2          # black pixels kept on every side of the cell
GLYPH_DOT_DIAMETER = 4.5  # the decimal point
GLYPH_METRICS = (GLYPH_FONT_PX, GLYPH_BASELINE, GLYPH_MARGIN, GLYPH_DOT_DIAMETER)
# The small figures of the statistics page, in cells of their own (the same kinds of
# metrics, in the same order).
FIGURE_METRICS = (17.0, 15.75, 1, 3.25)

# The statistics page: a title, the board in play at the top right, and a table with
# one column per colour count and one row per figure.  The game sets the figures into
# the cells, right-aligned, so it uses the same numbers (ui/StatisticsPage.cpp).
STATS_TITLE = "Statistics"
STATS_BOARD = "Board"
STATS_CORNER = "Colors"
STATS_ROWS = ("Played", "Finished", "Cleared", "Best", "Mean", "Median", "Hints",
              "You left", "Search left")
STATS_LABEL_LEFT = 18         # the row labels, flush left
STATS_FIRST_COLUMN = 134      # left edge of the 6-colour column
STATS_COLUMN_WIDTH = 61
STATS_HEAD_TOP = 50           # the row of colour counts
STATS_FIRST_ROW = 76          # top of the first figure row
STATS_ROW_PITCH = 29
STATS_BOARD_AT = (500, 36)     # "Board" ends here on this baseline; its number follows
STATS_BOARD_BASELINE = 22      # the baseline in the picture of "Board", 64 x 28, set
                               # with its right edge on STATS_BOARD_AT
STATS_FIGURE_DROP = 5         # a figure cell's top, below the top of its row

# Application icons: three balls stacked as a small pyramid.
ICON_SIZES = [16, 22, 32, 48, 64, 128, 256]
ICON_BALLS = [  # (centre x, centre y, radius) in units of the icon size, back to front
    (0.290, 0.700, 0.285, 5),   # red, bottom left
    (0.710, 0.700, 0.285, 3),   # blue, bottom right
    (0.500, 0.335, 0.285, 1),   # yellow, on top
]

# Bleep: a short sine with a quick upward glide and a soft second harmonic.
BLEEP_RATE = 44100
BLEEP_SECONDS = 0.12
BLEEP_FREQ_START = 880.0
BLEEP_FREQ_END = 1320.0
BLEEP_GLIDE_SECONDS = 0.025
BLEEP_HARMONIC = 0.18     # level of the 2nd harmonic relative to the fundamental
BLEEP_ATTACK = 0.004
BLEEP_DECAY = 0.035       # exponential decay time constant
BLEEP_RELEASE = 0.010     # fade to silence before the end
BLEEP_PEAK_DBFS = -6.0

# ---------------------------------------------------------------------------
# Text rendering
# ---------------------------------------------------------------------------

_font_cache = {}


def font(size):
    """Kaushan Script at an integer pixel size (sizes here are already SS-scaled)."""
    f = _font_cache.get(size)
    if f is None:
        f = ImageFont.truetype(FONT_FILE, size)
        _font_cache[size] = f
    return f


def line_mask(text, size):
    """Render one line at font size `size`; return (mask, left, top) where
    mask is cropped to the ink and (left, top) is its position relative to the
    pen origin on the baseline."""
    f = font(size)
    w = int(f.getlength(text)) + 2 * size
    h = 3 * size
    ox, oy = size, 2 * size
    im = Image.new("L", (w, h), 0)
    ImageDraw.Draw(im).text((ox, oy), text, font=f, fill=255, anchor="ls")
    box = im.getbbox()
    return im.crop(box), box[0] - ox, box[1] - oy


def block_mask(lines, size):
    """Stack lines on baselines one line pitch apart, each centred
    horizontally on the block.  Returns a mask cropped to the ink."""
    pitch = round(size * 0.95)
    parts = [line_mask(t, size) for t in lines]
    # Each line's ink box relative to (block centre x, first baseline).
    boxes = []
    for i, (m, left, top) in enumerate(parts):
        x0 = -m.width // 2
        y0 = top + i * pitch
        boxes.append((x0, y0, m))
    minx = min(b[0] for b in boxes)
    miny = min(b[1] for b in boxes)
    maxx = max(b[0] + b[2].width for b in boxes)
    maxy = max(b[1] + b[2].height for b in boxes)
    out = Image.new("L", (maxx - minx, maxy - miny), 0)
    for x0, y0, m in boxes:
        layer = Image.new("L", out.size, 0)
        layer.paste(m, (x0 - minx, y0 - miny))
        out = ImageChops.lighter(out, layer)
    return out


def centred_origin(mask, box):
    """Top-left corner (SS units) that centres mask in box (pixels)."""
    x0, y0, x1, y1 = box
    px = int(round((x0 + x1) * SS / 2.0 - mask.width / 2.0))
    py = int(round((y0 + y1) * SS / 2.0 - mask.height / 2.0))
    return px, py


def place(canvas_ss, mask, box):
    """Paste mask (SS units) centred in box (x0, y0, x1, y1, in pixels) onto
    an SS canvas.  Returns the ink rectangle in SS units."""
    px, py = centred_origin(mask, box)
    layer = Image.new("L", canvas_ss.size, 0)
    layer.paste(mask, (px, py))
    canvas_ss.paste(ImageChops.lighter(canvas_ss, layer))
    return (px, py, px + mask.width, py + mask.height)


def fits_in(mask, box):
    x0, y0, x1, y1 = box
    px, py = centred_origin(mask, box)
    return (px >= x0 * SS and py >= y0 * SS and
            px + mask.width <= x1 * SS and py + mask.height <= y1 * SS)


_size_cache = {}


def largest_size(lines, box):
    """Largest SS font size whose ink fits inside box (pixels), at scale 1."""
    key = (tuple(lines), tuple(box))
    if key not in _size_cache:
        _size_cache[key] = _largest_size(lines, box)
    return _size_cache[key]


def _largest_size(lines, box):
    lo, hi = 4, 4 * SS * (box[3] - box[1])
    best = None
    while lo <= hi:
        mid = (lo + hi) // 2
        if fits_in(block_mask(lines, mid), box):
            best = mid
            lo = mid + 1
        else:
            hi = mid - 1
    if best is None:
        raise SystemExit("text %r cannot fit in %r" % (lines, box))
    return best


def colourise(mask, top, bottom, ink_top=INK_TOP, ink_bottom=INK_BOTTOM):
    """Turn a coverage mask (final resolution) into violet lettering on black,
    the gradient running from row `top` to row `bottom`."""
    w, h = mask.size
    grad = Image.new("RGB", (w, h))
    px = grad.load()
    span = max(1.0, float(bottom - top))
    for y in range(h):
        t = min(1.0, max(0.0, (y - top) / span))
        c = tuple(int(round(a + (b - a) * t)) for a, b in zip(ink_top, ink_bottom))
        for x in range(w):
            px[x, y] = c
    return Image.composite(grad, Image.new("RGB", (w, h), BACKGROUND), mask)


def downscale(mask_ss):
    return mask_ss.resize((mask_ss.width // SS, mask_ss.height // SS), Image.BOX)


def draw_text_block(mask_ss, lines, size, box):
    """Render lines at an SS font size centred in box; return the ink
    rectangle in pixels (top and bottom rows, used for the gradient)."""
    m = block_mask(lines, size)
    r = place(mask_ss, m, box)
    return r[1] / SS, r[3] / SS


def sbox(box, k):
    """A box (x0, y0, x1, y1) in scale-1 pixels, in pixels of scale k."""
    return tuple(v * k for v in box)


def scaled_size(lines, size, box, k):
    """The font size for lines drawn at scale k in box (scale-1 pixels) that
    were given `size` at scale 1: k times as large, less the few SS steps
    that glyph rounding at the larger size may need to stay inside the box."""
    if k == 1:
        return size
    size *= k
    while size > 4 and not fits_in(block_mask(lines, size), sbox(box, k)):
        size -= 1
    return size


def text_image(w, h, pieces, k=1):
    """pieces: list of (lines, size, box) at scale 1.  Returns an RGB image
    drawn at scale k; each piece gets its own gradient over its own ink
    height."""
    out = Image.new("RGB", (w * k, h * k), BACKGROUND)
    for lines, size, box in pieces:
        mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
        top, bottom = draw_text_block(mask_ss, lines, scaled_size(lines, size, box, k), sbox(box, k))
        mask = downscale(mask_ss)
        out = ImageChops.lighter(out, colourise(mask, top, bottom))
    return out


# ---------------------------------------------------------------------------
# Labels
# ---------------------------------------------------------------------------

def label_box(w, h, margins):
    l, t, r, b = margins
    return (l, t, w - r, h - b)


def make_labels(entries, k=1):
    """Draw all 'label' pictures at scale k; labels sharing a group share a
    size."""
    sizes = {}
    for name, w, h, kind, text, margins, group in entries:
        s = largest_size(text, label_box(w, h, margins))
        key = group or name
        sizes[key] = min(sizes.get(key, s), s)
    images = {}
    for name, w, h, kind, text, margins, group in entries:
        size = sizes[group or name]
        images[name] = text_image(w, h, [(text, size, label_box(w, h, margins))], k)
    return images


# ---------------------------------------------------------------------------
# Digit and letter cells
# ---------------------------------------------------------------------------

def glyph_image(ch, w, h, k=1, metrics=GLYPH_METRICS):
    font_px, baseline, margin, dot = metrics
    m = margin * k
    fsize = int(round(font_px * k * SS))
    base = baseline * k * SS
    # Cap height of the font, used for the gradient so that every cell is
    # coloured identically row by row.
    cap_top = (baseline - 0.742 * font_px) * k
    w, h = w * k, h * k
    mask_ss = Image.new("L", (w * SS, h * SS), 0)
    if ch == ".":
        d = dot * k * SS
        cx = w * SS / 2.0
        bottom = base + 0.6 * k * SS
        ImageDraw.Draw(mask_ss).ellipse((cx - d / 2, bottom - d, cx + d / 2, bottom), fill=255)
    else:
        g, left, top = line_mask(ch, fsize)
        if ch == "0":
            g = slash_zero(g)
        # Squeeze wide letters (M, W, ...) horizontally to fit the cell.
        max_w = (w - 2 * m) * SS
        if g.width > max_w:
            g = g.resize((max_w, g.height), Image.LANCZOS)
        # Letters with a long tail (Q) are squashed a little vertically,
        # keeping their top on the common cap line.
        gy = int(round(base + top))
        max_bottom = (h - m) * SS
        if gy + g.height > max_bottom:
            g = g.resize((g.width, max_bottom - gy), Image.LANCZOS)
        gx = int(round(w * SS / 2.0 - g.width / 2.0))
        mask_ss.paste(g, (gx, gy))
    mask = downscale(mask_ss)
    return colourise(mask, cap_top, baseline * k), mask


def slash_zero(g):
    """Draw a diagonal stroke through the zero so it never reads as O."""
    g = g.copy()
    d = ImageDraw.Draw(g)
    w, h = g.size
    sw = 0.13 * w
    # The font leans right, so the stroke goes from lower left to upper right
    # across the counter, touching the ring at both ends.
    a = (0.24 * w, 0.80 * h)
    b = (0.78 * w, 0.20 * h)
    d.line((a, b), fill=255, width=int(round(sw)))
    for x, y in (a, b):
        d.ellipse((x - sw / 2, y - sw / 2, x + sw / 2, y + sw / 2), fill=255)
    return g


# ---------------------------------------------------------------------------
# Ball shading (used by the sprites, the title ornament and the icons)
# ---------------------------------------------------------------------------

def _norm(v):
    n = math.sqrt(sum(c * c for c in v))
    return tuple(c / n for c in v)


LIGHT = _norm((-0.55, -0.70, 0.80))       # key light: top left, in front
BOUNCE = _norm((0.60, 0.75, 0.25))         # faint reflected light from below right
HALF = _norm((LIGHT[0], LIGHT[1], LIGHT[2] + 1.0))


def to_lin(c):
    return (c / 255.0) ** 2.2


def to_srgb(v):
    v = min(1.0, max(0.0, v))
    return v ** (1 / 2.2) * 255.0


def shade(nx, ny, colour, gloss=1.0):
    """Linear RGB of a sphere point with surface normal (nx, ny, nz)."""
    nz = math.sqrt(max(0.0, 1.0 - nx * nx - ny * ny))
    diffuse = max(0.0, nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2])
    bounce = max(0.0, nx * BOUNCE[0] + ny * BOUNCE[1] + nz * BOUNCE[2])
    shine = max(0.0, nx * HALF[0] + ny * HALF[1] + nz * HALF[2]) ** 38
    # A broad soft sheen around the highlight makes the ball look glossy.
    sheen = max(0.0, nx * HALF[0] + ny * HALF[1] + nz * HALF[2]) ** 6
    light = 0.10 + 0.95 * diffuse + 0.22 * bounce
    out = []
    for c in colour:
        base = to_lin(c)
        out.append(base * light + gloss * (0.95 * shine + 0.06 * sheen))
    return out


def ball_pixel(x, y, cx, cy, r, colour, gloss=1.0, sub=4):
    """Average shaded colour (sRGB floats) over sub x sub samples of pixel
    (x, y), samples falling outside the sphere pulled onto its rim."""
    acc = [0.0, 0.0, 0.0]
    for j in range(sub):
        for i in range(sub):
            nx = (x + (i + 0.5) / sub - cx) / r
            ny = (y + (j + 0.5) / sub - cy) / r
            d = math.hypot(nx, ny)
            if d > 0.999:
                nx, ny = nx / d * 0.999, ny / d * 0.999
            lin = shade(nx, ny, colour, gloss)
            for k in range(3):
                acc[k] += lin[k]
    n = sub * sub
    return [to_srgb(a / n) for a in acc]


def in_disc(x, y, k=1):
    """Whether pixel (x, y) of a ball drawn at scale k lies in its disc."""
    c = BALL_DIAMETER * k / 2.0
    return (x + 0.5 - c) ** 2 + (y + 0.5 - c) ** 2 <= (BALL_RADIUS * k) ** 2


def ball_sprite(index, k=1):
    d = BALL_DIAMETER * k
    colour = BALL_COLOURS[index]
    gloss = 0.35 if index == 0 else 1.0   # the empty cell is matte
    im = Image.new("RGB", (2 * d, d), BACKGROUND)
    px = im.load()
    for y in range(d):
        for x in range(d):
            if in_disc(x, y, k):
                c = tuple(int(round(v)) for v in ball_pixel(x, y, d / 2.0, d / 2.0, d / 2.0, colour, gloss))
                if c == (0, 0, 0):
                    c = (1, 1, 1)   # never pure black inside the disc
                px[x, y] = c
                px[x + d, y] = (0, 0, 0)
            else:
                px[x, y] = (0, 0, 0)
                px[x + d, y] = (255, 255, 255)
    check_ball(im, index, k)
    return im


def check_ball(im, index, k=1):
    """The game ANDs the mask and XORs the ball, so the two halves must
    describe exactly the same hard-edged disc."""
    d = BALL_DIAMETER * k
    assert im.size == (2 * d, d) and im.mode == "RGB"
    px = im.load()
    for y in range(d):
        for x in range(d):
            ball = px[x, y]
            mask = px[x + d, y]
            assert mask in ((0, 0, 0), (255, 255, 255)), (index, x, y, mask)
            inside = mask == (0, 0, 0)
            assert inside == in_disc(x, y, k), (index, x, y)
            if inside:
                assert ball != (0, 0, 0), ("black pixel inside disc", index, x, y)
            else:
                assert ball == (0, 0, 0), ("ball colour outside disc", index, x, y)
    # The disc touches all four edges of its square.
    mid = d // 2
    assert all(in_disc(x, y, k) for x, y in ((0, mid), (d - 1, mid), (mid, 0), (mid, d - 1)))


def draw_balls_rgba(size, balls, sub):
    """Antialiased, shaded balls (cx, cy, r, colour index) in pixel units on a
    transparent background, later balls in front."""
    im = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    px = im.load()
    n = sub * sub
    for y in range(size):
        for x in range(size):
            # Skip pixels no ball comes near.
            if not any(math.hypot(x + 0.5 - cx, y + 0.5 - cy) < r + 1.0 for cx, cy, r, _ in balls):
                continue
            acc = [0.0, 0.0, 0.0]
            cover = 0
            for j in range(sub):
                for i in range(sub):
                    sx = x + (i + 0.5) / sub
                    sy = y + (j + 0.5) / sub
                    for cx, cy, r, ci in reversed(balls):
                        nx, ny = (sx - cx) / r, (sy - cy) / r
                        if nx * nx + ny * ny <= 1.0:
                            lin = shade(nx, ny, BALL_COLOURS[ci])
                            for k in range(3):
                                acc[k] += to_srgb(lin[k])
                            cover += 1
                            break
            if cover:
                px[x, y] = tuple(int(round(a / cover)) for a in acc) + (int(round(255.0 * cover / n)),)
    return im


# ---------------------------------------------------------------------------
# Ball symbols
# ---------------------------------------------------------------------------

def _star_points():
    pts = []
    for k in range(10):
        r = 1.0 if k % 2 == 0 else 0.45
        a = math.radians(-90 + 36 * k)
        pts.append((r * math.cos(a), r * math.sin(a) + 0.08))
    return pts


_STAR = _star_points()


def _in_polygon(u, v, pts):
    inside = False
    for (x1, y1), (x2, y2) in zip(pts, pts[1:] + pts[:1]):
        if (y1 > v) != (y2 > v) and u < x1 + (v - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def symbol_shape(name, u, v):
    """Whether the point (u, v) of the unit box [-1, 1]^2 (v down) is inside the shape."""
    au, av = abs(u), abs(v)
    if name == "circle":
        return u * u + v * v <= 0.95 ** 2
    if name == "moon":
        # A disc with a bite out of its upper right: a crescent opening up and right.
        return u * u + v * v <= 0.95 ** 2 and (u - 0.45) ** 2 + (v + 0.2) ** 2 > 0.6 ** 2
    if name == "triangle":
        return -0.9 <= v <= 0.9 and au <= (v + 0.9) / 1.8 + 0.05
    if name == "wedge":
        return -0.9 <= v <= 0.9 and au <= (0.9 - v) / 1.8 + 0.05
    if name == "square":
        return au <= 0.8 and av <= 0.8
    if name == "diamond":
        return au + av <= 1.0
    if name == "plus":
        # Thin arms, one pixel at 1x: a fat plus has nearly the outline of the diamond.
        return (au <= 0.12 or av <= 0.12) and max(au, av) <= 1.0
    if name == "cross":
        return (abs(u - v) <= 0.32 or abs(u + v) <= 0.32) and max(au, av) <= 0.95
    if name == "star":
        return _in_polygon(u, v, _STAR)
    if name == "bar":
        return av <= 0.3 and au <= 0.95
    if name == "column":
        return au <= 0.3 and av <= 0.95
    if name == "bowtie":
        return au <= 0.95 and av <= au * 0.95 + 0.12
    if name == "hourglass":
        return av <= 0.95 and au <= av * 0.95 + 0.12
    raise ValueError(name)


def symbol_core(index, scale=1):
    """The black shape of symbol `index` as a set of (x, y) pixels of the box."""
    box, core = SYMBOL_BOX * scale, SYMBOL_CORE * scale
    pad = (box - core) // 2
    pixels = set()
    for y in range(core):
        for x in range(core):
            u = (x + 0.5) / core * 2 - 1
            v = (y + 0.5) / core * 2 - 1
            if symbol_shape(SYMBOL_SHAPES[index], u, v):
                pixels.add((x + pad, y + pad))
    return pixels


def symbol_sprite(index, scale=1):
    """Sprite of symbol `index` (1..13) at the given pixel scale (1, 2 or 3):
    the symbol on black on the left (black core, white outline `scale`
    pixels wide), its mask on the right (black where the symbol is, white
    elsewhere).  Drawn like a ball: AND the mask, then XOR the symbol."""
    box = SYMBOL_BOX * scale
    core = symbol_core(index, scale)
    outline = set()
    for x, y in core:
        for dy in range(-scale, scale + 1):
            for dx in range(-scale, scale + 1):
                p = (x + dx, y + dy)
                if p not in core and 0 <= p[0] < box and 0 <= p[1] < box:
                    outline.add(p)
    im = Image.new("RGB", (2 * box, box), BACKGROUND)
    px = im.load()
    for y in range(box):
        for x in range(box):
            px[x + box, y] = (255, 255, 255)
    for x, y in outline:
        px[x, y] = (255, 255, 255)
        px[x + box, y] = (0, 0, 0)
    for x, y in core:
        px[x + box, y] = (0, 0, 0)
    return im


def make_symbols(scale=1):
    """Symbols 1..13 at one scale, each checked; at 1x also checked against each other."""
    sprites = {i: symbol_sprite(i, scale) for i in range(1, len(SYMBOL_SHAPES))}
    for i, im in sprites.items():
        check_symbol(im, i, scale)
    if scale == 1:
        check_symbols_distinct(sprites)
    return sprites


def check_symbol(im, index, k=1):
    """A symbol sits wholly on the visible part of its ball, both in front and
    behind, and keeps the AND/XOR contract (mask black exactly where drawn)."""
    box = SYMBOL_BOX * k
    assert im.size == (2 * box, box) and im.mode == "RGB"
    px = im.load()
    drawn = []
    for y in range(box):
        for x in range(box):
            mask = px[x + box, y]
            assert mask in ((0, 0, 0), (255, 255, 255)), (index, k, x, y)
            if mask == (255, 255, 255):
                assert px[x, y] == (0, 0, 0), ("symbol outside its mask", index, k, x, y)
            else:
                drawn.append((x, y))
    assert drawn, index
    fx, fy = (v * k for v in SYMBOL_AT_FRONT)
    bx, by = (v * k for v in SYMBOL_AT_BEHIND)
    for x, y in drawn:
        assert in_disc(x + fx, y + fy, k), ("symbol off the front ball", index, k, x, y)
        # Behind: on the ball, and clear of the ball in front, which stands 12
        # pixels to the left and 5 lower (a point of this ball is its point + (12, -5)).
        assert in_disc(x + bx, y + by, k), ("symbol off the ball behind", index, k, x, y)
        assert not in_disc(x + bx + 12 * k, y + by - 5 * k, k), ("symbol hidden by the front ball", index, k, x, y)


def filled(pixels, box):
    """`pixels` with its holes filled: every pixel of the box that cannot be
    reached from outside the box without crossing the shape."""
    outside, todo = set(), [(-1, -1)]
    while todo:
        p = todo.pop()
        if p in outside or p in pixels or not (-1 <= p[0] <= box and -1 <= p[1] <= box):
            continue
        outside.add(p)
        x, y = p
        todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    return frozenset((x, y) for y in range(box) for x in range(box) if (x, y) not in outside)


_AROUND = [(dx, dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1)]


def near_shapes(pixels):
    """The shape as it is, one pixel larger and one pixel smaller all round,
    each moved by up to one pixel in x and in y."""
    grown = {(x + dx, y + dy) for x, y in pixels for dx, dy in _AROUND}
    shrunk = {p for p in pixels if all((p[0] + dx, p[1] + dy) in pixels for dx, dy in _AROUND)}
    return [{(x + dx, y + dy) for x, y in shape} for shape in (pixels, grown, shrunk) for dx, dy in _AROUND]


def outline_difference(a, b):
    """Pixels in which two filled shapes differ, at the least over moving,
    growing or shrinking either of them by one pixel: a shape measures 0
    against itself drawn a pixel larger or a pixel to one side."""
    return min(min(len(a ^ n) for n in near_shapes(b)), min(len(b ^ n) for n in near_shapes(a)))


def check_symbols_distinct(sprites):
    """Every two 1x symbols differ in outline: their masks (the silhouette on a
    dark ball) by SYMBOL_MIN_OUTLINE pixels, their black shapes (all that
    shows on a light ball) by SYMBOL_MIN_CORE_OUTLINE.  Prints the closest pairs."""
    box = SYMBOL_BOX
    # The measure itself: a frame is one outline with the square a pixel smaller.
    square = {(x, y) for y in range(2, 9) for x in range(2, 9)}
    frame = {(x, y) for y in range(1, 10) for x in range(1, 10)} - {(x, y) for y in range(4, 7) for x in range(4, 7)}
    assert outline_difference(filled(square, box), filled(frame, box)) == 0
    masks, cores = {}, {}
    for i, im in sprites.items():
        px = im.load()
        mask = {(x, y) for y in range(box) for x in range(box) if px[x + box, y] == (0, 0, 0)}
        core = {p for p in mask if px[p] == (0, 0, 0)}
        assert len(core) >= 9, ("symbol too small", SYMBOL_SHAPES[i])
        masks[i], cores[i] = filled(mask, box), filled(core, box)
    for what, shapes, least in (("silhouettes", masks, SYMBOL_MIN_OUTLINE),
                                ("black shapes", cores, SYMBOL_MIN_CORE_OUTLINE)):
        pairs = sorted((outline_difference(shapes[a], shapes[b]), a, b)
                       for a in shapes for b in shapes if a < b)
        d, a, b = pairs[0]
        print("  symbol %-13s closest in outline: %s / %s, %d pixels apart  needs >= %d"
              % (what + ",", SYMBOL_SHAPES[a], SYMBOL_SHAPES[b], d, least))
        if d < least:
            raise SystemExit("symbol %s too alike: %s" % (what, ", ".join(
                "%s / %s %d" % (SYMBOL_SHAPES[a], SYMBOL_SHAPES[b], d) for d, a, b in pairs if d < least)))


# ---------------------------------------------------------------------------
# Composite pictures
# ---------------------------------------------------------------------------

def rounded_outline(mask_ss, inset, radius, width, w, h):
    d = ImageDraw.Draw(mask_ss)
    d.rounded_rectangle(
        (inset * SS, inset * SS, (w - inset) * SS - 1, (h - inset) * SS - 1),
        radius=int(radius * SS), outline=255, width=int(round(width * SS)))


def frame_image(w, h, frames, k=1):
    """Violet rounded frames at scale k: list of (inset, radius, width)."""
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    for inset, radius, width in frames:
        rounded_outline(mask_ss, inset * k, radius * k, width * k, w * k, h * k)
    return downscale(mask_ss)


def add_ink(out, mask, top, bottom, ink_top=INK_TOP, ink_bottom=INK_BOTTOM):
    """Lettering and lines are combined on black by taking the brighter
    pixel, so antialiased edges keep their exact coverage."""
    return ImageChops.lighter(out, colourise(mask, top, bottom, ink_top, ink_bottom))


def fading_rules(w, h, row, gap, reach, k=1):
    """Two one-pixel horizontal rules on `row`, symmetric about the centre:
    each starts `gap` px from the centre at full strength and fades out
    smoothly `reach` px from the centre.  At scale k a rule is k pixels
    thick."""
    w, h, gap, reach = w * k, h * k, gap * k, reach * k
    mask = Image.new("L", (w, h), 0)
    px = mask.load()
    c = w / 2.0
    for x in range(w):
        dist = abs(x + 0.5 - c)
        if gap <= dist <= reach:
            t = (reach - dist) / float(reach - gap)
            for y in range(row * k, row * k + k):
                px[x, y] = int(round(255 * t ** 0.7))
    return mask


def make_title(w, h, text, k=1):
    out = Image.new("RGB", (w * k, h * k), BACKGROUND)
    # Double rounded border.
    out = add_ink(out, frame_image(w, h, [(2, 9, 1.25), (5, 6, 0.75)], k), 0, h * k)
    # Title lettering, brighter at the top.
    box = (12, 7, w - 12, 64)
    size = largest_size(text, box)
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    top, bottom = draw_text_block(mask_ss, text, scaled_size(text, size, box, k), sbox(box, k))
    mask = downscale(mask_ss)
    out = add_ink(out, mask, top, bottom, TITLE_TOP, TITLE_BOTTOM)
    # Ornament: three small balls between two tapering rules.
    cy, r = 73.5, 6.5
    centres = [w / 2.0 - 15, w / 2.0, w / 2.0 + 15]
    colours = [5, 1, 3]
    out = add_ink(out, fading_rules(w, h, int(cy), 26, 92, k), 0, h * k)
    balls = Image.new("RGBA", (w * k, h * k), (0, 0, 0, 0))
    cy, r, pad = cy * k, r * k, 2 * k
    for cx, ci in zip(centres, colours):
        cx = cx * k
        b = draw_balls_rgba(int(2 * r) + 2 * pad, [(r + pad, r + pad, r, ci)], 4)
        ox, oy = int(round(cx - r - pad)), int(round(cy - r - pad))
        balls.alpha_composite(b, (ox, oy))
    out.paste(balls.convert("RGB"), (0, 0), balls.split()[3])
    return out


def wrap_options(sentence, max_lines):
    """All ways of breaking the sentence into 2..max_lines lines."""
    words = sentence.split()
    results = []

    def rec(start, lines):
        if start == len(words):
            if 2 <= len(lines) <= max_lines:
                results.append(tuple(lines))
            return
        if len(lines) >= max_lines:
            return
        for end in range(start + 1, len(words) + 1):
            rec(end, lines + [" ".join(words[start:end])])

    rec(0, [])
    return results


def make_help(w, h, text, k=1):
    sentence, ok = text
    out = Image.new("RGB", (w * k, h * k), BACKGROUND)
    out = add_ink(out, frame_image(w, h, [(2, 10, 1.0)], k), 0, h * k)
    text_box = (14, 10, w - 14, 118)
    ok_box = (w / 2.0 - 40, 124, w / 2.0 + 40, h - 10)
    # Choose the line breaks that allow the largest letters.
    best = None
    for lines in wrap_options(sentence, 4):
        s = largest_size(lines, text_box)
        if best is None or s > best[0]:
            best = (s, lines)
    size, lines = best
    ok_size = min(int(size * 1.3), largest_size((ok,), ok_box))
    # A thin rule separates the sentence from the button word.
    out = add_ink(out, fading_rules(w, h, 121, 34, 110, k), 0, h * k)
    pieces = [(lines, size, text_box), ((ok,), ok_size, ok_box)]
    return ImageChops.lighter(out, text_image(w, h, pieces, k))


def make_about(w, h, text, k=1):
    title, *rest = text
    title_box = (4, 2, w - 4, 48)
    line_boxes = [(4, 50, w - 4, 74), (4, 74, w - 4, 98), (4, 98, w - 4, h - 2)]
    size = min(largest_size((t,), b) for t, b in zip(rest, line_boxes))
    out = Image.new("RGB", (w * k, h * k), BACKGROUND)
    tsize = largest_size((title,), title_box)
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    top, bottom = draw_text_block(mask_ss, (title,), scaled_size((title,), tsize, title_box, k), sbox(title_box, k))
    mask = downscale(mask_ss)
    out = add_ink(out, mask, top, bottom, TITLE_TOP, TITLE_BOTTOM)
    for t, b in zip(rest, line_boxes):
        out = ImageChops.lighter(out, text_image(w, h, [((t,), size, b)], k))
    return out


# Rules page layout, in pixels at 1x.
RULES_PAIR_WIDTH = 104                # room kept right of the last paragraph
RULES_PITCH = 1.22                    # line pitch, in font sizes
RULES_GAP = 0.42                      # extra space between paragraphs, in font sizes
RULES_BULLETS = (5, 1, 3, 7, 8)       # ball colour of each paragraph's bullet
RULES_PAIR_COLOUR = 1


def rules_layout(paragraphs, size):
    """Baselines (in SS units from the top of the text) of every line at SS
    font size `size`, and the height the paragraphs take."""
    pitch, gap = RULES_PITCH * size, RULES_GAP * size
    ascent = 0.80 * size
    y, out = ascent, []
    for lines in paragraphs:
        out.append([y + i * pitch for i in range(len(lines))])
        y += len(lines) * pitch + gap
    return out, y - pitch - gap + 0.30 * size


def rules_fits(paragraphs, size, body):
    """Whether every line fits its width (the last paragraph leaves room for the
    drawing) and the paragraphs fit the body's height."""
    x0, y0, x1, y1 = body
    f = font(size)
    for n, lines in enumerate(paragraphs):
        room = x1 - x0 - (RULES_PAIR_WIDTH if n == len(paragraphs) - 1 else 0)
        if any(f.getlength(t) > room * SS for t in lines):
            return False
    return rules_layout(paragraphs, size)[1] <= (y1 - y0) * SS


_rules_size_cache = {}


def rules_size(paragraphs, body):
    """The largest SS font size at which the paragraphs fit the body at 1x."""
    key = (paragraphs, body)
    if key not in _rules_size_cache:
        size = 4 * SS * (body[3] - body[1])
        while size > 4 and not rules_fits(paragraphs, size, body):
            size -= 1
        if size < RULES_MIN_FONT_PX * SS:
            raise SystemExit("rules text needs %.2f px letters, less than %d px" % (size / SS, RULES_MIN_FONT_PX))
        _rules_size_cache[key] = size
    return _rules_size_cache[key]


def paste_ball(out, cx, cy, r, colour, k):
    """A small shaded ball centred on (cx, cy) (pixels at scale k), over black."""
    pad = 2
    size = int(math.ceil(2 * r)) + 2 * pad
    ox, oy = int(round(cx - size / 2.0)), int(round(cy - size / 2.0))
    b = draw_balls_rgba(size, [(cx - ox, cy - oy, r, colour)], 4)
    out.paste(b.convert("RGB"), (ox, oy), b.split()[3])


def front_to_back_pair(out, x, y, colour, k):
    """Two balls of one colour drawn as the board draws one stack: the deeper
    ball 12 pixels right and 5 up, the front ball ANDed and XORed over it.
    (x, y) is the front ball's top left corner, at scale k."""
    sprite = ball_sprite(colour, k)
    d = BALL_DIAMETER * k
    sp, op = sprite.load(), out.load()
    for bx, by in ((x + 12 * k, y - 5 * k), (x, y)):
        for j in range(d):
            for i in range(d):
                p = op[bx + i, by + j]
                op[bx + i, by + j] = tuple((a & m) ^ c for a, m, c in zip(p, sp[i + d, j], sp[i, j]))


def no_sign(w, h, cx, cy, r, width, k):
    """Mask of a ring with a slash from its upper left to its lower right."""
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    d = ImageDraw.Draw(mask_ss)
    cx, cy, r, width = cx * k * SS, cy * k * SS, r * k * SS, width * k * SS
    d.ellipse((cx - r, cy - r, cx + r, cy + r), outline=255, width=int(round(width)))
    a = (r - width / 2.0) / math.sqrt(2.0)
    d.line((cx - a, cy - a, cx + a, cy + a), fill=255, width=int(round(width)))
    return downscale(mask_ss)


def make_rules(w, h, text, k=1):
    title, *rest = text
    paragraphs = tuple(tuple(p.split("\n")) for p in rest)
    title_box = (14, 8, w - 14, 46)
    body = (42, 60, w - 16, h - 12)   # the bullets stand left of it
    out = Image.new("RGB", (w * k, h * k), BACKGROUND)
    out = add_ink(out, frame_image(w, h, [(2, 10, 1.0)], k), 0, h * k)

    tsize = largest_size((title,), title_box)
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    top, bottom = draw_text_block(mask_ss, (title,), scaled_size((title,), tsize, title_box, k), sbox(title_box, k))
    out = add_ink(out, downscale(mask_ss), top, bottom, TITLE_TOP, TITLE_BOTTOM)
    out = add_ink(out, fading_rules(w, h, 50, 0, 150, k), 0, h * k)

    # Layout at 1x; at larger scales the same baselines, k times as far apart,
    # with the letters a few SS steps smaller where rounding would widen a line.
    size = rules_size(paragraphs, body)
    baselines, used = rules_layout(paragraphs, size)
    top_ss = body[1] * SS + ((body[3] - body[1]) * SS - used) / 2.0
    ksize = size * k
    while ksize > 4 and not rules_fits(paragraphs, ksize, sbox(body, k)):
        ksize -= 1
    x0 = body[0] * k * SS
    for n, (lines, ys) in enumerate(zip(paragraphs, baselines)):
        for t, y in zip(lines, ys):
            base = (top_ss + y) * k
            mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
            ImageDraw.Draw(mask_ss).text((x0, base), t, font=font(ksize), fill=255, anchor="ls")
            out = add_ink(out, downscale(mask_ss), (base - 0.742 * ksize) / SS, base / SS)
        # A small ball as the bullet, centred on the first line's letters.
        cy = (top_ss + ys[0] - 0.37 * size) * k / SS
        cx = (body[0] - 15) * k
        paste_ball(out, cx, cy, 5.5 * k, RULES_BULLETS[n % len(RULES_BULLETS)], k)

    # Beside the last paragraph: a front-to-back pair, crossed out.
    ys = baselines[-1]
    mid = (top_ss + (ys[0] - 0.6 * size + ys[-1]) / 2.0) / SS
    pcx = body[2] - RULES_PAIR_WIDTH / 2.0
    fx, fy = int(round(pcx - 18.5)), int(round(mid - 10))
    front_to_back_pair(out, fx * k, fy * k, RULES_PAIR_COLOUR, k)
    # The sign is laid over the balls, not mixed with them.
    sign = no_sign(w, h, pcx, mid, 28, 2.5, k)
    return Image.composite(colourise(sign, 0, h * k), out, sign)


def stats_row_box(row, w):
    """Row `row` of the statistics table (0 is the row of colour counts), at 1x."""
    if row == 0:
        return (STATS_LABEL_LEFT, STATS_HEAD_TOP, w - 14, STATS_FIRST_ROW - 2)
    top = STATS_FIRST_ROW + (row - 1) * STATS_ROW_PITCH
    return (STATS_LABEL_LEFT, top, w - 14, top + STATS_ROW_PITCH - 3)


def stats_label_size(w, k):
    """The SS font size of the statistics page's labels at scale k: the largest at which
    the longest fits its column, and no larger than the figures call for."""
    labels = (STATS_CORNER, STATS_BOARD) + STATS_ROWS
    label_room = STATS_FIRST_COLUMN - STATS_LABEL_LEFT - 6
    size = min(largest_size((t,), (0, 0, label_room, STATS_ROW_PITCH - 5)) for t in labels)
    size = min(size, int(round(FIGURE_METRICS[0] * 1.12 * SS)))
    ksize = size * k
    while ksize > 4 and any(font(ksize).getlength(t) > label_room * k * SS for t in labels):
        ksize -= 1
    return ksize


def make_stats_board(w, h, k=1):
    """ "Board" at the labels' size, flush right, shown before the number of the board
    in play (the game leaves it out when there is none)."""
    ksize = stats_label_size(640, k)
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    base = STATS_BOARD_BASELINE * k * SS
    ImageDraw.Draw(mask_ss).text(((w - 5) * k * SS, base), STATS_BOARD, font=font(ksize), fill=255, anchor="rs")
    return add_ink(Image.new("RGB", (w * k, h * k), BACKGROUND), downscale(mask_ss), (base - 0.742 * ksize) / SS, base / SS)


def make_stats(w, h, k=1):
    title_box = (14, 6, w - 14, 44)
    out = Image.new("RGB", (w * k, h * k), BACKGROUND)
    out = add_ink(out, frame_image(w, h, [(2, 10, 1.0)], k), 0, h * k)
    tsize = largest_size((STATS_TITLE,), title_box)
    mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
    top, bottom = draw_text_block(mask_ss, (STATS_TITLE,), scaled_size((STATS_TITLE,), tsize, title_box, k), sbox(title_box, k))
    out = add_ink(out, downscale(mask_ss), top, bottom, TITLE_TOP, TITLE_BOTTOM)
    out = add_ink(out, fading_rules(w, h, 46, 0, 150, k), 0, h * k)

    # The labels share one size.
    labels = (STATS_CORNER,) + STATS_ROWS
    ksize = stats_label_size(w, k)
    heads = tuple(str(c) for c in range(6, 14))
    for row, text in enumerate(labels):
        x0, y0, x1, y1 = stats_row_box(row, w)
        base = (y1 - 5) * k * SS
        mask_ss = Image.new("L", (w * k * SS, h * k * SS), 0)
        d = ImageDraw.Draw(mask_ss)
        d.text((x0 * k * SS, base), text, font=font(ksize), fill=255, anchor="ls")
        if row == 0:
            for n, head in enumerate(heads):
                right = STATS_FIRST_COLUMN + (n + 1) * STATS_COLUMN_WIDTH - 6
                d.text((right * k * SS, base), head, font=font(ksize), fill=255, anchor="rs")
        out = add_ink(out, downscale(mask_ss), (base - 0.742 * ksize) / SS, base / SS)
        if row == 0:
            # A rule under the colour counts, across the figures' columns.
            rule = Image.new("L", (w * k, h * k), 0)
            ImageDraw.Draw(rule).rectangle(((STATS_FIRST_COLUMN + 4) * k, (y1 + 1) * k, (w - 18) * k, (y1 + 1) * k + k - 1), fill=160)
            out = add_ink(out, rule, 0, h * k)
    return out


# ---------------------------------------------------------------------------
# Icons
# ---------------------------------------------------------------------------

def make_icon(size):
    sub = 4 if size <= 64 else 2
    balls = [(cx * size, cy * size, r * size, ci) for cx, cy, r, ci in ICON_BALLS]
    return draw_balls_rgba(size, balls, sub)


def icon_svg():
    """A hand-written SVG of the same three-ball pyramid (unit = 256 px)."""
    s = 256
    parts = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">' % (s, s, s, s),
        "  <defs>",
    ]
    for cx, cy, r, ci in ICON_BALLS:
        col = BALL_COLOURS[ci]
        def tint(k):   # towards white for k > 0, towards black for k < 0
            if k >= 0:
                return "#%02x%02x%02x" % tuple(int(round(c + (255 - c) * k)) for c in col)
            return "#%02x%02x%02x" % tuple(int(round(c * (1 + k))) for c in col)
        parts += [
            '    <radialGradient id="b%d" cx="0.40" cy="0.36" r="0.70" fx="0.32" fy="0.27">' % ci,
            '      <stop offset="0" stop-color="%s"/>' % tint(0.9),
            '      <stop offset="0.16" stop-color="%s"/>' % tint(0.35),
            '      <stop offset="0.45" stop-color="%s"/>' % tint(0.0),
            '      <stop offset="0.85" stop-color="%s"/>' % tint(-0.45),
            '      <stop offset="1" stop-color="%s"/>' % tint(-0.7),
            "    </radialGradient>",
        ]
    parts.append("  </defs>")
    for cx, cy, r, ci in ICON_BALLS:
        parts.append('  <circle cx="%.1f" cy="%.1f" r="%.1f" fill="url(#b%d)"/>' % (cx * s, cy * s, r * s, ci))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


# ---------------------------------------------------------------------------
# Sound
# ---------------------------------------------------------------------------

def bleep_samples():
    n = int(round(BLEEP_RATE * BLEEP_SECONDS))
    raw = []
    phase = 0.0
    for i in range(n):
        t = i / BLEEP_RATE
        # Frequency glides up smoothly (ease-out) then holds.
        g = min(1.0, t / BLEEP_GLIDE_SECONDS)
        g = 1.0 - (1.0 - g) ** 2
        f = BLEEP_FREQ_START + (BLEEP_FREQ_END - BLEEP_FREQ_START) * g
        phase += 2.0 * math.pi * f / BLEEP_RATE
        v = math.sin(phase) + BLEEP_HARMONIC * math.sin(2.0 * phase)
        # Raised-cosine attack, exponential decay, raised-cosine release.
        env = math.exp(-t / BLEEP_DECAY)
        if t < BLEEP_ATTACK:
            env *= 0.5 - 0.5 * math.cos(math.pi * t / BLEEP_ATTACK)
        left = BLEEP_SECONDS - t
        if left < BLEEP_RELEASE:
            env *= 0.5 - 0.5 * math.cos(math.pi * max(0.0, left - 1.0 / BLEEP_RATE) / BLEEP_RELEASE)
        raw.append(v * env)
    peak = max(abs(v) for v in raw)
    scale = 32767.0 * 10 ** (BLEEP_PEAK_DBFS / 20.0) / peak
    return [int(round(v * scale)) for v in raw]


def write_bleep(path):
    samples = bleep_samples()
    with wave.open(path, "wb") as wf:
        wf.setnchannels(1)
        wf.setsampwidth(2)
        wf.setframerate(BLEEP_RATE)
        wf.writeframes(b"".join(struct.pack("<h", s) for s in samples))


# ---------------------------------------------------------------------------
# Checks and output
# ---------------------------------------------------------------------------

def check_margins(name, im, margins, k=1):
    """Fail loudly if any ink reaches into the black margins (scale k)."""
    l, t, r, b = (m * k for m in margins)
    w, h = im.size
    px = im.load()
    for y in range(h):
        for x in range(w):
            if x < l or x >= w - r or y < t or y >= h - b:
                assert px[x, y] == BACKGROUND, "%s: ink in margin at %d,%d" % (name, x, y)


def save_png(im, path):
    # No pnginfo and no optimisation: the bytes depend only on the pixels.
    im.save(path, format="PNG", optimize=False)


def scaled_name(name, k):
    """name.png at scale 1, name@2x.png at scale 2 and so on."""
    return name if k == 1 else name[:-len(".png")] + "@%dx.png" % k


def write_pictures(out_dir, k):
    """Draws every picture of the table at scale k and writes it."""
    images = {}
    labels = [p for p in PICTURES if p[3] == "label"]
    images.update(make_labels(labels, k))
    for name, w, h, kind, text, margins, group in PICTURES:
        if kind == "glyph":
            images[name] = glyph_image(text[0], w, h, k)[0]
        elif kind == "ball":
            images[name] = ball_sprite(text[0], k)
        elif kind == "blank":
            images[name] = Image.new("RGB", (w * k, h * k), BACKGROUND)
        elif kind == "title":
            images[name] = make_title(w, h, text, k)
        elif kind == "help":
            images[name] = make_help(w, h, text, k)
        elif kind == "about":
            images[name] = make_about(w, h, text, k)
        elif kind == "rules":
            images[name] = make_rules(w, h, text, k)
        elif kind == "stats":
            images[name] = make_stats(w, h, k)
        elif kind == "stats-board":
            images[name] = make_stats_board(w, h, k)
        elif kind == "figure":
            images[name] = glyph_image(text[0], w, h, k, FIGURE_METRICS)[0]

    if k == 1:
        # The balls must stay apart for every kind of colour vision; refuse to
        # write a palette that lets two colours (or dark red and an empty cell) meet.
        means = [colour_check.mean_disc_colour(images["pctBall_%d.png" % i]) for i in range(14)]
        failures = colour_check.check(means, dict(enumerate(BALL_NAMES)))
        if failures:
            raise SystemExit("ball colours too close:\n  " + "\n  ".join(failures))

    for name, w, h, kind, text, margins, group in PICTURES:
        im = images[name]
        assert im.size == (w * k, h * k) and im.mode == "RGB", (name, k, im.size, im.mode)
        if kind in ("label", "glyph", "help", "about", "rules", "stats", "stats-board", "figure"):
            check_margins(name, im, margins, k)
        save_png(im, os.path.join(out_dir, scaled_name(name, k)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "assets")
    out_dir = os.path.abspath(out_dir)
    os.makedirs(os.path.join(out_dir, "icons"), exist_ok=True)

    # The symbols are checked before anything is written.
    symbols = {k: make_symbols(k) for k in SCALES}
    for k in SCALES:
        write_pictures(out_dir, k)

    for size in ICON_SIZES:
        icon = make_icon(size)
        assert icon.size == (size, size)
        save_png(icon, os.path.join(out_dir, "icons", "orbelix-%d.png" % size))
    with open(os.path.join(out_dir, "icons", "orbelix.svg"), "w", encoding="utf-8", newline="\n") as f:
        f.write(icon_svg())

    for k in SCALES:
        for i, im in symbols[k].items():
            save_png(im, os.path.join(out_dir, scaled_name("pctSymbol_%d.png" % i, k)))

    write_bleep(os.path.join(out_dir, "Bleep.wav"))
    print("wrote %d pictures and %d symbols at scales %s, %d icons and Bleep.wav to %s"
          % (len(PICTURES), len(SYMBOL_SHAPES) - 1, SCALES, len(ICON_SIZES) + 1, out_dir))


if __name__ == "__main__":
    main()
