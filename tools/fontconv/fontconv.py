#!/usr/bin/env python3
"""Converts the freely licensed X11 bitmap fonts of Debian into the toolkit's
font text format and writes them as C++ sources.

Every target font has fixed metrics (cell width or width range, height,
ascent, number of glyphs).  Glyphs are taken from a chain of source fonts and
fitted into the cell: padded or cropped to the width, placed on the target
baseline, squeezed (blank and repeated rows or columns removed) where they
would stick out, emboldened by a one-pixel smear where no bold source exists,
and clipped as a last resort.  Codes 127..159 carry the Windows-1252
characters where a source has them (the euro sign, typographic quotes,
dashes); codes without a character there get a box.

Run tools/fontconv/fontconv.py --help; tools/fontconv/README says more.
"""

import argparse
import gzip
import os
import shutil
import subprocess
import sys
import tempfile
import unicodedata

# Windows-1252 for 0x80..0x9F; None where the code page has no character.
CP1252 = [
    0x20AC, None, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, None, 0x017D, None,
    None, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, None, 0x017E, 0x0178,
]

SPACES = (32, 160)

# Spacing forms of the combining marks used to compose accented letters.
MARKS_ABOVE = {0x300: 0x60, 0x301: 0xB4, 0x302: 0x5E, 0x303: 0x7E,
               0x308: 0xA8, 0x30A: 0xB0, 0x30C: 0x2C7}
MARKS_BELOW = {0x327: 0xB8}


def code_to_unicode(code):
    if code == 127:
        return None
    if 128 <= code <= 159:
        return CP1252[code - 128]
    return code


# ---------------------------------------------------------------- sources

class SourceGlyph:
    __slots__ = ("dwidth", "w", "h", "xoff", "yoff", "rows")


class SourceFont:
    """One BDF font: glyphs by encoding, baseline metrics, notices."""

    def __init__(self, path, label):
        self.path = path
        self.label = label
        self.glyphs = {}
        self.ascent = self.descent = 0
        self.props = {}
        self.unicode = False
        self._parse(self._bdf_text(path))

    @staticmethod
    def _bdf_text(path):
        if path.endswith(".bdf"):
            with open(path, encoding="latin-1") as f:
                return f.read()
        with tempfile.TemporaryDirectory() as tmp:
            pcf = os.path.join(tmp, "font.pcf")
            opener = gzip.open if path.endswith(".gz") else open
            with opener(path, "rb") as src, open(pcf, "wb") as dst:
                shutil.copyfileobj(src, dst)
            out = subprocess.run(["pcf2bdf", pcf], check=True, capture_output=True)
            return out.stdout.decode("latin-1")

    def _parse(self, text):
        lines = text.split("\n")
        i = 0
        while i < len(lines):
            words = lines[i].split(None, 1)
            key = words[0] if words else ""
            if key in ("FONT_ASCENT", "FONT_DESCENT"):
                setattr(self, key[5:].lower(), int(words[1]))
            elif key in ("COPYRIGHT", "NOTICE", "FOUNDRY", "FAMILY_NAME",
                         "CHARSET_REGISTRY", "FONT"):
                self.props[key] = words[1].strip().strip('"') if len(words) > 1 else ""
            elif key == "STARTCHAR":
                i = self._parse_char(lines, i + 1)
            i += 1
        self.unicode = self.props.get("CHARSET_REGISTRY", "") == "ISO10646"

    def _parse_char(self, lines, i):
        g = SourceGlyph()
        g.rows = []
        enc = -1
        while not lines[i].startswith("ENDCHAR"):
            words = lines[i].split()
            if words[0] == "ENCODING":
                enc = int(words[1])
            elif words[0] == "DWIDTH":
                g.dwidth = int(words[1])
            elif words[0] == "BBX":
                g.w, g.h, g.xoff, g.yoff = map(int, words[1:5])
            elif words[0] == "BITMAP":
                i += 1
                while not lines[i].startswith("ENDCHAR"):
                    g.rows.append(int(lines[i], 16) if lines[i].strip() else 0)
                    i += 1
                break
            i += 1
        if enc >= 0:
            self.glyphs[enc] = g
        return i

    def lookup(self, code, uni):
        """The glyph for a toolkit code: by Unicode in ISO 10646 fonts, by
        the code itself (ISO 8859-1 only) in the others."""
        if self.unicode:
            return self.glyphs.get(uni) if uni is not None else None
        if 127 <= code <= 159 or code > 255:
            return None
        return self.glyphs.get(code)


