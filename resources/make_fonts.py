#!/usr/bin/python3
"""Makes the program's two embedded fonts from Debian font packages.

  vornid-ocr.ttf  "VornId OCR": the OCR-B letters of fonts-ocr-b (public domain), with
                  their cubic outlines converted to TrueType (quadratic) outlines, since
                  the program registers its fonts as TrueType.
  vornid-hei.ttf  "VornId Hei": the sans-serif CJK font of fonts-wqy-microhei (Apache
                  License 2.0), cut down to what ID cards print: ASCII, Latin-1, the
                  punctuation of Chinese text and every character of GBK.

Both get family names of their own. The output is the same for the same input: the
timestamps in the head table are fixed. Run with Debian's python3 and python3-fonttools:

  apt-get install python3-fonttools fonts-ocr-b fonts-wqy-microhei
  /usr/bin/python3 resources/make_fonts.py
"""

import os
import sys

from fontTools import subset
from fontTools.pens.cu2quPen import Cu2QuPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, TTFont, newTable

HERE = os.path.dirname(os.path.abspath(__file__))
OCR_SOURCE = "/usr/share/fonts/opentype/ocr-b/OCRB.otf"
CJK_SOURCE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
CJK_SOURCE_INDEX = 0  # the proportional face; index 1 is its monospaced twin

# 2020-01-01 00:00:00 UTC in the head table's epoch (seconds since 1904-01-01).
FIXED_TIMESTAMP = 3660595200
VERSION = "Version 1.000"

# OS/2 code page bits: 0 Latin 1, 18 Simplified Chinese (GB2312). GDI prefers a font
# that declares the character set a LOGFONT asks for.
CODE_PAGE_LATIN1 = 1 << 0
CODE_PAGE_GB2312 = 1 << 18


def set_names(font, family, postscript, copyright_notice, licence, licence_url):
    """Replaces the whole name table: our family name in every record that names it."""
    name = font["name"]
    name.names = []
    records = {
        0: copyright_notice,
        1: family,
        2: "Regular",
        3: f"{family} {VERSION}",
        4: family,
        5: VERSION,
        6: postscript,
        13: licence,
        14: licence_url,
    }
    for name_id, text in records.items():
        name.setName(text, name_id, 3, 1, 0x409)  # Windows, Unicode BMP, English
        name.setName(text, name_id, 1, 0, 0)  # Macintosh, Roman, English


def fix_header(font):
    font["head"].created = FIXED_TIMESTAMP
    font["head"].modified = FIXED_TIMESTAMP
    os2 = font["OS/2"]
    os2.usWeightClass = 400
    os2.fsType = 0  # installable: the program registers it for its own process
    for table in ("FFTM",):
        if table in font:
            del font[table]


def quadratic_glyphs(glyph_set, max_error=1.0):
    """TrueType outlines of every glyph, within max_error font units of the original."""
    glyphs = {}
    for glyph_name in glyph_set.keys():
        pen = TTGlyphPen(glyph_set)
        # CFF outlines run counter-clockwise, TrueType ones clockwise.
        glyph_set[glyph_name].draw(Cu2QuPen(pen, max_error, reverse_direction=True))
        glyphs[glyph_name] = pen.glyph()
    return glyphs


def cff_to_truetype(font):
    glyph_order = font.getGlyphOrder()
    font["loca"] = newTable("loca")
    font["glyf"] = glyf = newTable("glyf")
    glyf.glyphOrder = glyph_order
    glyf.glyphs = quadratic_glyphs(font.getGlyphSet())
    del font["CFF "]
    glyf.compile(font)
    # Left side bearings follow the new outlines' bounding boxes.
    hmtx = font["hmtx"]
    for glyph_name, glyph in glyf.glyphs.items():
        advance, _ = hmtx.metrics[glyph_name]
        hmtx.metrics[glyph_name] = (advance, getattr(glyph, "xMin", 0))
    maxp = newTable("maxp")
    maxp.tableVersion = 0x00010000
    maxp.maxZones = 1
    for field in ("maxTwilightPoints", "maxStorage", "maxFunctionDefs", "maxInstructionDefs",
                  "maxStackElements", "maxSizeOfInstructions", "maxComponentElements"):
        setattr(maxp, field, 0)
    font["maxp"] = maxp
    post = font["post"]
    post.formatType = 2.0
    post.extraNames = []
    post.mapping = {}
    post.glyphOrder = glyph_order
    font.sfntVersion = "\x00\x01\x00\x00"


def make_ocr(path):
    font = TTFont(OCR_SOURCE, recalcTimestamp=False)
    cff_to_truetype(font)
    set_names(font, "VornId OCR", "VornIdOCR-Regular",
              "Derived from OCR B by Matthew Skala and Norbert Schwarz, released to the "
              "public domain.",
              "Public domain, as its source: see LICENSE-vornid-ocr.txt.",
              "https://www.debian.org/")
    os2 = font["OS/2"]
    os2.ulCodePageRange1 |= CODE_PAGE_LATIN1
    fix_header(font)
    font.save(path, reorderTables=True)


def gbk_characters():
    """Every character that GBK encodes in two bytes."""
    characters = set()
    for lead in range(0x81, 0xFF):
        for trail in range(0x40, 0xFF):
            if trail == 0x7F:
                continue
            try:
                characters.add(ord(bytes((lead, trail)).decode("gbk")))
            except UnicodeDecodeError:
                pass
    return characters


def make_cjk(path):
    font = TTCollection(CJK_SOURCE, recalcTimestamp=False).fonts[CJK_SOURCE_INDEX]
    wanted = set(range(0x20, 0x7F)) | set(range(0xA0, 0x100))
    wanted |= set(range(0x2000, 0x2070)) | set(range(0x3000, 0x3040))
    wanted |= set(range(0xFF00, 0xFFF0)) | gbk_characters()
    options = subset.Options()
    options.layout_features = ["*"]
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    options.hinting = True
    options.recalc_timestamp = False
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=sorted(wanted))
    subsetter.subset(font)
    set_names(font, "VornId Hei", "VornIdHei-Regular",
              "Digitized data copyright (c) 2007, Google Corporation. Copyright (c) "
              "2008-2009 WenQuanYi Board of Trustees and Qianqian Fang. Cut down and renamed "
              "for VornIdReader.",
              "Licensed under the Apache License, Version 2.0: see LICENSE-vornid-hei.txt.",
              "http://www.apache.org/licenses/LICENSE-2.0")
    font["OS/2"].ulCodePageRange1 |= CODE_PAGE_LATIN1 | CODE_PAGE_GB2312
    fix_header(font)
    font.save(path, reorderTables=True)


def main():
    for source in (OCR_SOURCE, CJK_SOURCE):
        if not os.path.exists(source):
            sys.exit(f"make_fonts: {source} is missing; install fonts-ocr-b and "
                     "fonts-wqy-microhei")
    make_ocr(os.path.join(HERE, "vornid-ocr.ttf"))
    make_cjk(os.path.join(HERE, "vornid-hei.ttf"))
    for name in ("vornid-ocr.ttf", "vornid-hei.ttf"):
        print(f"make_fonts: {name}: {os.path.getsize(os.path.join(HERE, name))} bytes")


if __name__ == "__main__":
    main()
