#!/usr/bin/env python3
"""The image checks must reject what a faulty program would show or save; run-e2e.sh runs
these first, since a check that passes anything would make the end-to-end run meaningless."""
import os
import random
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imgcheck  # noqa: E402

MINCHO = "/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf"
LATIN = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf"
WAITING_TEXT = "最初の画像を計算しています。しばらくお待ちください。"


def RandomPicture(width, height, seed=1):
    rng = random.Random(seed)
    return imgcheck.Image(width, height, bytes(rng.randrange(256) for _ in range(3 * width * height)))


def BmpBytes(picture):
    """The picture as the program saves it: bottom-up rows of blue, green, red, padded."""
    stride = imgcheck.Stride(picture.width)
    rows = []
    for y in reversed(range(picture.height)):
        rgb = picture.rgb[3 * y * picture.width:3 * (y + 1) * picture.width]
        bgr = bytearray(rgb)
        bgr[0::3], bgr[2::3] = rgb[2::3], rgb[0::3]
        rows.append(bytes(bgr) + b"\xee" * (stride - 3 * picture.width))
    return imgcheck.ExpectedBmpHeader(picture.width, picture.height) + b"".join(rows)


def PpmBytes(picture):
    return b"P6\n%d %d\n255\n" % (picture.width, picture.height) + picture.rgb


def Changed(picture, change):
    """The picture with change((r, g, b), x, y) applied to every pixel."""
    out = bytearray()
    for y in range(picture.height):
        for x in range(picture.width):
            out += bytes(change(picture.pixel(x, y), x, y))
    return imgcheck.Image(picture.width, picture.height, bytes(out))


