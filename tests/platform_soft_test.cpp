#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi.h"
#include "platform/image_layout.h"
#include "platform/soft/font_engine.h"
#include "platform/soft/headless_window.h"
#include "platform/soft/line_raster.h"
#include "platform/soft/surface.h"
#include "platform/soft/utf8.h"
#include "platform/system.h"

namespace {

constexpr ColorRef kBlack = MakeColorRef(0, 0, 0);
constexpr ColorRef kWhite = MakeColorRef(255, 255, 255);
constexpr ColorRef kOrange = MakeColorRef(255, 136, 0);
constexpr ColorRef kBlue = MakeColorRef(0, 0, 255);

// A window whose every pixel differs, so that misplaced or doubled drawing shows.
void FillWithPattern(CHeadlessWnd& window)
{
    const CSize size = window.GetClientSize();
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            window.GetSurface().SetPixel(x, y, MakeColorRef(x * 7 % 256, y * 11 % 256, 99));
        }
    }
}

int CountPixels(const CHeadlessWnd& window, ColorRef color)
{
    const CSize size = window.GetClientSize();
    int count = 0;
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            count += window.GetPixel(x, y) == color;
        }
    }
    return count;
}

int CountNotBlack(const CHeadlessWnd& window) { return window.GetClientSize().cx *
        window.GetClientSize().cy - CountPixels(window, kBlack); }

struct PenOnDc {
    CPen pen;
    CPen* pOld;
    PenOnDc(CDC& dc, int width, ColorRef color)
    {
        pen.CreatePen(width, color);
        pOld = dc.SelectObject(&pen);
    }
};

// ---- Surfaces and windows

