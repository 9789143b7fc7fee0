#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "engine/coordinate_grid.h"
#include "engine/grid_labels.h"
#include "tour_support.h"

namespace {

std::string Scaled(std::int64_t divisor, std::int64_t value)
{
    char text[kScaledTextSize];
    FormatScaled(text, divisor, value);
    return text;
}

void ExpectMajors(const std::vector<GridTick>& ticks, const std::vector<int>& positions,
                  const std::vector<std::string>& labels)
{
    std::vector<int> majorPositions;
    std::vector<std::string> majorLabels;
    for (const GridTick& tick : ticks) {
        if (tick.major) {
            majorPositions.push_back(tick.position);
            majorLabels.push_back(tick.label);
        }
    }
    EXPECT_EQ(majorPositions, positions);
    EXPECT_EQ(majorLabels, labels);
}

// Blends a label as the grid defines it into `image`: the text drawn white on black in
// "Courier New", the image under it halved and the text added; lying from (x, y) to the right,
// or turned to read upwards from row y with its glyphs' feet on column x.
void BlendExpectedLabel(std::vector<std::uint8_t>& image, int width, int height,
                        const std::string& text, int x, int y, bool vertical)
{
    const int points = std::max(width / 20, 90);
    CHeadlessWnd measuring(1, 1);
    CClientDC dc(&measuring);
    CFont font;
    font.CreatePointFont(points, "Courier New", &dc);
    dc.SelectObject(&font);
    const CSize extent = dc.GetTextExtent(text);
    const std::vector<std::uint8_t> label =
        DrawnText(extent.cx, extent.cy, 0, 0, "Courier New", points, text);
    for (int j = 0; j < extent.cx; ++j) {
        for (int i = 0; i < extent.cy; ++i) {
            const int col = vertical ? x - i : x + j;
            const int row = vertical ? y + j : y + i;
            if (col < 0 || col >= width || row < 0 || row >= height) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& value = image[row * ImageStride(width) + 3 * col + c];
                value = static_cast<std::uint8_t>(
                    std::min(255, value / 2 + label[i * ImageStride(extent.cx) + 3 * j + c]));
            }
        }
    }
}

void ExpectSameImage(const std::uint8_t* actual, const std::vector<std::uint8_t>& expected,
                     int width, int height)
{
    for (int row = 0; row < height; ++row) {
        for (int i = 0; i < 3 * width; ++i) {
            const int at = row * ImageStride(width) + i;
            ASSERT_EQ(actual[at], expected[at]) << "column " << i / 3 << ", row " << row;
        }
    }
}

}  // namespace

