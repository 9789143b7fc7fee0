#include "engine/text_box.h"

#include "platform/draw_tools.h"

namespace {

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr ColorRef kBlack = 0x000000;

}  // namespace

CSize MeasureText(CWnd& window, const TextFont& font, const std::string& text)
{
    CClientDC dc(&window);
    CDrawTools tools(&dc);
    tools.SelectTextStyle(kWhite, kBlack, font.points, font.face);
    const CSize extent = dc.GetTextExtent(text);
    tools.RestoreTextStyle();
    return extent;
}

void RasterizeText(CWnd& window, const TextFont& font, const std::string& text, CSize box, int x,
                   int y, std::uint8_t* pBits)
{
    CClientDC clientDC(&window);
    CDC memoryDC;
    memoryDC.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&clientDC, box.cx, box.cy);
    CBitmap* pOldBitmap = memoryDC.SelectObject(&bitmap);

    CDrawTools tools(&memoryDC);
    tools.SelectTextStyle(kWhite, kBlack, font.points, font.face);
    tools.SelectPenBrush(kBlack, kBlack, 0);
    memoryDC.Rectangle(0, 0, box.cx, box.cy);
    // Only the glyphs go over the black box, in white.
    memoryDC.SetTextColor(kWhite);
    memoryDC.SetBkMode(BkMode::Transparent);
    memoryDC.TextOut(x, y, text);
    tools.RestorePenBrush();
    tools.RestoreTextStyle();
    memoryDC.SelectObject(pOldBitmap);

    memoryDC.GetDIBits(&bitmap, 0, box.cy, pBits, MakeDibHeader(box.cx, box.cy));
}