// A thick line is the path's pixels, end point left out, each stamped with the pen's disc;
// every covered pixel once, in all eight directions and at any pen width.
TEST(LineRaster, ThickLinesCoverEachStampedPixelOnce)
{
    const auto stamped = [](int x0, int y0, int x1, int y1, int penWidth) {
        const std::vector<soft::Pixel> path = soft::LinePixels(x0, y0, x1, y1, 1);
        const std::vector<soft::Pixel> dot = soft::LinePixels(0, 0, 1, 0, penWidth);
        std::vector<soft::Pixel> pixels;
        for (const soft::Pixel& centre : path) {
            for (const soft::Pixel& offset : dot) {
                pixels.push_back({centre.x + offset.x, centre.y + offset.y});
            }
        }
        std::sort(pixels.begin(), pixels.end());
        pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
        return pixels;
    };
    const int ends[][2] = {{9, 0}, {9, 4}, {4, 9}, {0, 9}, {-4, 9}, {-9, 2}, {-9, -9},
                           {0, -9}, {3, -9}, {0, 0}};
    for (int penWidth = 1; penWidth <= 5; ++penWidth) {
        for (const auto& end : ends) {
            std::vector<soft::Pixel> line =
                soft::LinePixels(5, 7, 5 + end[0], 7 + end[1], penWidth);
            std::sort(line.begin(), line.end());
            EXPECT_EQ(line, stamped(5, 7, 5 + end[0], 7 + end[1], penWidth))
                << "pen " << penWidth << " to (" << end[0] << ", " << end[1] << ")";
        }
    }
    EXPECT_EQ(soft::LinePixels(0, 0, 3, 0, 1),
              (std::vector<soft::Pixel>{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(soft::LinePixels(0, 0, 1, 0, 3).size(), 9u);  // the 3-pixel disc is a square
}

// Small blocks come from the heap, large ones are mappings of their own rounded to huge pages:
// every block reads zero and takes writes to its last byte, again after others were given back.
TEST(LargeBlock, EveryBlockIsZeroAndWholeAfterOthersWereGivenBack)
{
    constexpr std::size_t kMegabyte = std::size_t{1} << 20;
    const std::size_t sizes[] = {1, 4 * kMegabyte - 1, 4 * kMegabyte, 1920 * 1080 * 3 + 1,
                                 6 * kMegabyte};
    for (int round = 0; round < 2; ++round) {
        std::vector<platform::LargeBlock> blocks;
        for (const std::size_t size : sizes) {
            blocks.push_back(platform::AllocateLarge(size));
            std::uint8_t* const block = blocks.back().get();
            ASSERT_NE(block, nullptr) << size;
            EXPECT_TRUE(std::all_of(block, block + size, [](std::uint8_t b) { return b == 0; }))
                << size << " bytes, round " << round;
            std::fill(block, block + size, std::uint8_t{0xA5});
        }
    }
}

// A thread started on a processor is placed there, not bound: it may then run on every
// processor its starter may. One the starter may not use still gets the thread started.
TEST(BeginThread, PlacesWithoutBinding)
{
    cpu_set_t starters;
    ASSERT_EQ(sched_getaffinity(0, sizeof starters, &starters), 0);
    struct Seen {
        std::atomic<bool> bDone{false};
        cpu_set_t processors{};
    };
    const auto record = [](void* pSeen) -> unsigned {
        auto& seen = *static_cast<Seen*>(pSeen);
        sched_getaffinity(0, sizeof seen.processors, &seen.processors);
        seen.bDone = true;
        seen.bDone.notify_one();
        return 0;
    };
    for (const int processor : {platform::CurrentProcessor(), CPU_SETSIZE - 1, -5}) {
        Seen seen;
        ASSERT_TRUE(platform::BeginThread(record, &seen, processor)) << processor;
        seen.bDone.wait(false);
        EXPECT_TRUE(CPU_EQUAL(&seen.processors, &starters)) << "started on " << processor;
    }
}

TEST(SoftSurface, BlendRoundsToNearest)
{
    soft::Surface surface(1, 1);
    surface.SetPixel(0, 0, MakeColorRef(0, 10, 200));
    surface.Blend(0, 0, MakeColorRef(255, 0, 100), 128);
    // 0 + 255·128/255 = 128; 10 − 10·128/255 = 4.98; 200 − 100·128/255 = 149.8
    EXPECT_EQ(surface.GetPixel(0, 0), MakeColorRef(128, 5, 150));
    surface.Blend(0, 0, kWhite, 0);
    EXPECT_EQ(surface.GetPixel(0, 0), MakeColorRef(128, 5, 150));
    surface.Blend(0, 0, kOrange, 255);
    EXPECT_EQ(surface.GetPixel(0, 0), kOrange);
    surface.SetPixel(0, 0, kBlack);
    surface.Blend(0, 0, MakeColorRef(100, 101, 255), 128);  // 50.2, 50.7 and 128
    EXPECT_EQ(surface.GetPixel(0, 0), MakeColorRef(50, 51, 128));
}

TEST(HeadlessWindow, CopiesOutBottomUpWithPaddedRows)
{
    CHeadlessWnd window(3, 2);
    window.GetSurface().SetPixel(0, 0, MakeColorRef(1, 2, 3));  // top left
    window.GetSurface().SetPixel(2, 1, MakeColorRef(4, 5, 6));  // bottom right
    const std::vector<std::uint8_t> image = window.CopyImage();
    ASSERT_EQ(image.size(), ImageSize(3, 2));
    const std::vector<std::uint8_t> bottomRow{0, 0, 0, 0, 0, 0, 6, 5, 4, 0, 0, 0};
    const std::vector<std::uint8_t> topRow{3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + 12), bottomRow);
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin() + 12, image.end()), topRow);

    window.SetSize(5, 1);
    EXPECT_EQ(window.GetClientSize().cx, 5);
    EXPECT_EQ(CountPixels(window, kBlack), 5);
}

TEST(HeadlessWindow, EmptyWindowDrawsNothing)
{
    CHeadlessWnd window;
    CWindowDC dc(&window);
    PenOnDc pen(dc, 3, kWhite);
    dc.MoveTo(-5, -5);
    dc.LineTo(5, 5);
    dc.Rectangle(0, 0, 10, 10);
    dc.TextOut(0, 0, "x");
    EXPECT_TRUE(window.CopyImage().empty());
}

TEST(HeadlessWindow, CountsTheDrawingsOfItsOwnDcsOnly)
{
    CHeadlessWnd window(8, 8);
    const unsigned before = window.DrawCount();
    {
        CWindowDC dc(&window);
        PenOnDc pen(dc, 1, kWhite);
        dc.MoveTo(0, 0);  // moving draws nothing
        EXPECT_EQ(window.DrawCount(), before);
        dc.LineTo(5, 5);
        dc.Rectangle(0, 0, 4, 4);
        dc.TextOut(0, 0, "x");
        const std::vector<std::uint8_t> image(ImageSize(2, 2), 0);
        dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, image.data(), MakeDibHeader(2, 2));
    }
    EXPECT_EQ(window.DrawCount(), before + 4);

    CClientDC client(&window);
    CDC memory;
    memory.CreateCompatibleDC(&client);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&client, 4, 4);
    memory.SelectObject(&bitmap);
    memory.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(window.DrawCount(), before + 4);
    client.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(window.DrawCount(), before + 5);
}

