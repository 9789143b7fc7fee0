#include "platform/draw_tools.h"

#include <gtest/gtest.h>

#include "platform/soft/headless_window.h"

namespace {

constexpr ColorRef kBlack = MakeColorRef(0, 0, 0);
constexpr ColorRef kWhite = MakeColorRef(255, 255, 255);
constexpr ColorRef kOrange = MakeColorRef(255, 136, 0);
constexpr ColorRef kBlue = MakeColorRef(0, 0, 255);

// What a DC has selected, found out by selecting probes and putting the old objects back.
struct Selection {
    CPen* pPen;
    CBrush* pBrush;
    CFont* pFont;
    ColorRef crText;
    ColorRef crBk;

    static Selection Of(CDC& dc)
    {
        CPen pen;
        pen.CreatePen(1, kBlack);
        CBrush brush;
        brush.CreateSolidBrush(kBlack);
        CFont font;
        font.CreatePointFont(90, "Arial", &dc);
        Selection selection{dc.SelectObject(&pen), dc.SelectObject(&brush),
                            dc.SelectObject(&font), dc.SetTextColor(kBlack),
                            dc.SetBkColor(kBlack)};
        dc.SelectObject(selection.pPen);
        dc.SelectObject(selection.pBrush);
        dc.SelectObject(selection.pFont);
        dc.SetTextColor(selection.crText);
        dc.SetBkColor(selection.crBk);
        return selection;
    }

    bool operator==(const Selection&) const = default;
};

TEST(DrawTools, RestoresTheDcInEitherOrder)
{
    CHeadlessWnd window(16, 16);
    CClientDC dc(&window);
    const Selection before = Selection::Of(dc);
    for (const bool penBrushFirst : {true, false}) {
        CDrawTools tools(&dc);
        tools.SelectPenBrush(kOrange, kBlue, 2);
        tools.SelectTextStyle(kWhite, kBlack, 200, "Courier New");
        EXPECT_NE(Selection::Of(dc), before);
        if (penBrushFirst) {
            tools.RestorePenBrush();
            tools.RestoreTextStyle();
        } else {
            tools.RestoreTextStyle();
            tools.RestorePenBrush();
        }
        EXPECT_EQ(Selection::Of(dc), before);
    }
}

TEST(DrawTools, DrawsWithTheSelectedPenBrushAndFont)
{
    CHeadlessWnd window(40, 40);
    CClientDC dc(&window);
    CDrawTools tools(&dc);
    tools.SelectPenBrush(kOrange, kBlue, 0);
    dc.Rectangle(0, 0, 10, 10);
    EXPECT_EQ(window.GetPixel(0, 0), kOrange);
    EXPECT_EQ(window.GetPixel(1, 1), kBlue);
    // Width 0 is a one-pixel pen.
    EXPECT_EQ(window.GetPixel(9, 5), kOrange);
    EXPECT_EQ(window.GetPixel(8, 5), kBlue);

    tools.SelectTextStyle(kWhite, kBlack, 200, "Arial");
    const CSize extent = dc.GetTextExtent("M");
    EXPECT_EQ(dc.GetTextExtent("MM").cx, 2 * extent.cx);
    EXPECT_GT(extent.cy, 200 * 96 / 720);
    tools.RestoreTextStyle();
    tools.RestorePenBrush();
}

TEST(DrawTools, NullDcDoesNothing)
{
    CDrawTools tools(nullptr);
    tools.SelectPenBrush(kOrange, kBlue, 3);
    tools.SelectTextStyle(kWhite, kBlack, 120, "Arial");
    tools.RestoreTextStyle();
    tools.RestorePenBrush();
}

}  // namespace