TEST(FormatScaled, WritesFixedPointText)
{
    EXPECT_EQ(Scaled(100, 5), "0.05");
    EXPECT_EQ(Scaled(100, -30), "-0.30");
    EXPECT_EQ(Scaled(10, 123), "12.3");
    EXPECT_EQ(Scaled(10, 7), "0.7");
    EXPECT_EQ(Scaled(1, 7), "7");
    EXPECT_EQ(Scaled(0, 7), "7");
    EXPECT_EQ(Scaled(1000, 0), "0.0");
    EXPECT_EQ(Scaled(1'000'000'000'000'000'000, 5), "0.000000000000000005");
    EXPECT_EQ(Scaled(1'000'000'000'000'000'000, -INT64_MAX), "-9.223372036854775807");
    // Arguments the grid never passes still stay within 21 characters.
    EXPECT_EQ(Scaled(1, INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Scaled(1'000'000'000'000'000'000, INT64_MIN), "-9.223372036854775808");
    EXPECT_EQ(Scaled(20, 5), "05");  // not powers of ten: padded, no point
    EXPECT_EQ(Scaled(-100, 5), "005");
    EXPECT_EQ(Scaled(INT64_MAX, 5), "0000000000000000005");
    EXPECT_EQ(Scaled(INT64_MIN, INT64_MIN), "-9223372036854775808");
}

TEST(GridTicks, PlaceAndLabelTheLinesOfAFullHdPicture)
{
    const double spanIm = 0.045, spanRe = (1920 * spanIm) / 1080;
    const std::vector<GridTick> columns = ComputeGridTicks(-0.275, spanRe, 1920);
    EXPECT_EQ(columns.size(), 80u);
    ExpectMajors(columns, {120, 360, 600, 839, 1080, 1320, 1560, 1800},
                 {"-0.31", "-0.30", "-0.29", "-0.28", "-0.27", "-0.26", "-0.25", "-0.24"});
    const std::vector<GridTick> rows = ComputeGridTicks(0.735, spanIm, 1080);
    EXPECT_EQ(rows.size(), 45u);
    ExpectMajors(rows, {179, 419, 660, 900}, {"0.72", "0.73", "0.74", "0.75"});
}

TEST(GridTicks, DropsATickAtTheFarEdgeAndKeepsOneJustBeforeZero)
{
    const std::vector<GridTick> ticks = ComputeGridTicks(0.5, 1.0, 100);  // 0 … 1 by 0.1
    ASSERT_EQ(ticks.size(), 10u);
    EXPECT_EQ(ticks.front().position, 0);
    EXPECT_EQ(ticks.back().position, 90);
    ExpectMajors(ticks, {0}, {"0.0"});
    // Tick 0 lies 0.4 pixel left of the picture and truncates onto column 0.
    EXPECT_EQ(ComputeGridTicks(0.504, 1.0, 100).front().position, 0);
}

TEST(GridTicks, CoarseFineAndAbsurdSpansStayBounded)
{
    // Spans of ten or more tick whole numbers and label them with their own value.
    ExpectMajors(ComputeGridTicks(0.0, 50.0, 500), {50, 150, 250, 350, 450},
                 {"-20", "-10", "0.0", "10", "20"});
    // Below 1e-17 the ticks stay at 1e-18.
    const std::vector<GridTick> fine = ComputeGridTicks(0.25, 1e-20, 100);
    EXPECT_LE(fine.size(), 2u);
    for (const GridTick& tick : fine) {
        EXPECT_TRUE(tick.position >= 0 && tick.position < 100);
    }
    for (const double span : {5000.0, 1e300, 0.0, -1.0, double(INFINITY), double(NAN)}) {
        EXPECT_TRUE(ComputeGridTicks(0.0, span, 100).empty()) << span;
    }
    EXPECT_TRUE(ComputeGridTicks(1e30, 1.0, 100).empty());  // tick numbers beyond 64 bits
}

TEST(GridLines, TurnBrightPixelsBlackAndOthersWhiteEveryStepPixels)
{
    SmallShow show(4, 7);
    std::uint8_t* image = show.context.m_pGrid.get();
    const int rows[][3] = {{200, 200, 200}, {207, 200, 200}, {255, 255, 255}, {0, 0, 0}};
    for (int row = 0; row < 4; ++row) {
        show.Set(image, 1, row, rows[row][0], rows[row][1], rows[row][2]);
    }
    show.Set(image, 1, 4, 9, 9, 9);
    show.Set(image, 1, 5, 9, 9, 9);
    show.Set(image, 1, 6, 255, 255, 255);
    DrawGridLine(image, 4, 7, 1, true, 3);  // brightness 200, 201, 255, 0, …: rows 0, 3, 6
    const int expected[] = {255, 207, 255, 255, 9, 9, 0};
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(show.Pixel(image, 1, row)[0], expected[row]) << row;
    }
    DrawGridLine(image, 4, 7, 1, true, 1);
    EXPECT_EQ(show.Pixel(image, 1, 1)[2], 0);   // 201 turns black
    EXPECT_EQ(show.Pixel(image, 1, 0)[2], 0);   // the first pass made it white
}

