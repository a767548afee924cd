#!/usr/bin/env python3
"""How far apart the ball colours look, for every common kind of colour vision.

Used by make_art.py before it writes the ball sprites, and on its own to
re-check the sprites that ship:

    /usr/bin/python3 tools/colour_check.py [ASSET_DIR]

Each ball is measured by the mean colour of its disc (averaged in linear
light, the way the eye mixes a small shaded ball).  Colour-vision deficiency
is simulated with the Machado, Oliveira and Fernandes (2009) matrices at
severity 1.0, applied in linear RGB; distances are CIEDE2000 in CIELAB (D65).
The script prints every figure and exits non-zero when a rule is missed.
"""

import math
import os
import sys

# Machado et al. 2009, severity 1.0, for linear RGB.
VISION = {
    "normal": None,
    "protanopia": ((0.152286, 1.052583, -0.204868),
                   (0.114503, 0.786281, 0.099216),
                   (-0.003882, -0.048116, 1.051998)),
    "deuteranopia": ((0.367322, 0.860646, -0.227968),
                     (0.280085, 0.672501, 0.047413),
                     (-0.011820, 0.042940, 0.968881)),
    "tritanopia": ((1.255528, -0.076749, -0.178779),
                   (-0.078411, 0.930809, 0.147602),
                   (0.004733, 0.691367, 0.303900)),
}
DEFICIENT = ("protanopia", "deuteranopia", "tritanopia")

# The rules the palette keeps.  Codes are the ball indices: 0 is the empty
# cell, 1..6 the colours of the default game, 1..13 all colours.
BASIC = range(1, 7)
ALL = range(1, 14)
EMPTY = 0
DARK_RED = 11
MIN_BASIC_NORMAL = 20.0     # colours 1..6, normal vision
MIN_BASIC_DEFICIENT = 12.0  # colours 1..6, each simulated deficiency
MIN_ALL_NORMAL = 12.0       # all 13 colours, normal vision
MIN_DARK_RED_EMPTY = 12.0   # dark red against the empty ball, every kind of vision


def srgb_to_linear(c):
    c = c / 255.0
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def linear_to_srgb(v):
    v = min(1.0, max(0.0, v))
    return 255.0 * (12.92 * v if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055)


def simulate(linear_rgb, vision):
    m = VISION[vision]
    if m is None:
        return tuple(linear_rgb)
    return tuple(min(1.0, max(0.0, sum(m[i][k] * linear_rgb[k] for k in range(3)))) for i in range(3))


def linear_to_lab(rgb):
    r, g, b = rgb
    x = 0.4124564 * r + 0.3575761 * g + 0.1804375 * b
    y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b
    z = 0.0193339 * r + 0.1191920 * g + 0.9503041 * b
    white = (0.95047, 1.0, 1.08883)

    def f(t):
        return t ** (1 / 3) if t > (6 / 29) ** 3 else t / (3 * (6 / 29) ** 2) + 4 / 29

    fx, fy, fz = f(x / white[0]), f(y / white[1]), f(z / white[2])
    return (116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz))


def ciede2000(lab1, lab2):
    """CIEDE2000 colour difference (Sharma, Wu and Dalal 2005), kL = kC = kH = 1."""
    L1, a1, b1 = lab1
    L2, a2, b2 = lab2
    C1 = math.hypot(a1, b1)
    C2 = math.hypot(a2, b2)
    Cm = (C1 + C2) / 2
    G = 0.5 * (1 - math.sqrt(Cm ** 7 / (Cm ** 7 + 25.0 ** 7)))
    a1p, a2p = (1 + G) * a1, (1 + G) * a2
    C1p, C2p = math.hypot(a1p, b1), math.hypot(a2p, b2)
    h1p = math.degrees(math.atan2(b1, a1p)) % 360 if C1p else 0.0
    h2p = math.degrees(math.atan2(b2, a2p)) % 360 if C2p else 0.0
    dLp = L2 - L1
    dCp = C2p - C1p
    if C1p * C2p == 0:
        dhp = 0.0
    elif abs(h2p - h1p) <= 180:
        dhp = h2p - h1p
    elif h2p - h1p > 180:
        dhp = h2p - h1p - 360
    else:
        dhp = h2p - h1p + 360
    dHp = 2 * math.sqrt(C1p * C2p) * math.sin(math.radians(dhp) / 2)
    Lpm = (L1 + L2) / 2
    Cpm = (C1p + C2p) / 2
    if C1p * C2p == 0:
        hpm = h1p + h2p
    elif abs(h1p - h2p) <= 180:
        hpm = (h1p + h2p) / 2
    elif h1p + h2p < 360:
        hpm = (h1p + h2p + 360) / 2
    else:
        hpm = (h1p + h2p - 360) / 2
    T = (1 - 0.17 * math.cos(math.radians(hpm - 30)) + 0.24 * math.cos(math.radians(2 * hpm))
         + 0.32 * math.cos(math.radians(3 * hpm + 6)) - 0.20 * math.cos(math.radians(4 * hpm - 63)))
    dtheta = 30 * math.exp(-(((hpm - 275) / 25) ** 2))
    Rc = 2 * math.sqrt(Cpm ** 7 / (Cpm ** 7 + 25.0 ** 7))
    Sl = 1 + 0.015 * (Lpm - 50) ** 2 / math.sqrt(20 + (Lpm - 50) ** 2)
    Sc = 1 + 0.045 * Cpm
    Sh = 1 + 0.015 * Cpm * T
    Rt = -math.sin(math.radians(2 * dtheta)) * Rc
    return math.sqrt((dLp / Sl) ** 2 + (dCp / Sc) ** 2 + (dHp / Sh) ** 2
                     + Rt * (dCp / Sc) * (dHp / Sh))


