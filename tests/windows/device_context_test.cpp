// The drawing API over real GDI: selections handed back, the drawing tools restoring the DC,
// point fonts, wide text, DIB transfers and XOR lines.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "platform/draw_tools.h"
#include "platform/image_layout.h"
#include "platform/win32/dc_state.h"
#include "test_window.h"

namespace {

constexpr int kWidth = 5;  // a width with row padding
constexpr int kHeight = 3;

// A memory DC holding a screen-compatible bitmap, as the caption and the labels use.
class DeviceContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_client.IsValid());
        ASSERT_TRUE(m_dc.CreateCompatibleDC(&m_client));
        ASSERT_TRUE(m_bitmap.CreateCompatibleBitmap(&m_client, kWidth, kHeight));
        ASSERT_NE(m_dc.SelectObject(&m_bitmap), nullptr);
    }

    HDC Hdc() { return m_dc.GetState().hdc; }

    void Fill(ColorRef colour)
    {
        CPen pen;
        CBrush brush;
        pen.CreatePen(0, colour);
        brush.CreateSolidBrush(colour);
        CPen* pOldPen = m_dc.SelectObject(&pen);
        CBrush* pOldBrush = m_dc.SelectObject(&brush);
        m_dc.Rectangle(0, 0, kWidth, kHeight);
        m_dc.SelectObject(pOldBrush);
        m_dc.SelectObject(pOldPen);
    }

    std::vector<std::uint8_t> ReadBack()
    {
        std::vector<std::uint8_t> pixels(ImageSize(kWidth, kHeight));
        EXPECT_EQ(m_dc.GetDIBits(&m_bitmap, 0, kHeight, pixels.data(),
                                 MakeDibHeader(kWidth, kHeight)),
                  kHeight);
        return pixels;
    }

    CTestWindow m_window;
    CClientDC m_client{&m_window};
    CDC m_dc;
    CBitmap m_bitmap;
};

std::uint8_t* Pixel(std::vector<std::uint8_t>& image, int x, int row)
{
    return image.data() + row * ImageStride(kWidth) + 3 * x;
}

}  // namespace

TEST_F(DeviceContextTest, SelectObjectHandsBackTheObjectSelectedBefore)
{
    CPen red;
    CPen blue;
    red.CreatePen(1, 0x0000FF);
    blue.CreatePen(1, 0xFF0000);
    const HGDIOBJ stockPen = GetCurrentObject(Hdc(), OBJ_PEN);

    CPen* pOriginal = m_dc.SelectObject(&red);
    ASSERT_NE(pOriginal, nullptr);
    EXPECT_EQ(pOriginal->GetSafeHandle(), stockPen);
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_PEN), red.GetSafeHandle());
    EXPECT_EQ(m_dc.SelectObject(&blue), &red);
    EXPECT_EQ(m_dc.SelectObject(pOriginal), &blue);
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_PEN), stockPen);
    // The DC's own pen keeps its one wrapper.
    EXPECT_EQ(m_dc.SelectObject(&red), pOriginal);

    // An object without a native one changes nothing.
    CPen empty;
    EXPECT_EQ(m_dc.SelectObject(&empty), nullptr);
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_PEN), red.GetSafeHandle());
    m_dc.SelectObject(pOriginal);
}

TEST_F(DeviceContextTest, DrawingToolsPutTheDcBackAndFreeWhatTheyMade)
{
    const HGDIOBJ pen = GetCurrentObject(Hdc(), OBJ_PEN);
    const HGDIOBJ brush = GetCurrentObject(Hdc(), OBJ_BRUSH);
    const HGDIOBJ font = GetCurrentObject(Hdc(), OBJ_FONT);
    const COLORREF text = GetTextColor(Hdc());
    const COLORREF background = GetBkColor(Hdc());

    HGDIOBJ jobPen = nullptr;
    HGDIOBJ jobFont = nullptr;
    {
        CDrawTools tools(&m_dc);
        tools.SelectPenBrush(0x0088FF, 0x0088FF, 2);
        tools.SelectTextStyle(0xFFFFFF, 0x000000, 200, "ＭＳ Ｐ明朝");
        jobPen = GetCurrentObject(Hdc(), OBJ_PEN);
        jobFont = GetCurrentObject(Hdc(), OBJ_FONT);
        EXPECT_NE(jobPen, pen);
        EXPECT_NE(GetCurrentObject(Hdc(), OBJ_BRUSH), brush);
        EXPECT_NE(jobFont, font);
        EXPECT_EQ(GetTextColor(Hdc()), 0xFFFFFFu);
        EXPECT_EQ(GetBkColor(Hdc()), 0x000000u);
        tools.RestoreTextStyle();
        tools.RestorePenBrush();
    }
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_FONT), font);
    EXPECT_EQ(GetTextColor(Hdc()), text);
    EXPECT_EQ(GetBkColor(Hdc()), background);
    // The job's pen and font no longer exist.
    EXPECT_EQ(GetObjectType(jobPen), 0u);
    EXPECT_EQ(GetObjectType(jobFont), 0u);
}