# ---------------------------------------------------------------- glyphs

class Ink:
    """A glyph in target coordinates: pixels (x, row) with row 0 at the top
    of the cell, and an advance width."""

    def __init__(self, adv, pixels=()):
        self.adv = adv
        self.px = set(pixels)

    def copy(self):
        return Ink(self.adv, self.px)

    def rows(self):
        return sorted({y for _, y in self.px})

    def cols(self):
        return sorted({x for x, _ in self.px})

    def box(self):
        xs = [x for x, _ in self.px]
        ys = [y for _, y in self.px]
        return min(xs), min(ys), max(xs), max(ys)

    def shift(self, dx, dy):
        self.px = {(x + dx, y + dy) for x, y in self.px}


def place(src, g, ascent, embolden=False):
    """A source glyph put on a baseline at row `ascent`."""
    ink = Ink(g.dwidth)
    bytes_per_row = (g.w + 7) // 8 * 8
    for by, bits in enumerate(g.rows):
        # BDF rows run from the top of the bounding box downwards.
        above = g.yoff + g.h - 1 - by      # pixels above the baseline, 0 = on it
        row = ascent - 1 - above
        for bx in range(g.w):
            if (bits >> (bytes_per_row - 1 - bx)) & 1:
                ink.px.add((g.xoff + bx, row))
    if embolden:
        smear(ink)
    return ink


def smear(ink):
    """One pixel more to the right of every set pixel, except where that
    would close a one-pixel gap between two strokes."""
    ink.px |= {(x + 1, y) for x, y in ink.px if (x + 2, y) not in ink.px or (x + 1, y) in ink.px}


# Per font: lines squeezed out, glyphs that lost pixels at the cell's edge.
FIT_STATS = {"squeezed": 0, "clipped": 0, "kept": 0}


def remove_line(ink, axis, at, towards):
    """Deletes row or column `at`; pixels on the far side move one step
    towards `towards` (+1 or -1) to close the gap."""
    out = set()
    FIT_STATS["squeezed"] += 1
    for p in ink.px:
        v = p[axis]
        if v == at:
            FIT_STATS["removed"] = FIT_STATS.get("removed", 0) + 1
            continue
        if (v - at) * towards < 0:
            v += towards
        out.add((v, p[1]) if axis == 0 else (p[0], v))
    ink.px = out


def line_bits(ink, axis, at):
    return frozenset(p[1 - axis] for p in ink.px if p[axis] == at)


def squeeze(ink, axis, lo, hi, towards):
    """Removes one blank or repeated line between lo and hi (inclusive),
    preferring blank lines inside the ink, then repeats, nearest the middle.
    Returns False when no line can go."""
    if hi < lo:
        return False
    used = sorted({p[axis] for p in ink.px if lo <= p[axis] <= hi})
    mid = (lo + hi) / 2
    if used:
        blank = [v for v in range(used[0] + 1, used[-1]) if not line_bits(ink, axis, v)]
        if blank:
            remove_line(ink, axis, min(blank, key=lambda v: abs(v - mid)), towards)
            return True
    repeats = [v for v in used
               if line_bits(ink, axis, v) and line_bits(ink, axis, v) == line_bits(ink, axis, v + 1)]
    if repeats:
        remove_line(ink, axis, min(repeats, key=lambda v: abs(v - mid)), towards)
        return True
    return False


def fit_rows(ink, ysize, ascent):
    """Keeps the baseline and squeezes the part that sticks out above the
    top or below the bottom of the cell; what still does not fit is clipped."""
    if not ink.px:
        return
    while ink.box()[1] < 0 and squeeze(ink, 1, ink.box()[1], ascent - 1, +1):
        pass
    while ink.box()[3] >= ysize and squeeze(ink, 1, ascent, ink.box()[3], -1):
        pass
    # Marks and symbols that still stick out move inwards as far as the
    # other side leaves room.
    _, y0, _, y1 = ink.box()
    if y0 < 0:
        ink.shift(0, min(-y0, max(0, ysize - 1 - y1)))
    elif y1 >= ysize:
        ink.shift(0, -min(y1 - ysize + 1, y0))
    ink.px = {(x, y) for x, y in ink.px if 0 <= y < ysize}