def mean_disc_colour(sprite):
    """Mean linear RGB of the disc of a ball sprite (a PIL RGB image, ball on
    the left half, its mask on the right; the disc is where the mask is black)."""
    d = sprite.height
    px = sprite.load()
    acc = [0.0, 0.0, 0.0]
    n = 0
    for y in range(d):
        for x in range(d):
            if px[x + d, y] == (0, 0, 0):
                for k in range(3):
                    acc[k] += srgb_to_linear(px[x, y][k])
                n += 1
    if n == 0:
        raise ValueError("ball sprite has an empty disc")
    return tuple(a / n for a in acc)


def distance(lin1, lin2, vision):
    return ciede2000(linear_to_lab(simulate(lin1, vision)), linear_to_lab(simulate(lin2, vision)))


def check(means, names=None, out=sys.stdout):
    """means: linear RGB per ball index 0..13.  Prints the figures; returns a
    list of the rules that were missed (empty when all hold)."""
    names = names or {i: str(i) for i in range(len(means))}
    failures = []

    def pairs(codes):
        codes = list(codes)
        return [(a, b) for i, a in enumerate(codes) for b in codes[i + 1:]]

    def worst(codes, vision):
        return min((distance(means[a], means[b], vision), a, b) for a, b in pairs(codes))

    def report(label, value, a, b, limit):
        ok = value >= limit
        print("  %-44s %6.1f  (%s / %s)  needs >= %.0f  %s"
              % (label, value, names[a], names[b], limit, "ok" if ok else "TOO CLOSE"), file=out)
        if not ok:
            failures.append("%s: %s / %s is %.1f, needs %.0f" % (label, names[a], names[b], value, limit))

    print("Smallest CIEDE2000 distance between mean disc colours:", file=out)
    report("colours 1-6, normal vision", *worst(BASIC, "normal"), MIN_BASIC_NORMAL)
    for vision in DEFICIENT:
        report("colours 1-6, %s" % vision, *worst(BASIC, vision), MIN_BASIC_DEFICIENT)
    report("colours 1-13, normal vision", *worst(ALL, "normal"), MIN_ALL_NORMAL)
    for vision in ("normal",) + DEFICIENT:
        report("dark red / empty ball, %s" % vision,
               distance(means[DARK_RED], means[EMPTY], vision), DARK_RED, EMPTY, MIN_DARK_RED_EMPTY)
    # For information: how the larger games look without full colour vision.
    for vision in DEFICIENT:
        d, a, b = worst(ALL, vision)
        close = sum(1 for p, q in pairs(ALL) if distance(means[p], means[q], vision) < 10)
        print("  %-44s %6.1f  (%s / %s)  %d pairs under 10; the symbols tell them apart"
              % ("colours 1-13, %s" % vision, d, names[a], names[b], close), file=out)
    return failures


def check_sprite_files(asset_dir, names=None):
    from PIL import Image
    means = []
    for i in range(14):
        with Image.open(os.path.join(asset_dir, "pctBall_%d.png" % i)) as im:
            means.append(mean_disc_colour(im.convert("RGB")))
    return check(means, names)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    asset_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "assets")
    failures = check_sprite_files(asset_dir)
    if failures:
        print("colour check FAILED:\n  " + "\n  ".join(failures), file=sys.stderr)
        return 1
    print("colour check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