// ---- Selection

TEST(SoftDc, SelectReturnsThePreviousObjectAndRefusesEmptyOnes)
{
    CHeadlessWnd window(4, 4);
    CClientDC dc(&window);
    CPen white;
    white.CreatePen(1, kWhite);
    CPen* original = dc.SelectObject(&white);
    ASSERT_NE(original, nullptr);
    CPen empty;
    EXPECT_EQ(dc.SelectObject(&empty), nullptr);
    EXPECT_EQ(dc.SelectObject(original), &white);

    // The default pen is one black pixel wide: draw on white to see it.
    CBrush whiteBrush;
    whiteBrush.CreateSolidBrush(kWhite);
    dc.SelectObject(&whiteBrush);
    dc.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(CountPixels(window, kBlack), 12);
}

TEST(SoftDc, MemoryDcDrawsIntoTheSelectedBitmap)
{
    CDC dc;
    EXPECT_FALSE(dc.IsValid());
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&dc, 4, 3));
    CBitmap* original = dc.SelectObject(&bitmap);
    ASSERT_NE(original, nullptr);
    PenOnDc pen(dc, 1, kOrange);
    dc.MoveTo(0, 0);
    dc.LineTo(4, 0);
    EXPECT_EQ(dc.SelectObject(original), &bitmap);

    std::vector<std::uint8_t> bits(ImageSize(4, 3), 0xAA);
    EXPECT_EQ(dc.GetDIBits(&bitmap, 0, 3, bits.data(), MakeDibHeader(4, 3)), 3);
    // The top row of the bitmap comes last; everything else is the zero-filled start.
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const bool topRow = i >= 2 * ImageStride(4);
        const std::uint8_t orangeBytes[3] = {0, 136, 255};
        EXPECT_EQ(bits[i], topRow ? orangeBytes[i % 3] : 0) << "byte " << i;
    }
}

// ---- Lines and rectangles

TEST(SoftLines, EndPointIsLeftOutAndThinPensAreOnePixel)
{
    CHeadlessWnd window(10, 10);
    CClientDC dc(&window);
    for (const int width : {0, 1}) {
        window.SetSize(10, 10);
        PenOnDc pen(dc, width, kWhite);
        dc.MoveTo(1, 1);
        dc.LineTo(5, 1);
        EXPECT_EQ(CountPixels(window, kWhite), 4);
        EXPECT_EQ(window.GetPixel(1, 1), kWhite);
        EXPECT_EQ(window.GetPixel(5, 1), kBlack);
        dc.LineTo(8, 7);  // continues from the current position
        EXPECT_EQ(window.GetPixel(5, 1), kWhite);
        EXPECT_EQ(window.GetPixel(8, 7), kBlack);
        EXPECT_EQ(CountPixels(window, kWhite), 4 + 6);
    }
}

TEST(SoftLines, WidePensAreSymmetricAboutThePath)
{
    CHeadlessWnd window(20, 20);
    CClientDC dc(&window);
    PenOnDc pen(dc, 3, kWhite);
    dc.MoveTo(5, 10);
    dc.LineTo(15, 10);
    for (int y = 8; y <= 12; ++y) {
        EXPECT_EQ(window.GetPixel(10, y), (y >= 9 && y <= 11) ? kWhite : kBlack) << y;
    }
    EXPECT_EQ(CountPixels(window, kWhite), 3 * 12);
}

TEST(SoftLines, XorOutlineDrawnTwiceRestoresThePicture)
{
    for (const int width : {1, 2, 3, 5}) {
        CHeadlessWnd window(40, 30);
        FillWithPattern(window);
        const std::vector<std::uint8_t> picture = window.CopyImage();
        CWindowDC dc(&window);
        dc.SetROP2(RasterOp::XorPen);
        PenOnDc pen(dc, width, MakeColorRef(255, 136, 17));  // no channel left out
        const auto outline = [&] {
            dc.MoveTo(-3, 2);
            dc.LineTo(30, 5);
            dc.LineTo(37, 28);
            dc.LineTo(4, 33);
            dc.LineTo(-3, 2);
        };
        outline();
        EXPECT_NE(window.CopyImage(), picture) << width;
        outline();
        EXPECT_EQ(window.CopyImage(), picture) << width;
    }
}

