#!/usr/bin/env python3
"""Image checks of the end-to-end tests: saved BMP files against screenshots.

Screenshots are binary PPM files (import -window root -depth 8 shot.ppm). Every command exits
with 0 when its check holds and 1 otherwise, and prints what it found on one line.

  bmp-header BMP W H          the 54 header bytes of a 24-bit picture of W x H pixels
  same SHOT BMP               the screenshot shows exactly the picture of the BMP file (the
                              zoom outline may lie over it, here and in recoloured)
  recoloured BEFORE AFTER     AFTER is BEFORE with blue'=(R+64)%256, green'=(B+64)%256,
                              red'=(G+64)%256 at every pixel
  grid BMP GRID_BMP           GRID_BMP is the picture of BMP with a coordinate grid over it
  waiting-screen SHOT         black screen with one line of white text in the middle
  waiting-text SHOT TEXT FONT...
                              that text line shows TEXT in one of the fonts (see below)
  menu-ends-with-separator SHOT WxH+X+Y
                              the menu in that rectangle of the screenshot ends in a separator
                              line and, below it, exactly one entry
"""
import subprocess
import struct
import sys

CONVERT = "/usr/bin/convert"
BLACK, WHITE = (0, 0, 0), (255, 255, 255)


class Image:
    """Pixels as one bytes object of R, G, B triples, top row first."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        k = 3 * (y * self.width + x)
        return tuple(self.rgb[k:k + 3])

    def crop(self, x0, y0, width, height):
        rows = [self.rgb[3 * ((y0 + y) * self.width + x0):3 * ((y0 + y) * self.width + x0 + width)]
                for y in range(height)]
        return Image(width, height, b"".join(rows))

    def gray(self):
        return [self.rgb[k] * 0.299 + self.rgb[k + 1] * 0.587 + self.rgb[k + 2] * 0.114
                for k in range(0, len(self.rgb), 3)]


def ParsePnm(data):
    """Binary PGM (P5) or PPM (P6) with 8-bit samples; PGM comes back as gray RGB."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    magic, width, height, maximum = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic not in (b"P5", b"P6") or maximum != 255:
        raise ValueError("not an 8-bit binary PGM or PPM")
    pixels = data[pos + 1:]
    if magic == b"P5":
        pixels = bytes(v for v in pixels[:width * height] for _ in range(3))
    return Image(width, height, pixels[:3 * width * height])


def ReadScreenshot(path):
    with open(path, "rb") as f:
        return ParsePnm(f.read())


def Stride(width):
    return 3 * width + width % 4


