#!/usr/bin/python3
"""Draws the seven face templates of the card pictures: 540 x 340, 24-bit bitmap files.

The program stretches a template onto an 856 x 540 canvas (1.585 times) and draws the
card's fields on it at fixed places; the labels drawn here sit just before (or, on the
foreigner's card, just above) those places, so every position below is given in canvas
pixels and divided by the enlargement. The backgrounds are flat pale colours with a few
broad shapes: the faces are sent as JPEG at quality 100, and flat areas keep them small.

Needs Debian's python3 and python3-pil, and the embedded Chinese font made by
make_fonts.py. Run from anywhere:

  /usr/bin/python3 resources/make_templates.py
"""

import math
import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = os.path.join(HERE, "vornid-hei.ttf")

WIDTH, HEIGHT = 540, 340
CANVAS_WIDTH, CANVAS_HEIGHT = 856, 540
SUPERSAMPLE = 4  # drawn four times larger, then averaged down for smooth edges

# Where the fields' characters stand, from the fonts the program draws them with: the
# baseline lies at this share of a font's cell height below the cell's top.
CJK_BASELINE = 1918 / (1918 + 483)
OCR_BASELINE = 938 / (938 + 336)


def tx(canvas_x):
    return canvas_x * WIDTH / CANVAS_WIDTH


def ty(canvas_y):
    return canvas_y * HEIGHT / CANVAS_HEIGHT


def baseline(cell_top, cell_height, share=CJK_BASELINE):
    """The template y of a field's baseline, from its cell in canvas pixels."""
    return ty(cell_top + cell_height * share)


class Face:
    """One template being drawn, in template pixels (scaled up internally)."""

    def __init__(self, background):
        self.image = Image.new("RGB", (WIDTH * SUPERSAMPLE, HEIGHT * SUPERSAMPLE), background)
        self.draw = ImageDraw.Draw(self.image)
        self.background = background

    def s(self, value):
        return value * SUPERSAMPLE

    def polygon(self, points, fill):
        self.draw.polygon([(self.s(x), self.s(y)) for x, y in points], fill=fill)

    def ellipse(self, cx, cy, rx, ry, fill=None, outline=None, width=0):
        box = [self.s(cx - rx), self.s(cy - ry), self.s(cx + rx), self.s(cy + ry)]
        self.draw.ellipse(box, fill=fill, outline=outline, width=int(self.s(width)))

    def text(self, x, y, text, size, fill, anchor="ls", spacing=0.0):
        """Text with its anchor at (x, y); spacing adds template pixels between characters."""
        font = ImageFont.truetype(FONT, int(self.s(size)))
        if spacing == 0:
            self.draw.text((self.s(x), self.s(y)), text, font=font, fill=fill, anchor=anchor)
            return
        for character in text:
            self.draw.text((self.s(x), self.s(y)), character, font=font, fill=fill,
                           anchor=anchor)
            x += font.getlength(character) / SUPERSAMPLE + spacing

    def text_width(self, text, size):
        return ImageFont.truetype(FONT, int(self.s(size))).getlength(text) / SUPERSAMPLE

    def wave_band(self, top, amplitude, thickness, phase, fill):
        """A broad, softly curving band across the card."""
        points = []
        for step in range(0, 101):
            x = WIDTH * step / 100
            points.append((x, top + amplitude * math.sin(phase + x / WIDTH * 2 * math.pi)))
        for step in range(100, -1, -1):
            x = WIDTH * step / 100
            points.append((x, top + thickness +
                           amplitude * math.sin(phase + 0.6 + x / WIDTH * 2 * math.pi)))
        self.polygon(points, fill)

    def border(self, colour):
        """A thin rounded outline; the corners outside it are white like the paper."""
        radius = self.s(18)
        mask = Image.new("L", self.image.size, 0)
        ImageDraw.Draw(mask).rounded_rectangle(
            [0, 0, self.image.size[0] - 1, self.image.size[1] - 1], radius=radius, fill=255)
        white = Image.new("RGB", self.image.size, (255, 255, 255))
        self.image = Image.composite(self.image, white, mask)
        self.draw = ImageDraw.Draw(self.image)
        inset = self.s(3)
        self.draw.rounded_rectangle(
            [inset, inset, self.image.size[0] - 1 - inset, self.image.size[1] - 1 - inset],
            radius=radius - inset, outline=colour, width=int(self.s(1)))

    def emblem(self, cx, cy, radius, gold, red):
        """The program's own round motif: rings around an eight-pointed rosette."""
        self.ellipse(cx, cy, radius, radius, fill=gold)
        self.ellipse(cx, cy, radius * 0.86, radius * 0.86, fill=red)
        self.ellipse(cx, cy, radius * 0.74, radius * 0.74, outline=gold, width=radius * 0.05)
        for turn in (0.0, math.pi / 4):
            points = []
            for corner in range(4):
                angle = turn + corner * math.pi / 2
                points.append((cx + radius * 0.5 * math.cos(angle),
                               cy + radius * 0.5 * math.sin(angle)))
            self.polygon(points, gold)
        self.ellipse(cx, cy, radius * 0.17, radius * 0.17, fill=red)
        self.ellipse(cx, cy, radius * 0.09, radius * 0.09, fill=gold)

    def save(self, name):
        image = self.image.resize((WIDTH, HEIGHT), Image.BOX)
        image.save(os.path.join(HERE, name), format="BMP")