def fit_cols(ink, width):
    """Moves or squeezes the ink into the columns 0..width-1."""
    if not ink.px:
        return
    x0, _, x1, _ = ink.box()
    while x1 - x0 + 1 > width and squeeze(ink, 0, x0, x1, -1):
        x0, _, x1, _ = ink.box()
    if x0 < 0:
        ink.shift(min(-x0, max(0, width - 1 - x1)), 0)
    elif x1 >= width:
        ink.shift(-min(x1 - width + 1, x0), 0)
    ink.px = {(x, y) for x, y in ink.px if 0 <= x < width}


def box_glyph(adv, ascent, cap):
    """An outlined box for codes without a character."""
    ink = Ink(adv)
    x0, x1 = (1, adv - 2) if adv >= 4 else (0, adv - 1)
    y0, y1 = max(0, ascent - cap), ascent - 1
    for x in range(x0, x1 + 1):
        ink.px |= {(x, y0), (x, y1)}
    for y in range(y0, y1 + 1):
        ink.px |= {(x0, y), (x1, y)}
    return ink


# ---------------------------------------------------------------- targets

class Target:
    """One font to generate.  sources: (file, options) in lookup order;
    options: embolden, compose (accented letters built from base letter and
    accent of this chain before later sources are asked)."""

    def __init__(self, name, symbol, kind, ysize, ascent, chars, weight,
                 sources, width=None, widths=None, xsize=None, accent_sources=None):
        self.name = name
        self.symbol = symbol
        self.kind = kind                  # "monospace" or "proportional"
        self.ysize = ysize
        self.ascent = ascent
        self.descent = ysize - ascent
        self.chars = chars
        self.weight = weight
        self.sources = sources
        self.width = width                # monospace cell width
        self.widths = widths              # proportional (min, max)
        self.xsize = xsize if xsize is not None else width
        self.accent_sources = accent_sources


MISC = "misc"
DPI75 = "75dpi"
DPI100 = "100dpi"


def src(folder, name, **opts):
    return (folder, name, opts)


def fixed(name):
    """A misc-fixed font in its ISO 8859-1 and its ISO 10646 form."""
    return [src(MISC, name + "-ISO8859-1"), src(MISC, name)]


BUILTIN = [
    Target("6x13", "fixed6x13", "monospace", 13, 11, 224, 0, fixed("6x13"), width=6),
    Target("6x13b", "fixed6x13b", "monospace", 13, 11, 224, 2, fixed("6x13B"), width=6),
    Target("12x24", "fixed12x24", "monospace", 24, 22, 223, 0,
           [src(MISC, "12x24"), src(MISC, "10x20")], width=12),
    Target("5x7", "fixed5x7", "monospace", 7, 6, 224, 0, fixed("5x7"), width=5),
    Target("8x8", "fixed8x8", "monospace", 8, 7, 224, 0,
           [src(MISC, "clR8x8", compose=True)] + fixed("5x8"), width=8,
           accent_sources=[src(MISC, "5x8-ISO8859-1")]),
    Target("6x8", "fixed6x8", "monospace", 8, 7, 224, 0, fixed("5x8"), width=6),
    Target("8x16", "fixed8x16", "monospace", 16, 14, 223, 0,
           [src(MISC, "8x16"), src(MISC, "8x13")], width=8),
    Target("8x16b", "fixed8x16b", "monospace", 16, 14, 223, 2,
           [src(MISC, "8x16", embolden=True), src(MISC, "8x13B")], width=8),
    Target("9x15", "fixed9x15", "monospace", 15, 12, 224, 0, fixed("9x15"), width=9),
    Target("9x15b", "fixed9x15b", "monospace", 15, 12, 224, 2, fixed("9x15B"), width=9),
    Target("var13", "var13", "proportional", 13, 11, 223, 0,
           [src(DPI75, "helvR10-ISO8859-1", compose=True), src(MISC, "6x13")],
           widths=(2, 11), xsize=11),
]