TEST(SoftLines, XorTogglesEachPixelOfALineOnce)
{
    CHeadlessWnd window(30, 30);
    CClientDC dc(&window);
    dc.SetROP2(RasterOp::XorPen);
    PenOnDc pen(dc, 4, kWhite);
    dc.MoveTo(3, 4);
    dc.LineTo(26, 17);
    // A pixel toggled twice would be black again and leave a hole in the stroke.
    const int stroke = CountPixels(window, kWhite);
    EXPECT_EQ(stroke + CountPixels(window, kBlack), 900);
    dc.SetROP2(RasterOp::CopyPen);
    dc.MoveTo(3, 4);
    dc.LineTo(26, 17);
    EXPECT_EQ(CountPixels(window, kWhite), stroke);
}

TEST(SoftRectangle, OutlinesWithThePenInsideAndFillsWithTheBrush)
{
    CHeadlessWnd window(12, 12);
    CClientDC dc(&window);
    PenOnDc pen(dc, 2, kOrange);
    CBrush brush;
    brush.CreateSolidBrush(kBlue);
    dc.SelectObject(&brush);
    dc.Rectangle(9, 8, 1, 2);  // corners in either order
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 1 && x < 9 && y >= 2 && y < 8;
            const bool interior = x >= 3 && x < 7 && y >= 4 && y < 6;
            const ColorRef expected = !inside ? kBlack : interior ? kBlue : kOrange;
            EXPECT_EQ(window.GetPixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(SoftRectangle, ClipsAndXorsEachPixelOnce)
{
    CHeadlessWnd window(10, 10);
    FillWithPattern(window);
    const std::vector<std::uint8_t> picture = window.CopyImage();
    CClientDC dc(&window);
    dc.SetROP2(RasterOp::XorPen);
    PenOnDc pen(dc, 3, kOrange);
    CBrush brush;
    brush.CreateSolidBrush(kOrange);
    dc.SelectObject(&brush);
    const auto draw = [&] {
        dc.Rectangle(-5, -5, 4, 8);
        dc.Rectangle(6, 3, 10, 12);  // narrower than two frames
    };
    draw();
    // Same colour for frame and fill: every covered pixel toggled exactly once.
    CHeadlessWnd reference(10, 10);
    FillWithPattern(reference);
    reference.GetSurface().PaintRect(0, 0, 4, 8, kOrange, RasterOp::XorPen);
    reference.GetSurface().PaintRect(6, 3, 10, 10, kOrange, RasterOp::XorPen);
    EXPECT_EQ(window.CopyImage(), reference.CopyImage());
    draw();
    EXPECT_EQ(window.CopyImage(), picture);
}

// ---- Images

TEST(SoftDib, StretchCopiesOneToOneAndClips)
{
    const int width = 5;
    const int height = 3;
    std::vector<std::uint8_t> bits(ImageSize(width, height), 0);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = bits.data() + row * ImageStride(width) + 3 * x;
            pixel[0] = static_cast<std::uint8_t>(x);
            pixel[1] = static_cast<std::uint8_t>(row);
            pixel[2] = 200;
        }
    }
    const BitmapInfoHeader header = MakeDibHeader(width, height);

    CHeadlessWnd window(width, height);
    CClientDC dc(&window);
    EXPECT_EQ(dc.StretchDIBits(0, 0, width, height, 0, 0, width, height, bits.data(), header),
              height);
    EXPECT_EQ(window.CopyImage(), bits);

    // Shifted half off the window: what lands is still the right pixel.
    window.SetSize(width, height);
    dc.StretchDIBits(2, -1, width, height, 0, 0, width, height, bits.data(), header);
    EXPECT_EQ(window.GetPixel(2, 0), MakeColorRef(200, 1, 0));  // image row 1, column 0
    EXPECT_EQ(window.GetPixel(4, 1), MakeColorRef(200, 0, 2));  // bottom row, column 2
    EXPECT_EQ(window.GetPixel(1, 0), kBlack);
    EXPECT_EQ(window.GetPixel(2, 2), kBlack);

    // Twice the size: each source pixel becomes a 2 × 2 block.
    window.SetSize(2 * width, 2 * height);
    dc.StretchDIBits(0, 0, 2 * width, 2 * height, 0, 0, width, height, bits.data(), header);
    EXPECT_EQ(window.GetPixel(9, 5), MakeColorRef(200, 0, 4));
    EXPECT_EQ(window.GetPixel(0, 0), MakeColorRef(200, 2, 0));
}