// The whole grid image of the view 0 … 2 × −0.5 … 0.5 on 200 × 100 pixels: ticks every 0.1,
// majors at whole numbers; all lines first, each pixel turned black or white by the
// brightness it has then; then the labels over them.
TEST(DrawGrid, DrawsLinesThenLabelsOverThem)
{
    constexpr int kWidth = 200, kHeight = 100;
    SmallShow show(kWidth, kHeight);
    CRenderContext& context = show.context;
    context.m_dCentreRe = 1.0;
    context.m_dCentreIm = 0.0;
    context.m_dSpanRe = 2.0;
    context.m_dSpanIm = 1.0;
    std::uint8_t* grid = context.m_pGrid.get();
    for (int row = 0; row < kHeight; ++row) {
        for (int col = 0; col < kWidth; ++col) {
            show.Set(grid, col, row, (7 * col) % 256, (13 * row) % 256, (col + row) % 256);
        }
    }
    std::vector<std::uint8_t> expected(grid, grid + ImageSize(kWidth, kHeight));
    const auto mark = [&](int col, int row) {
        std::uint8_t* pixel = &expected[row * ImageStride(kWidth) + 3 * col];
        const int brightness = (pixel[0] + 4 * pixel[1] + 2 * pixel[2]) / 7;
        pixel[0] = pixel[1] = pixel[2] = brightness > 200 ? 0 : 255;
    };
    // Ticks g / 10 from g0 = trunc(lo · 10) to g1 = trunc(hi · 10 + 1) at pixel
    // trunc(N · (g / 10 − lo) / extent), where they fall inside.
    const auto position = [](int g, double lo, double extent, int pixels) {
        return static_cast<int>(pixels * (((g / 10.0) - lo) / extent));
    };
    for (int g = 0; g <= 21; ++g) {
        const int col = position(g, 0.0, 2.0, kWidth);
        for (int row = 0; col < kWidth && row < kHeight; row += g % 10 == 0 ? 1 : 3) {
            mark(col, row);
        }
    }
    for (int g = -5; g <= 6; ++g) {
        const int row = position(g, -0.5, 1.0, kHeight);
        for (int col = 0; row < kHeight && col < kWidth; col += g % 10 == 0 ? 1 : 3) {
            mark(col, row);
        }
    }
    BlendExpectedLabel(expected, kWidth, kHeight, "0.0", 0, 0, true);
    BlendExpectedLabel(expected, kWidth, kHeight, "1", 100, 0, true);
    BlendExpectedLabel(expected, kWidth, kHeight, "0.0", 0, 50, false);

    context.DrawGrid();
    ExpectSameImage(grid, expected, kWidth, kHeight);
}

TEST(GridLabels, BlendClippedAtThePictureEdges)
{
    // A label of 3 × 20 pixels, all 10 with a white glyph pixel at text row 0, column 0.
    std::vector<std::uint8_t> label(ImageSize(3, 20), 10);
    std::memset(label.data(), 255, 3);
    const LabelPixels pixels{label.data(), 3, 20};

    SmallShow show(30, 10);
    std::uint8_t* image = show.context.m_pGrid.get();
    show.Fill(image, 201, 201, 201);
    BlendLabel(image, 30, 10, pixels, 5, 2, true);  // turned: column 5 − i, row 2 + j
    EXPECT_EQ(show.Pixel(image, 5, 2)[0], 255);     // white glyph stays white
    EXPECT_EQ(show.Pixel(image, 0, 4)[0], 100 + 10);
    EXPECT_EQ(show.Pixel(image, 6, 2)[0], 201);     // right of the foot column
    EXPECT_EQ(show.Pixel(image, 5, 5)[0], 201);     // above the three text columns

    show.Fill(image, 255, 255, 255);
    BlendLabel(image, 30, 10, pixels, 28, 5, false);  // lying: column 28 + j, row 5 + i
    EXPECT_EQ(show.Pixel(image, 29, 9)[0], 127 + 10);
    EXPECT_EQ(show.Pixel(image, 27, 5)[0], 255);
    EXPECT_EQ(show.Pixel(image, 28, 4)[0], 255);
    BlendLabel(image, 30, 10, pixels, INT_MAX, INT_MIN, true);  // far outside: nothing
}

// The whole grid image after two labels, against the text drawn in "Courier New" and blended
// as halved image plus label: one lying on row 20 from column 10, one turned to read upwards
// from row 30 with its glyphs' feet on column 100, cut at the image's top.
// The whole grid image after two labels: one lying on row 20 from column 10, one turned to
// read upwards from row 30 with its glyphs' feet on column 100, cut at the image's top.
TEST(GridLabels, StampLabelHalvesItsBoxAndAddsTheText)
{
    EXPECT_EQ(LabelPointSize(1920), 96);
    EXPECT_EQ(LabelPointSize(1366), 90);
    EXPECT_EQ(LabelPointSize(3840), 192);

    constexpr int kWidth = 120, kHeight = 60;
    SmallShow show(kWidth, kHeight);
    std::uint8_t* grid = show.context.m_pGrid.get();
    for (int row = 0; row < kHeight; ++row) {
        for (int col = 0; col < kWidth; ++col) {
            show.Set(grid, col, row, col + row, 2 * col, 255 - row);
        }
    }
    std::vector<std::uint8_t> expected(grid, grid + ImageSize(kWidth, kHeight));
    BlendExpectedLabel(expected, kWidth, kHeight, "-0.25", 10, 20, false);
    BlendExpectedLabel(expected, kWidth, kHeight, "-0.25", 100, 30, true);
    show.context.StampLabel({10, 20, "-0.25", 0});
    show.context.StampLabel({100, 30, "-0.25", 1});
    ExpectSameImage(grid, expected, kWidth, kHeight);
}