# Metric fonts of the page output: (name, symbol, ysize, ascent, folder, size).
PAGE_SANS = [
    ("Arial10", "sans10", 10, 8, DPI75, "08"),
    ("Arial12", "sans12", 12, 10, DPI75, "10"),
    ("Arial14", "sans14", 14, 11, DPI75, "12"),
    ("Arial16", "sans16", 16, 13, DPI75, "14"),
    ("Arial20", "sans20", 19, 15, DPI100, "12"),
    ("Arial22", "sans22", 22, 17, DPI75, "18"),
    ("Arial24", "sans24", 24, 19, DPI100, "14"),
    ("Arial26", "sans26", 26, 21, DPI75, "24"),
    ("Arial36", "sans36", 36, 29, DPI100, "24"),
]
PAGE_MONO = [
    ("crnew10", "mono10", 8, 6, DPI75, "08"),
    ("crnew12", "mono12", 12, 10, DPI75, "10"),
    ("crnew14", "mono14", 14, 11, DPI75, "12"),
]

# ISO 10646 misc-fixed fonts that give the Windows-1252 extras to the page
# fonts: (name, height, bold).
UNICODE_FALLBACKS = [("5x8", 8, False), ("6x10", 10, False), ("6x12", 12, False),
                     ("6x13", 13, False), ("6x13B", 13, True), ("7x14", 14, False),
                     ("7x14B", 14, True), ("9x15", 15, False), ("9x15B", 15, True),
                     ("9x18", 18, False), ("9x18B", 18, True), ("10x20", 20, False)]


def unicode_fallback(ysize, bold):
    """The tallest fitting font, of the same weight where one fits;
    regular ones are emboldened for bold targets."""
    fitting = [f for f in UNICODE_FALLBACKS if f[1] <= ysize]
    same = [f for f in fitting if f[2] == bold]
    name, _, is_bold = max(same or fitting, key=lambda f: f[1])
    return src(MISC, name, embolden=bold and not is_bold)


def page_targets():
    out = []
    for bold in (False, True):
        for name, sym, ysize, asc, folder, size in PAGE_SANS:
            face = ("helvB" if bold else "helvR") + size + "-ISO8859-1"
            out.append(Target(name + ("b" if bold else ""), sym + ("b" if bold else ""),
                              "proportional", ysize, asc, 224, 2 if bold else 0,
                              [src(folder, face, compose=True), unicode_fallback(ysize, bold)],
                              widths=(1, 64)))
        for name, sym, ysize, asc, folder, size in PAGE_MONO:
            face = ("courB" if bold else "courR") + size + "-ISO8859-1"
            out.append(Target(name + ("b" if bold else ""), sym + ("b" if bold else ""),
                              "monospace", ysize, asc, 224, 2 if bold else 0,
                              [src(folder, face, compose=True), unicode_fallback(ysize, bold)]))
    return out


# ---------------------------------------------------------------- fitting