TEST(SoftDib, GetDIBitsReadsAStartRowAndRefusesOtherFormats)
{
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, 2, 3);
    CBitmap* original = dc.SelectObject(&bitmap);
    PenOnDc pen(dc, 1, kWhite);
    dc.MoveTo(0, 1);  // the middle row, image row 1
    dc.LineTo(2, 1);
    dc.SelectObject(original);

    std::vector<std::uint8_t> bits(ImageSize(2, 3), 0x55);
    EXPECT_EQ(dc.GetDIBits(&bitmap, 1, 5, bits.data(), MakeDibHeader(2, 3)), 2);
    const std::vector<std::uint8_t> white{255, 255, 255, 255, 255, 255, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(bits.begin(), bits.begin() + 8), white);

    BitmapInfoHeader eightBit = MakeDibHeader(2, 3);
    eightBit.biBitCount = 8;
    EXPECT_EQ(dc.GetDIBits(&bitmap, 0, 3, bits.data(), eightBit), 0);
    CBitmap empty;
    EXPECT_EQ(dc.GetDIBits(&empty, 0, 3, bits.data(), MakeDibHeader(2, 3)), 0);
    EXPECT_FALSE(empty.CreateCompatibleBitmap(&dc, -1, 3));
}

// ---- Fonts and text