def ReadBmp(path):
    """The picture of a bottom-up 24-bit BMP, whatever its header claims beyond size and offset."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = Stride(width)
    if len(data) < offset + stride * height:
        raise ValueError("%s: pixel block cut short (%d bytes)" % (path, len(data)))
    rows = []
    for y in range(height):
        row = data[offset + (height - 1 - y) * stride:][:3 * width]
        rgb = bytearray(3 * width)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(bytes(rgb))
    return Image(width, height, b"".join(rows))


# The 54 header bytes: file header, then information header.
BMP_HEADER = "<2sIHHIIiiHHIIiiII"
BMP_FIELDS = ["type", "file size", "reserved", "reserved", "offset", "header size", "width",
              "height", "planes", "bit count", "compression", "image size", "x resolution",
              "y resolution", "colours used", "important colours"]


def ExpectedBmpHeader(width, height):
    size = Stride(width) * height
    return struct.pack(BMP_HEADER, b"BM", 54 + size, 0, 0, 54, 40, width, height,
                       1, 24, 0, size, 7874, 7874, 0, 0)


def CheckBmpHeader(path, width, height):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 54:
        return False, "only %d bytes" % len(data)
    expected = struct.unpack(BMP_HEADER, ExpectedBmpHeader(width, height))
    wrong = ["%s %r, not %r" % (name, got, want)
             for name, got, want in zip(BMP_FIELDS, struct.unpack(BMP_HEADER, data[:54]), expected)
             if got != want]
    if len(data) != 54 + Stride(width) * height:
        wrong.append("%d bytes on disk" % len(data))
    return not wrong, "; ".join(wrong) or "header of %d x %d, %d bytes" % (width, height, len(data))


# The next zoom's outline is XOR-drawn over the picture in orange while the picture is still
# shown, so a screenshot taken then holds up to two rectangles of pixels XOR this colour.
OUTLINE_XOR = (255, 136, 0)


def UnderOutline(p):
    return tuple(c ^ o for c, o in zip(p, OUTLINE_XOR))


def OutlineAllowance(width, height):
    """Pixels two outline rectangles of the show's pen (one pixel per 960 of width) can cover."""
    return 4 * (width + height) * (width // 960 + 1)


def CountDifferences(a, b, expected=None):
    """Pixels of b other than expected(pixel of a) (default: the same pixel), as the number
    the zoom outline explains, the number of the others and the first of the others as
    (x, y, pixel of a, pixel of b)."""
    if (a.width, a.height) != (b.width, b.height):
        return None, None, None
    outlined, count, first = 0, 0, None
    span = 3 * a.width
    for y in range(a.height):
        if expected is None and a.rgb[y * span:(y + 1) * span] == b.rgb[y * span:(y + 1) * span]:
            continue
        for x in range(a.width):
            p, q = a.pixel(x, y), b.pixel(x, y)
            want = expected(p) if expected else p
            if q == want:
                continue
            if q == UnderOutline(want):
                outlined += 1
            else:
                count += 1
                first = first or (x, y, p, q)
    return outlined, count, first


def DescribeDifferences(outlined, count, first, what, allowance):
    if count is None:
        return False, "sizes differ"
    if count == 0 and outlined == 0:
        return True, what
    if count == 0 and outlined <= allowance:
        return True, "%s apart from %d pixels under the zoom outline" % (what, outlined)
    if count == 0:
        return False, "%d pixels XOR the outline colour, more than two outlines" % outlined
    x, y, p, q = first
    return False, "%d pixels differ, first at (%d, %d): %s against %s" % (count, x, y, p, q)


def CheckSame(shot, picture):
    """Equality over the picture's area at the screen's origin (the show covers it), but for
    the outline of the zoom that follows."""
    if shot.width < picture.width or shot.height < picture.height:
        return False, "screenshot smaller than the picture"
    shown = shot.crop(0, 0, picture.width, picture.height)
    if shown.rgb == picture.rgb:
        return True, "all %d pixels equal" % (picture.width * picture.height)
    return DescribeDifferences(*CountDifferences(shown, picture), "equal",
                               OutlineAllowance(picture.width, picture.height))


def Recolour(p):
    r, g, b = p
    return ((g + 64) % 256, (b + 64) % 256, (r + 64) % 256)


def CheckRecoloured(before, after):
    if before.rgb == after.rgb:
        return False, "nothing changed"
    return DescribeDifferences(*CountDifferences(before, after, Recolour),
                               "every pixel recoloured",
                               OutlineAllowance(before.width, before.height))


def CheckGrid(picture, grid):
    """Lines of the grid are pure black or white; the major ones run unbroken across the
    picture apart from their labels, so some whole columns and rows are mostly black or
    white where the picture itself is not. A label written along a column of a 480-row
    picture takes more than a fifth of it."""
    if (picture.width, picture.height) != (grid.width, grid.height):
        return False, "sizes differ"

    def LineLike(image, pixels):
        return sum(1 for p in pixels if image.pixel(*p) in (BLACK, WHITE)) >= 0.7 * len(pixels)

    def Lines(points_of):
        return [k for k, pixels in points_of
                if LineLike(grid, pixels) and not LineLike(picture, pixels)]

    columns = Lines((x, [(x, y) for y in range(grid.height)]) for x in range(grid.width))
    rows = Lines((y, [(x, y) for x in range(grid.width)]) for y in range(grid.height))
    ok = bool(columns) and bool(rows)
    return ok, "grid lines at columns %s and rows %s" % (columns, rows)


def InkBox(shot):
    """Bounding box (x0, y0, x1, y1) of the pixels that are not black, or None."""
    xs, ys = [], []
    for k in range(shot.width * shot.height):
        if shot.rgb[3 * k:3 * k + 3] != b"\0\0\0":
            xs.append(k % shot.width)
            ys.append(k // shot.width)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def CheckWaitingScreen(shot):
    box = InkBox(shot)
    if box is None:
        return False, "screen all dark"
    x0, y0, x1, y1 = box
    # Everything outside the text is black (no dialog, no picture): the box is the text's.
    centre_x, centre_y = (x0 + x1) / 2, (y0 + y1) / 2
    # The text is centred by its advance box, which can exceed its ink by a few pixels.
    centred = abs(centre_x - shot.width / 2) <= 6 and abs(centre_y - shot.height / 2) <= 6
    one_line = y1 - y0 <= 40 and x1 - x0 >= shot.width // 4
    ok = centred and one_line
    return ok, "text of %d x %d pixels at (%d, %d)%s" % (
        x1 - x0, y1 - y0, x0, y0, "" if ok else ", not one centred line")


def BoxBlur(values, width, height):
    out = []
    for y in range(height):
        for x in range(width):
            total, count = 0.0, 0
            for yy in range(max(0, y - 1), min(height, y + 2)):
                for xx in range(max(0, x - 1), min(width, x + 2)):
                    total += values[yy * width + xx]
                    count += 1
            out.append(total / count)
    return out


def Correlation(a, b):
    n = len(a)
    mean_a, mean_b = sum(a) / n, sum(b) / n
    num = sum((x - mean_a) * (y - mean_b) for x, y in zip(a, b))
    den = (sum((x - mean_a) ** 2 for x in a) * sum((y - mean_b) ** 2 for y in b)) ** 0.5
    return num / den if den else 0.0


def RenderText(text, font, width, height):
    """TEXT in FONT, white on black, trimmed to its ink and stretched to width x height."""
    data = subprocess.run(
        [CONVERT, "-background", "black", "-fill", "white", "-font", font, "-pointsize", "64",
         "label:" + text, "-trim", "+repage", "-resize", "%dx%d!" % (width, height),
         "-depth", "8", "pgm:-"],
        capture_output=True, check=True).stdout
    return ParsePnm(data)


# Correlation of the screen's text with a rendering of the expected text. Measured on the
# waiting screen: 0.94 with the intended font, 0.77 with another proportional Japanese font;
# hollow boxes in place of the glyphs give -0.16, the Shift-JIS bytes shown as Latin letters
# 0.03, other Japanese text of the same length 0.14, and misplaced glyphs (a fixed-pitch font)
# 0.24. So 0.6 tells the right glyphs apart from boxes, garbage and wrong text.
TEXT_MATCH = 0.6


def CheckWaitingText(shot, text, fonts):
    box = InkBox(shot)
    if box is None:
        return False, "no text"
    x0, y0, x1, y1 = box
    width, height = x1 - x0, y1 - y0
    line = shot.crop(x0, y0, width, height)
    seen = BoxBlur(line.gray(), width, height)
    scores = {}
    for font in fonts:
        expected = RenderText(text, font, width, height)
        scores[font.rsplit("/", 1)[-1]] = Correlation(seen, BoxBlur(expected.gray(), width, height))
    best = max(scores, key=scores.get)
    ok = scores[best] >= TEXT_MATCH
    return ok, "correlation %.3f with %s (needs %.1f)" % (scores[best], best, TEXT_MATCH)


def Bands(rows):
    """Runs of consecutive row numbers, as (first, last) pairs."""
    bands = []
    for y in rows:
        if bands and bands[-1][1] == y - 1:
            bands[-1] = (bands[-1][0], y)
        else:
            bands.append((y, y))
    return bands


def CheckMenuEndsWithSeparator(shot, geometry):
    size, x, y = geometry.split("+")
    width, height = (int(v) for v in size.split("x"))
    # Inside the menu's frame, two pixels wide.
    menu = shot.crop(int(x) + 2, int(y) + 2, width - 4, height - 4)
    background = menu.pixel(menu.width // 2, menu.height - 1)
    separators, ink = [], []
    for row in range(menu.height):
        pixels = [menu.pixel(column, row) for column in range(menu.width)]
        marked = [p for p in pixels if p != background]
        # A separator is a line across nearly the whole menu; an entry marks far less of a row.
        if len(marked) >= 0.8 * menu.width and len(set(marked)) == 1:
            separators.append(row)
        elif marked:
            ink.append(row)
    if not separators:
        return False, "no separator line in the menu"
    last = separators[-1]
    below = [band for band in Bands(ink) if band[0] > last]
    ok = len(below) == 1
    return ok, "the last separator line at row %d, %d entries below it" % (last, len(below))


def main(argv):
    command, args = argv[1], argv[2:]
    if command == "bmp-header":
        ok, message = CheckBmpHeader(args[0], int(args[1]), int(args[2]))
    elif command == "same":
        ok, message = CheckSame(ReadScreenshot(args[0]), ReadBmp(args[1]))
    elif command == "recoloured":
        ok, message = CheckRecoloured(ReadScreenshot(args[0]), ReadScreenshot(args[1]))
    elif command == "grid":
        ok, message = CheckGrid(ReadBmp(args[0]), ReadBmp(args[1]))
    elif command == "waiting-screen":
        ok, message = CheckWaitingScreen(ReadScreenshot(args[0]))
    elif command == "waiting-text":
        ok, message = CheckWaitingText(ReadScreenshot(args[0]), args[1], args[2:])
    elif command == "menu-ends-with-separator":
        ok, message = CheckMenuEndsWithSeparator(ReadScreenshot(args[0]), args[1])
    else:
        print("unknown command " + command, file=sys.stderr)
        return 2
    print(message)
    return 0 if ok else 1


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (OSError, ValueError, struct.error) as error:
        print(error)
        sys.exit(1)