class Converter:
    def __init__(self, fontdir):
        self.fontdir = fontdir
        self.cache = {}
        self.used = {}            # label -> SourceFont, for the notices

    def font(self, folder, name):
        key = (folder, name)
        if key not in self.cache:
            path = os.path.join(self.fontdir, folder, name + ".pcf.gz")
            self.cache[key] = SourceFont(path, folder + "/" + name + ".pcf.gz")
        return self.cache[key]

    def cell_width(self, t):
        """Monospace width; for page fonts the source's own cell width."""
        if t.width is None:
            f = self.font(*t.sources[0][:2])
            t.width = f.glyphs[ord("M")].dwidth
            t.xsize = t.width
        return t.width

    def from_source(self, t, entry, code, uni):
        f = self.font(entry[0], entry[1])
        g = f.lookup(code, uni)
        if g is None or not any(g.rows):
            return None
        self.used[f.label] = f
        ink = place(f, g, t.ascent, entry[2].get("embolden", False))
        if t.kind == "monospace":
            # Centre the source cell in the target cell.
            w = self.cell_width(t)
            ink.shift((w - g.dwidth + 1) // 2 if w >= g.dwidth else -((g.dwidth - w) // 2), 0)
            ink.adv = w
        return ink

    def lookup(self, t, code, uni, chain, compose=True):
        for entry in chain:
            ink = self.from_source(t, entry, code, uni)
            if ink is not None:
                return ink
            if compose and entry[2].get("compose") and uni is not None:
                ink = self.compose(t, uni, chain)
                if ink is not None:
                    return ink
        return None

    def compose(self, t, uni, chain):
        parts = unicodedata.normalize("NFD", chr(uni))
        if len(parts) != 2:
            return None
        base_ch, mark = ord(parts[0]), ord(parts[1])
        spacing = MARKS_ABOVE.get(mark) or MARKS_BELOW.get(mark)
        if spacing is None:
            return None
        base = self.lookup(t, base_ch, base_ch, chain[:1], compose=False)
        if base is None or not base.px:
            return None
        accent_chain = t.accent_sources or chain
        acc = None
        for entry in accent_chain:
            acc = self.from_source(t, entry, spacing, spacing)
            if acc is not None:
                break
        if acc is None and mark == 0x30C:
            # A caron is a circumflex upside down.
            acc = self.lookup(t, 0x5E, 0x5E, accent_chain, compose=False)
            if acc is not None:
                y0, y1 = acc.box()[1], acc.box()[3]
                acc.px = {(x, y0 + y1 - y) for x, y in acc.px}
        if acc is None or not acc.px:
            return None
        if base_ch in (ord("i"), ord("j")):
            drop_dot(base)
        return attach(base, acc, mark in MARKS_BELOW, t.ascent)

    def glyph(self, t, code):
        uni = code_to_unicode(code)
        if code in SPACES:
            adv = self.cell_width(t) if t.kind == "monospace" else \
                self.font(*t.sources[0][:2]).glyphs[32].dwidth
            ink = Ink(adv)
        else:
            ink = self.lookup(t, code, uni, t.sources) if uni is not None else None
            if ink is None:
                h = self.lookup(t, ord("H"), ord("H"), t.sources)
                cap = h.box()[3] - h.box()[1] + 1
                adv = self.cell_width(t) if t.kind == "monospace" else max(4, cap * 2 // 3 + 2)
                ink = box_glyph(adv, t.ascent, cap)
        return self.fit(t, ink)

    def fit(self, t, ink):
        before = len(ink.px)
        ink = self._fit(t, ink)
        FIT_STATS["clipped" if len(ink.px) < before - FIT_STATS.pop("removed", 0) else "kept"] += 1
        return ink

    def _fit(self, t, ink):
        fit_rows(ink, t.ysize, t.ascent)
        if t.kind == "monospace":
            fit_cols(ink, t.width)
            ink.adv = t.width
        else:
            lo, hi = t.widths
            if ink.px:
                x0, _, x1, _ = ink.box()
                if x0 < 0:
                    ink.shift(-x0, 0)
                    x1 -= x0
                ink.adv = max(ink.adv, x1 + 1)
            ink.adv = max(lo, min(hi, ink.adv))
            fit_cols(ink, ink.adv)
        return ink

    def convert(self, t):
        FIT_STATS.update(squeezed=0, clipped=0, kept=0)
        glyphs = [self.glyph(t, code) for code in range(32, 32 + t.chars)]
        for code, g in zip(range(32, 32 + t.chars), glyphs):
            if code not in SPACES and not g.px:
                raise SystemExit("%s: code %d has no ink" % (t.name, code))
        return glyphs


def drop_dot(ink):
    """Turns i and j into their dotless forms: removes the ink above the
    topmost blank row."""
    rows = ink.rows()
    for a, b in zip(rows, rows[1:]):
        if b > a + 1:
            ink.px = {(x, y) for x, y in ink.px if y > a}
            return


def attach(base, acc, below, ascent):
    """Puts an accent above (or below) a base letter, centred on its ink.
    Tall bases are squeezed so that the accent keeps one blank row."""
    out = base.copy()
    bx0, by0, bx1, by1 = out.box()
    ax0, ay0, ax1, ay1 = acc.box()
    dx = (bx0 + bx1) // 2 - (ax0 + ax1) // 2
    if (bx1 - bx0 - (ax1 - ax0)) % 2 and (bx0 + bx1) % 2:
        dx += 1
    if below:
        dy = by1 + 1 - ay0
    else:
        height = ay1 - ay0 + 1
        need = height + 1 - by0       # rows missing above the base
        keep = max(3, (by1 - by0 + 1) * 2 // 3)
        while need > 0 and out.box()[3] - out.box()[1] + 1 > keep and \
                squeeze(out, 1, out.box()[1], min(out.box()[3], ascent - 1), +1):
            need -= 1
        by0 = out.box()[1]
        gap = 1 if by0 - height - 1 >= 0 else 0
        dy = by0 - gap - 1 - ay1
    out.px |= {(x + dx, y + dy) for x, y in acc.px}
    return out


# ---------------------------------------------------------------- output

def font_lines(t, glyphs):
    widths = [g.adv for g in glyphs]
    offsets, total = [], 0
    for w in widths:
        offsets.append(total)
        total += w * t.ysize
    lines = ["header:", "name=" + t.name, t.kind,
             "xsize=%d" % (t.xsize if t.kind == "monospace" else
                           (t.xsize if t.xsize is not None else max(widths))),
             "ysize=%d" % t.ysize, "chars=%d" % t.chars,
             "ascent=%d" % t.ascent, "descent=%d" % t.descent,
             "slant=0", "weight=%d" % t.weight, "width=0", "pts=0", "foundry=",
             "propxs=" + " ".join(map(str, widths)),
             "propdataoffset=" + " ".join(map(str, offsets)),
             "data:"]
    for g in glyphs:
        for y in range(t.ysize):
            lines.append("".join("*" if (x, y) in g.px else "." for x in range(g.adv)))
    return lines


def describe(t):
    if t in BUILTIN:
        return 'Builtin font "%s"' % t.name
    return "%s page-output font, height %d%s" % (
        "Proportional" if t.kind == "proportional" else "Monospace", t.ysize,
        ", bold" if t.weight else "")


def cpp_source(t, lines):
    out = ["// %s." % describe(t),
           "// Font text generated by tools/fontconv/fontconv.py; do not edit.",
           "// Source fonts and their licences: NOTICE in this folder.",
           '#include "graphics/fonts/fontdata.h"',
           "",
           "const char *const kxfontdata_%s[] = {" % t.symbol]
    out += ['    "%s",' % l for l in lines]
    out += ["    nullptr,", "};", ""]
    return "\n".join(out)


def header_source(builtin, page):
    out = ["// Font texts generated by tools/fontconv/fontconv.py: the builtin fonts",
           "// and the metric fonts of the page output.  Each is an array of lines",
           "// ending with a null pointer.  Do not edit; regenerate instead.",
           "#pragma once", "", "// Builtin fonts."]
    out += ["extern const char *const kxfontdata_%s[];  // %s" % (t.symbol, t.name) for t in builtin]
    out += ["", "// Page-output fonts, loaded on demand with kxfont_loadtable."]
    out += ["extern const char *const kxfontdata_%s[];  // %s" % (t.symbol, describe(t).replace(" page-output font", "")) for t in page]
    out += ["",
            "// The lines of the page-output font whose \"name=\" value is name",
            "// (case is ignored), or null.",
            "const char *const *kxfontdata_page(const char *name);", ""]
    return "\n".join(out)


def index_source(page):
    out = ["// Page-output fonts by name.  Generated by tools/fontconv/fontconv.py.",
           '#include "graphics/fonts/fontdata.h"', "", "namespace {", "",
           "struct PageFont {", "    const char *name;", "    const char *const *lines;", "};", "",
           "const PageFont page_fonts[] = {"]
    out += ['    {"%s", kxfontdata_%s},' % (t.name, t.symbol) for t in page]
    out += ["};", "",
            "bool same_name(const char *a, const char *b)", "{",
            "    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };",
            "    for (; *a && *b; a++, b++)",
            "        if (lower(*a) != lower(*b))",
            "            return false;",
            "    return *a == *b;", "}", "",
            "} // namespace", "",
            "const char *const *kxfontdata_page(const char *name)", "{",
            "    if (!name)", "        return nullptr;",
            "    for (const PageFont &f : page_fonts)",
            "        if (same_name(f.name, name))",
            "            return f.lines;",
            "    return nullptr;", "}", ""]
    return "\n".join(out)


DOC_COPYRIGHTS = ["xfonts-base", "xfonts-75dpi", "xfonts-100dpi"]


def notice_text(conv, docdir):
    out = ["Font data in this folder is derived from bitmap fonts of the Debian",
           "packages xfonts-base, xfonts-75dpi and xfonts-100dpi (the X.Org",
           "fonts font-misc-misc, font-schumacher-misc, font-sony-misc,",
           "font-adobe-75dpi and font-adobe-100dpi) by tools/fontconv.",
           "The glyphs were padded, cropped, squeezed, composed or emboldened to",
           "fit the toolkit's font metrics.  The notices of the source fonts follow.",
           ""]
    out.append("Source fonts and their COPYRIGHT / NOTICE properties")
    out.append("=" * 52)
    for label in sorted(conv.used):
        f = conv.used[label]
        out.append("")
        out.append(label + ": " + f.props.get("FONT", ""))
        for key in ("COPYRIGHT", "NOTICE"):
            if f.props.get(key, "").strip():
                out.append("  %s: %s" % (key, f.props[key].strip()))
    for pkg in DOC_COPYRIGHTS:
        path = os.path.join(docdir, pkg, "copyright")
        if os.path.exists(path):
            out += ["", "", "%s: %s" % (pkg, path), "=" * (len(pkg) + len(path) + 2), ""]
            with open(path, encoding="utf-8", errors="replace") as fh:
                out += [l.rstrip() for l in fh.read().split("\n")]
    return "\n".join(out).rstrip() + "\n"


def preview(t, glyphs, codes):
    for code in codes:
        g = glyphs[code - 32]
        print("%s code %d (%s) width %d" % (t.name, code, chr(code) if code < 127 or code > 159 else "?", g.adv))
        for y in range(t.ysize):
            row = "".join("*" if (x, y) in g.px else "." for x in range(g.adv))
            print("   " + row + ("  <- baseline" if y == t.ascent else ""))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--fonts", default="/usr/share/fonts/X11",
                    help="X11 font folder with misc/, 75dpi/, 100dpi/")
    ap.add_argument("--doc", default="/usr/share/doc", help="folder of the packages' copyright files")
    ap.add_argument("--out", help="folder for the C++ sources (toolkit/graphics/fonts)")
    ap.add_argument("--text", help="also write each font as a plain text file here")
    ap.add_argument("--only", help="comma-separated font names to convert")
    ap.add_argument("--show", help="print these codes of the converted fonts, e.g. 65,228,223")
    args = ap.parse_args()

    builtin, page = BUILTIN, page_targets()
    targets = builtin + page
    if args.only:
        wanted = set(args.only.split(","))
        targets = [t for t in targets if t.name in wanted]
    conv = Converter(args.fonts)
    for t in targets:
        glyphs = conv.convert(t)
        lines = font_lines(t, glyphs)
        if args.show:
            preview(t, glyphs, [int(c) for c in args.show.split(",")])
        if args.out:
            os.makedirs(os.path.join(args.out, "data"), exist_ok=True)
            with open(os.path.join(args.out, "data", t.symbol + ".cpp"), "w") as f:
                f.write(cpp_source(t, lines))
        if args.text:
            with open(os.path.join(args.text, t.symbol + ".txt"), "w") as f:
                f.write("\n".join(lines) + "\n")
        widths = [g.adv for g in glyphs]
        print("%-9s %-12s ysize %2d ascent %2d widths %2d..%-2d  lines squeezed %3d, glyphs clipped %d" %
              (t.name, t.symbol, t.ysize, t.ascent, min(widths), max(widths),
               FIT_STATS["squeezed"], FIT_STATS["clipped"]), file=sys.stderr)
    if args.out and not args.only:
        with open(os.path.join(args.out, "fontdata.h"), "w") as f:
            f.write(header_source(builtin, page))
        with open(os.path.join(args.out, "pagefonts.cpp"), "w") as f:
            f.write(index_source(page))
        with open(os.path.join(args.out, "NOTICE"), "w") as f:
            f.write(notice_text(conv, args.doc))


if __name__ == "__main__":
    main()