class Files(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def Write(self, name, data):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path


class BmpHeader(Files):
    def test_accepts_the_programs_layout_with_row_padding(self):
        picture = RandomPicture(5, 3)    # 5 mod 4 = 1 byte of padding per row
        ok, message = imgcheck.CheckBmpHeader(self.Write("a.bmp", BmpBytes(picture)), 5, 3)
        self.assertTrue(ok, message)

    def test_rejects_every_wrong_field(self):
        good = BmpBytes(RandomPicture(5, 3))
        fields = {"type": (0, "<2s", b"MB"), "file size": (2, "<I", 54), "reserved": (6, "<H", 1),
                  "offset": (10, "<I", 56), "header size": (14, "<I", 12),
                  "width": (18, "<i", 6), "height": (22, "<i", -3), "planes": (26, "<H", 0),
                  "bit count": (28, "<H", 32), "compression": (30, "<I", 1),
                  "image size": (34, "<I", 0), "x resolution": (38, "<i", 2835),
                  "y resolution": (42, "<i", 0), "colours used": (46, "<I", 256),
                  "important colours": (50, "<I", 1)}
        for name, (offset, layout, value) in fields.items():
            with self.subTest(field=name):
                bad = bytearray(good)
                struct.pack_into(layout, bad, offset, value)
                ok, _ = imgcheck.CheckBmpHeader(self.Write("b.bmp", bytes(bad)), 5, 3)
                self.assertFalse(ok)

    def test_rejects_a_picture_of_another_size_and_a_cut_file(self):
        good = BmpBytes(RandomPicture(5, 3))
        self.assertFalse(imgcheck.CheckBmpHeader(self.Write("c.bmp", good), 4, 3)[0])
        self.assertFalse(imgcheck.CheckBmpHeader(self.Write("d.bmp", good[:-1]), 5, 3)[0])


class ScreenAgainstFile(Files):
    def setUp(self):
        super().setUp()
        self.picture = RandomPicture(7, 4)
        self.bmp = imgcheck.ReadBmp(self.Write("p.bmp", BmpBytes(self.picture)))

    def Shot(self, picture):
        return imgcheck.ReadScreenshot(self.Write("s.ppm", PpmBytes(picture)))

    def test_the_same_picture_passes(self):
        self.assertTrue(imgcheck.CheckSame(self.Shot(self.picture), self.bmp)[0])

    def test_rows_upside_down_fail(self):
        flipped = Changed(self.picture, lambda p, x, y: self.picture.pixel(x, 3 - y))
        self.assertFalse(imgcheck.CheckSame(self.Shot(flipped), self.bmp)[0])

    def test_red_and_blue_swapped_fail(self):
        swapped = Changed(self.picture, lambda p, x, y: (p[2], p[1], p[0]))
        self.assertFalse(imgcheck.CheckSame(self.Shot(swapped), self.bmp)[0])

    def test_one_pixel_off_fails_and_is_counted(self):
        one = Changed(self.picture, lambda p, x, y: (p[0] ^ 1, p[1], p[2]) if (x, y) == (6, 3) else p)
        ok, message = imgcheck.CheckSame(self.Shot(one), self.bmp)
        self.assertFalse(ok)
        self.assertIn("1 pixels differ, first at (6, 3)", message)


def Outlined(picture, left, top, right, bottom):
    """The picture with the zoom outline XOR-drawn along the rectangle's edges."""
    def change(p, x, y):
        on_edge = (x in (left, right) and top <= y <= bottom) or \
                  (y in (top, bottom) and left <= x <= right)
        return imgcheck.UnderOutline(p) if on_edge else p
    return Changed(picture, change)


class ZoomOutline(unittest.TestCase):
    """A screenshot may catch the next zoom's outline over the picture: its pixels are
    allowed, as long as there are no more than two outlines' worth and all else is exact."""

    def setUp(self):
        self.picture = RandomPicture(40, 30)

    def test_one_outline_over_the_picture_passes(self):
        shot = Outlined(self.picture, 3, 2, 36, 27)
        ok, message = imgcheck.CheckSame(shot, self.picture)
        self.assertTrue(ok, message)
        self.assertIn("116 pixels under the zoom outline", message)

    def test_a_recoloured_picture_under_an_outline_passes(self):
        recoloured = Changed(self.picture, lambda p, x, y: imgcheck.Recolour(p))
        ok, message = imgcheck.CheckRecoloured(self.picture, Outlined(recoloured, 0, 0, 39, 29))
        self.assertTrue(ok, message)

    def test_the_whole_picture_in_the_outline_colour_fails(self):
        shot = Changed(self.picture, lambda p, x, y: imgcheck.UnderOutline(p))
        self.assertFalse(imgcheck.CheckSame(shot, self.picture)[0])

    def test_an_outline_does_not_excuse_another_difference(self):
        shot = Changed(Outlined(self.picture, 3, 2, 36, 27),
                       lambda p, x, y: (p[0] ^ 1, p[1], p[2]) if (x, y) == (20, 15) else p)
        ok, message = imgcheck.CheckSame(shot, self.picture)
        self.assertFalse(ok)
        self.assertIn("1 pixels differ, first at (20, 15)", message)


class Recolouring(unittest.TestCase):
    def setUp(self):
        self.before = RandomPicture(6, 3)

    def test_the_channel_rotation_passes(self):
        after = Changed(self.before, lambda p, x, y: imgcheck.Recolour(p))
        self.assertTrue(imgcheck.CheckRecoloured(self.before, after)[0])

    def test_other_rotations_and_no_change_fail(self):
        wrong = {
            "rotated the other way": lambda p: ((p[2] + 64) % 256, (p[0] + 64) % 256, (p[1] + 64) % 256),
            "without the 64": lambda p: (p[1], p[2], p[0]),
            "unchanged": lambda p: p,
        }
        for name, change in wrong.items():
            with self.subTest(name):
                after = Changed(self.before, lambda p, x, y: change(p))
                self.assertFalse(imgcheck.CheckRecoloured(self.before, after)[0])


class Grid(unittest.TestCase):
    def test_lines_over_the_picture_pass_and_no_lines_fail(self):
        picture = RandomPicture(20, 10)
        lined = Changed(picture, lambda p, x, y: imgcheck.WHITE if x == 4 or y == 7 else p)
        self.assertTrue(imgcheck.CheckGrid(picture, lined)[0])
        self.assertFalse(imgcheck.CheckGrid(picture, picture)[0])
        only_columns = Changed(picture, lambda p, x, y: imgcheck.BLACK if x == 4 else p)
        self.assertFalse(imgcheck.CheckGrid(picture, only_columns)[0])

    def test_a_line_broken_by_its_label_still_counts(self):
        picture = RandomPicture(20, 10)
        # Three of the column's ten pixels are the label's, neither black nor white.
        labelled = Changed(picture, lambda p, x, y: imgcheck.WHITE
                           if (x == 4 and y < 6) or y == 7 else p)
        self.assertTrue(imgcheck.CheckGrid(picture, labelled)[0])
        dotted = Changed(picture, lambda p, x, y: imgcheck.WHITE
                         if (x == 4 and y % 2 == 0) or y == 7 else p)
        self.assertFalse(imgcheck.CheckGrid(picture, dotted)[0])


class WaitingScreen(unittest.TestCase):
    @staticmethod
    def Screen(text_box, stray=None):
        x0, y0, x1, y1 = text_box
        return Changed(imgcheck.Image(64, 48, bytes(3 * 64 * 48)),
                       lambda p, x, y: imgcheck.WHITE
                       if (x0 <= x < x1 and y0 <= y < y1) or (x, y) == stray else p)

    def test_a_centred_line_passes(self):
        self.assertTrue(imgcheck.CheckWaitingScreen(self.Screen((12, 20, 52, 28)))[0])

    def test_text_off_centre_or_anything_else_on_screen_fails(self):
        self.assertFalse(imgcheck.CheckWaitingScreen(self.Screen((0, 20, 40, 28)))[0])
        self.assertFalse(imgcheck.CheckWaitingScreen(self.Screen((12, 20, 52, 28), (1, 1)))[0])


@unittest.skipUnless(os.path.exists(MINCHO) and os.path.exists(LATIN), "IPA and Liberation fonts")
class WaitingText(unittest.TestCase):
    """The screen's line against the expected text, with ImageMagick standing in for the
    program: the right glyphs pass, boxes and mojibake do not."""

    @staticmethod
    def Screen(text, font):
        line = imgcheck.RenderText(text, font, 580, 25)
        screen = bytearray(3 * 640 * 480)
        for y in range(25):
            start = 3 * ((228 + y) * 640 + 30)
            screen[start:start + 3 * 580] = line.rgb[3 * y * 580:3 * (y + 1) * 580]
        return imgcheck.Image(640, 480, bytes(screen))

    def Check(self, screen):
        return imgcheck.CheckWaitingText(screen, WAITING_TEXT, [MINCHO])

    def test_the_japanese_text_passes(self):
        ok, message = self.Check(self.Screen(WAITING_TEXT, MINCHO))
        self.assertTrue(ok, message)

    def test_boxes_garbage_and_other_text_fail(self):
        shown = {
            "boxes": ("□" * 26, MINCHO),
            "Shift-JIS bytes read as Latin-1": (WAITING_TEXT.encode("cp932").decode("latin-1"), LATIN),
            "other Japanese text": ("マンデルブロー集合には生物が潜んでいたのです。こんにちは", MINCHO),
        }
        for name, (text, font) in shown.items():
            with self.subTest(name):
                ok, message = self.Check(self.Screen(text, font))
                self.assertFalse(ok, message)



def MenuShot(items):
    """A 60 x 10·len(items) menu on a 70-pixel-wide screen at (5, 5): "entry" is a block of
    text, "separator" a line across the menu, each in a band of 10 rows."""
    width, height = 70, 10 * len(items) + 10
    rgb = bytearray(b"\xd4\xd0\xc8" * width * height)
    for k, item in enumerate(items):
        y = 5 + 2 + 10 * k + 4
        columns = range(9, 60) if item == "separator" else range(15, 35)
        for row in ([y] if item == "separator" else range(y - 2, y + 3)):
            for x in columns:
                rgb[3 * (row * width + x):3 * (row * width + x) + 3] = b"\x80\x80\x80"
    return imgcheck.Image(width, height, bytes(rgb))


class MenuEnd(unittest.TestCase):
    GEOMETRY = "60x%d+5+5"

    def check(self, items):
        return imgcheck.CheckMenuEndsWithSeparator(MenuShot(items), self.GEOMETRY % (10 * len(items) + 4))[0]

    def test_a_separator_and_one_last_entry_pass(self):
        self.assertTrue(self.check(["entry", "separator", "entry", "separator", "entry"]))

    def test_no_separator_or_two_entries_after_it_fail(self):
        self.assertFalse(self.check(["entry", "entry", "entry"]))
        self.assertFalse(self.check(["entry", "separator", "entry", "entry"]))
        self.assertFalse(self.check(["entry", "separator"]))

if __name__ == "__main__":
    unittest.main()