# Colour schemes: background, a slightly deeper band, labels, outline.
RESIDENT = ((238, 243, 246), (225, 235, 241), (42, 96, 140), (170, 190, 205))
FOREIGNER = ((246, 241, 230), (238, 228, 208), (128, 84, 38), (205, 185, 150))
PERMIT = ((236, 244, 238), (222, 236, 226), (38, 112, 88), (165, 200, 180))
GOLD = (214, 170, 60)
RED = (196, 40, 40)

LABEL_SIZE = 12.5
LABEL_X = 40  # the column of labels left of the fields on the resident and permit fronts


def card_base(scheme):
    background, band, _, _ = scheme
    face = Face(background)
    face.wave_band(250, 10, 46, 0.4, band)
    return face


def portrait_front(name, scheme, with_ethnicity):
    """Resident and residence-permit fronts: labels left of the fields, photo on the right."""
    face = card_base(scheme)
    label = scheme[2]
    # Field cells in canvas pixels (x, y, cell height) as the compositions draw them.
    face.text(LABEL_X, baseline(70, 40), "姓  名", LABEL_SIZE, label)
    face.text(LABEL_X, baseline(145, 31), "性  别", LABEL_SIZE, label)
    if with_ethnicity:
        face.text(tx(342) - 48, baseline(145, 31), "民  族", LABEL_SIZE, label)
    birth = baseline(211, 31)
    face.text(LABEL_X, birth, "出  生", LABEL_SIZE, label)
    # The year takes four digits of about 17 canvas pixels from x 169; month and day two
    # each from x 298 and 378.
    face.text(tx(169 + 4 * 17) + 3, birth, "年", LABEL_SIZE, label)
    face.text(tx(298 + 2 * 17) + 3, birth, "月", LABEL_SIZE, label)
    face.text(tx(378 + 2 * 17) + 3, birth, "日", LABEL_SIZE, label)
    face.text(LABEL_X, baseline(277, 31), "住  址", LABEL_SIZE, label)
    face.text(LABEL_X, baseline(448, 40, OCR_BASELINE), "公民身份号码", LABEL_SIZE, label)
    face.border(scheme[3])
    face.save(name)


def emblem_back(name, scheme, subtitle, labels, issue_count=False):
    """Backs of the resident card and the permits: motif, title, labels of the fields."""
    face = card_base(scheme)
    label = scheme[2]
    face.emblem(92, 88, 52, GOLD, RED)
    face.text(170, 78, "中华人民共和国", 26, RED, spacing=4)
    face.text(170, 126, subtitle, 36, RED, spacing=6)
    for text, cell_top, cell_height, right in labels:
        width = face.text_width(text, LABEL_SIZE)
        face.text(right - width, baseline(cell_top, cell_height), text, LABEL_SIZE, label)
    if issue_count:
        # The issue count stands at canvas x 730 on the validity's line; its label above it.
        face.text(tx(730), ty(400) - 1.5, "签发次数", LABEL_SIZE - 2, label)
    face.border(scheme[3])
    face.save(name)


def foreigner_front(name):
    """Foreigner's card front: bilingual labels just above each field."""
    face = card_base(FOREIGNER)
    label = FOREIGNER[2]
    size = 9.5

    def above(canvas_x, canvas_y, text):
        face.text(tx(canvas_x), ty(canvas_y) - 1.5, text, size, label)

    above(71, 77, "姓名 / Name")
    above(71, 190, "性别 / Sex")
    above(253, 190, "出生日期 / Date of Birth")
    above(71, 261, "国籍 / Nationality")
    above(71, 322, "有效期限 / Period of Validity")
    above(71, 395, "签发机关 / Issuing Authority")
    above(71, 458, "证件号码 / Card No.")
    face.border(FOREIGNER[3])
    face.save(name)


def foreigner_back(name):
    face = card_base(FOREIGNER)
    face.emblem(270, 108, 60, GOLD, RED)
    title = "中华人民共和国外国人永久居留身份证"
    size = 22
    face.text(270, 214, title, size, RED, anchor="ms")
    face.text(270, 244, "FOREIGN PERMANENT RESIDENT ID CARD", 15, FOREIGNER[2], anchor="ms")
    face.border(FOREIGNER[3])
    face.save(name)


def main():
    # Right edges of the back labels: just before the fields at canvas x 355 and 358.
    before = tx(355) - 8
    portrait_front("bkF.bmp", RESIDENT, with_ethnicity=True)
    portrait_front("bkHmtF.bmp", PERMIT, with_ethnicity=False)
    emblem_back("bkB.bmp", RESIDENT, "居民身份证",
                [("签发机关", 388, 31, before), ("有效期限", 454, 34, before)])
    permit_labels = [("签发机关", 360, 31, before), ("有效期限", 400, 34, before),
                     ("通行证号码", 440, 34, before)]
    for name, subtitle in (("bkHmB.bmp", "港澳居民居住证"), ("bkTwB.bmp", "台湾居民居住证")):
        emblem_back(name, PERMIT, subtitle, permit_labels, issue_count=True)
    foreigner_front("bkFgnF.bmp")
    foreigner_back("bkFgnB.bmp")
    for name in ("bkF.bmp", "bkB.bmp", "bkFgnF.bmp", "bkFgnB.bmp", "bkHmtF.bmp",
                 "bkHmB.bmp", "bkTwB.bmp"):
        print(f"make_templates: {name}: {os.path.getsize(os.path.join(HERE, name))} bytes")


if __name__ == "__main__":
    main()