TEST(SoftFonts, WindowsFacesResolveToTheirFreeCounterparts)
{
    const std::pair<const char*, const char*> faces[] = {
        {"ＭＳ Ｐ明朝", "IPAPMincho"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"},
        {"Courier New", "Liberation Mono"},
        {"Arial", "Liberation Sans"},
    };
    for (const auto& [face, family] : faces) {
        const soft::ResolvedFont* font = soft::ResolveFont(face);
        ASSERT_NE(font, nullptr);
        EXPECT_TRUE(font->bExact) << face;
        EXPECT_EQ(font->strFamily, family);
    }
}

TEST(SoftFonts, MissingFaceFallsBackAndSaysSoOnce)
{
    testing::internal::CaptureStderr();
    CFont first;
    CFont second;
    EXPECT_TRUE(first.CreatePointFont(120, "No Such Face Anywhere", nullptr));
    EXPECT_TRUE(second.CreatePointFont(200, "No Such Face Anywhere", nullptr));
    const std::string messages = testing::internal::GetCapturedStderr();
    const auto mentions = [&](const std::string& text) {
        std::size_t count = 0;
        for (auto at = messages.find(text); at != std::string::npos;
             at = messages.find(text, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(mentions("No Such Face Anywhere"), 1u) << messages;

    CHeadlessWnd window(80, 30);
    CClientDC dc(&window);
    dc.SelectObject(&second);
    dc.SetTextColor(kWhite);
    dc.SetBkMode(BkMode::Transparent);
    dc.TextOut(0, 0, "Hi");
    EXPECT_GT(CountNotBlack(window), 10);
}

TEST(SoftFonts, PointSizeGivesTheCharacterHeight)
{
    CDC dc;
    const std::pair<int, int> sizes[] = {{96, 12}, {200, 26}, {90, 12}, {1000, 133}};
    for (const auto& [points, pixels] : sizes) {
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(points, "Arial", &dc));
        EXPECT_EQ(font.GetPixelHeight(), pixels) << points;
    }
}

TEST(SoftText, ExtentAddsAdvancesAndCoversTheLine)
{
    CHeadlessWnd window(4, 4);
    CClientDC dc(&window);
    CFont font;
    font.CreatePointFont(200, "Arial", &dc);
    dc.SelectObject(&font);
    const CSize a = dc.GetTextExtent("A");
    const CSize v = dc.GetTextExtent("V");
    const CSize av = dc.GetTextExtent("AV");
    EXPECT_EQ(av.cx, a.cx + v.cx);  // no kerning
    EXPECT_EQ(av.cy, a.cy);
    EXPECT_GT(a.cy, font.GetPixelHeight());
    EXPECT_LT(a.cy, 2 * font.GetPixelHeight());
    EXPECT_EQ(dc.GetTextExtent("").cx, 0);
    EXPECT_GT(dc.GetTextExtent("Mandelbrot").cx, dc.GetTextExtent("Mandel").cx);
}

TEST(SoftText, JapaneseRendersInsideTheCell)
{
    for (const char* face : {"ＭＳ Ｐ明朝", "ＭＳ Ｐゴシック"}) {
        CHeadlessWnd window(120, 40);
        CClientDC dc(&window);
        CFont font;
        font.CreatePointFont(200, face, &dc);
        dc.SelectObject(&font);
        dc.SetTextColor(kWhite);
        dc.SetBkMode(BkMode::Transparent);
        const std::string text = "お待ちください";
        const CSize extent = dc.GetTextExtent(text);
        EXPECT_GE(extent.cx, 7 * 20) << face;  // seven full-width characters
        dc.TextOut(5, 3, text);
        // Antialiased grey levels only, and all of them inside the text cell.
        int inked = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 120; ++x) {
                const ColorRef pixel = window.GetPixel(x, y);
                if (pixel == kBlack) {
                    continue;
                }
                ++inked;
                EXPECT_EQ(pixel, MakeColorRef(pixel & 0xFF, pixel & 0xFF, pixel & 0xFF));
                EXPECT_TRUE(x >= 5 && y >= 3 && y < 3 + extent.cy) << x << "," << y;
            }
        }
        EXPECT_GT(inked, 100) << face;
    }
}

// Liberation Mono has no kanji: another face draws them, not the missing-glyph box.
TEST(SoftText, MissingGlyphsComeFromAnotherFace)
{
    const auto draw = [](const char* text) {
        CHeadlessWnd window(40, 40);
        CClientDC dc(&window);
        CFont font;
        font.CreatePointFont(200, "Courier New", &dc);
        dc.SelectObject(&font);
        dc.SetTextColor(kWhite);
        dc.SetBkColor(kBlack);
        dc.TextOut(0, 0, text);
        return window.CopyImage();
    };
    EXPECT_NE(draw("画"), draw("像"));
}

TEST(SoftText, OpaqueFillsTheCellAndTransparentKeepsTheBackground)
{
    CHeadlessWnd window(60, 40);
    CClientDC dc(&window);
    CFont font;
    font.CreatePointFont(120, "Courier New", &dc);
    dc.SelectObject(&font);
    dc.SetBkColor(kBlue);
    const CSize extent = dc.GetTextExtent("  ");
    dc.SetBkMode(BkMode::Transparent);
    dc.TextOut(2, 3, "  ");
    EXPECT_EQ(CountPixels(window, kBlack), 60 * 40);
    dc.SetBkMode(BkMode::Opaque);
    dc.TextOut(2, 3, "  ");
    EXPECT_EQ(CountPixels(window, kBlue), extent.cx * extent.cy);
    EXPECT_EQ(window.GetPixel(2, 3), kBlue);
    EXPECT_EQ(window.GetPixel(1 + extent.cx, 2 + extent.cy), kBlue);
}

TEST(SoftText, ThreadsDrawTextAtTheSameTime)
{
    const auto draw = [](const char* face) {
        CHeadlessWnd window(100, 30);
        CClientDC dc(&window);
        CFont font;
        font.CreatePointFont(150, face, &dc);
        dc.SelectObject(&font);
        dc.SetTextColor(kWhite);
        for (int i = 0; i < 40; ++i) {
            dc.TextOut(0, 0, "3.14159 画像");
        }
        return window.CopyImage();
    };
    const std::vector<std::uint8_t> alone = draw("Courier New");
    std::vector<std::uint8_t> fromThread;
    std::thread other([&] { fromThread = draw("Courier New"); });
    const std::vector<std::uint8_t> mincho = draw("ＭＳ Ｐ明朝");
    other.join();
    EXPECT_EQ(fromThread, alone);
    EXPECT_NE(mincho, alone);
}

TEST(SoftUtf8, DecodesAndReplacesIllFormedBytes)
{
    EXPECT_EQ(soft::DecodeUtf8("a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"),
              (std::u32string{U'a', 0xE9, 0x65E5, 0x1F600}));
    // A lone continuation byte, an overlong slash, a surrogate, a truncated sequence.
    EXPECT_EQ(soft::DecodeUtf8("\x80"), std::u32string(1, 0xFFFD));
    EXPECT_EQ(soft::DecodeUtf8("\xC0\xAF"), std::u32string(2, 0xFFFD));
    EXPECT_EQ(soft::DecodeUtf8("\xED\xA0\x80"), std::u32string(3, 0xFFFD));
    EXPECT_EQ(soft::DecodeUtf8("x\xE6\x97"), (std::u32string{U'x', 0xFFFD, 0xFFFD}));
}

TEST(SoftSystem, ModulePathIsTheRunningExecutable)
{
    const std::string path = platform::GetModulePath();
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

}  // namespace