TEST_F(DeviceContextTest, PointFontsHaveTheFrameworksHeightAndAWideFaceName)
{
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(200, "ＭＳ Ｐ明朝", &m_dc));
    LOGFONTW logFont{};
    ASSERT_NE(GetObjectW(font.GetSafeHandle(), sizeof logFont, &logFont), 0);
    EXPECT_EQ(logFont.lfHeight, -(GetDeviceCaps(Hdc(), LOGPIXELSY) * 200 / 720));
    EXPECT_EQ(std::wstring(logFont.lfFaceName), L"ＭＳ Ｐ明朝");
    EXPECT_EQ(logFont.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(logFont.lfWeight, 0);

    CFont longName;
    ASSERT_TRUE(longName.CreatePointFont(90, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", &m_dc));
    ASSERT_NE(GetObjectW(longName.GetSafeHandle(), sizeof logFont, &logFont), 0);
    EXPECT_EQ(std::wstring(logFont.lfFaceName), L"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
}

TEST_F(DeviceContextTest, TextsGoToTheWideFunctions)
{
    EXPECT_EQ(platform::win32::Utf8ToWide("最初の画像 ok"), L"最初の画像 ok");
    EXPECT_EQ(platform::win32::WideToUtf8(L"最初の画像 ok"), "最初の画像 ok");
    EXPECT_EQ(platform::win32::Utf8ToWide(""), L"");

    CDrawTools tools(&m_dc);
    tools.SelectTextStyle(0xFFFFFF, 0x000000, 200, "ＭＳ Ｐ明朝");
    SIZE wide{};
    GetTextExtentPoint32W(Hdc(), L"最初の画像", 5, &wide);
    const CSize extent = m_dc.GetTextExtent("最初の画像");
    EXPECT_GT(extent.cx, 0);
    EXPECT_EQ(extent.cx, wide.cx);
    EXPECT_EQ(extent.cy, wide.cy);
    tools.RestoreTextStyle();
}

TEST_F(DeviceContextTest, GetDIBitsReadsTheSelectedBitmapBottomUp)
{
    Fill(0x000000);
    CPen pen;
    CBrush brush;
    pen.CreatePen(0, 0x0000FF);
    brush.CreateSolidBrush(0x0000FF);
    CPen* pOldPen = m_dc.SelectObject(&pen);
    CBrush* pOldBrush = m_dc.SelectObject(&brush);
    m_dc.Rectangle(0, 0, kWidth, 1);  // the top row red
    m_dc.SelectObject(pOldBrush);
    m_dc.SelectObject(pOldPen);

    std::vector<std::uint8_t> image = ReadBack();
    const std::uint8_t red[3] = {0, 0, 255};
    const std::uint8_t black[3] = {0, 0, 0};
    EXPECT_EQ(std::vector(Pixel(image, 0, kHeight - 1), Pixel(image, 0, kHeight - 1) + 3),
              std::vector(red, red + 3));
    EXPECT_EQ(std::vector(Pixel(image, 4, 0), Pixel(image, 4, 0) + 3),
              std::vector(black, black + 3));
    // The bitmap is still selected and drawable afterwards.
    EXPECT_EQ(GetCurrentObject(Hdc(), OBJ_BITMAP), m_bitmap.GetSafeHandle());
}

TEST_F(DeviceContextTest, StretchDIBitsCopiesOneToOneExactly)
{
    std::vector<std::uint8_t> source(ImageSize(kWidth, kHeight));
    for (int row = 0; row < kHeight; ++row) {
        for (int x = 0; x < 3 * kWidth; ++x) {
            source[row * ImageStride(kWidth) + x] = static_cast<std::uint8_t>(17 * row + 5 * x + 1);
        }
    }
    EXPECT_EQ(m_dc.StretchDIBits(0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, source.data(),
                                 MakeDibHeader(kWidth, kHeight)),
              kHeight);
    std::vector<std::uint8_t> copy = ReadBack();
    for (int row = 0; row < kHeight; ++row) {
        EXPECT_EQ(std::vector(Pixel(copy, 0, row), Pixel(copy, kWidth, row)),
                  std::vector(Pixel(source, 0, row), Pixel(source, kWidth, row)));
    }
}

TEST_F(DeviceContextTest, AnXorOutlineDrawnTwiceLeavesNoTrace)
{
    Fill(0x402010);
    const std::vector<std::uint8_t> before = ReadBack();
    CDrawTools tools(&m_dc);
    tools.SelectPenBrush(0x0088FF, 0x0088FF, 1);
    EXPECT_EQ(m_dc.SetROP2(RasterOp::XorPen), RasterOp::CopyPen);
    m_dc.MoveTo(0, 1);
    m_dc.LineTo(kWidth, 1);
    EXPECT_NE(ReadBack(), before);
    m_dc.MoveTo(0, 1);
    m_dc.LineTo(kWidth, 1);
    EXPECT_EQ(ReadBack(), before);
    m_dc.SetROP2(RasterOp::CopyPen);
    tools.RestorePenBrush();
}

TEST(WindowDcTest, AWindowWithoutHandleGetsNoDcRatherThanTheScreens)
{
    CNativeWnd noWindow;
    CClientDC client(&noWindow);
    CWindowDC window(&noWindow);
    EXPECT_FALSE(client.IsValid());
    EXPECT_FALSE(window.IsValid());
    // Drawing on it does nothing rather than failing.
    client.Rectangle(0, 0, 10, 10);
    EXPECT_EQ(client.GetTextExtent("x").cx, 0);
}
