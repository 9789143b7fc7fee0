// A pen, a brush and a point font for one drawing job on one device context, and the DC put
// back exactly as it was afterwards. Every text and outline the program draws goes through it.
#pragma once

#include <memory>

#include "platform/gdi.h"

class CDrawTools {
public:
    // pDC may be null; every operation then does nothing.
    explicit CDrawTools(CDC* pDC);
    CDrawTools(const CDrawTools&) = delete;
    CDrawTools& operator=(const CDrawTools&) = delete;
    ~CDrawTools();

    void SelectPenBrush(ColorRef crPen, ColorRef crBrush, int nPenWidth);
    void RestorePenBrush();
    // nPointSize in tenths of a point.
    void SelectTextStyle(ColorRef crText, ColorRef crBk, int nPointSize, const char* pszFace);
    void RestoreTextStyle();

private:
    std::unique_ptr<CFont> m_pFont;
    CFont* m_pOldFont = nullptr;
    std::unique_ptr<CPen> m_pPen;
    CPen* m_pOldPen = nullptr;
    std::unique_ptr<CBrush> m_pBrush;
    CBrush* m_pOldBrush = nullptr;
    CDC* m_pDC;
    ColorRef m_crOldText = 0;
    ColorRef m_crOldBk = 0;
};
