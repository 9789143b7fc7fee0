#include "platform/draw_tools.h"

CDrawTools::CDrawTools(CDC* pDC) : m_pDC(pDC)
{
    m_pPen = std::make_unique<CPen>();
    m_pBrush = std::make_unique<CBrush>();
    m_pFont = std::make_unique<CFont>();
}

// Pen, brush, font; deleting an object also frees a native object still attached to it.
CDrawTools::~CDrawTools()
{
    m_pPen.reset();
    m_pBrush.reset();
    m_pFont.reset();
}

void CDrawTools::SelectPenBrush(ColorRef crPen, ColorRef crBrush, int nPenWidth)
{
    if (m_pDC == nullptr) {
        return;
    }
    m_pPen->CreatePen(nPenWidth, crPen);
    m_pOldPen = m_pDC->SelectObject(m_pPen.get());
    m_pBrush->CreateSolidBrush(crBrush);
    m_pOldBrush = m_pDC->SelectObject(m_pBrush.get());
}

void CDrawTools::RestorePenBrush()
{
    if (m_pDC == nullptr) {
        return;
    }
    m_pDC->SelectObject(m_pOldBrush);
    m_pBrush->DeleteObject();
    m_pDC->SelectObject(m_pOldPen);
    m_pPen->DeleteObject();
}

void CDrawTools::SelectTextStyle(ColorRef crText, ColorRef crBk, int nPointSize,
                                 const char* pszFace)
{
    if (m_pDC == nullptr) {
        return;
    }
    m_crOldText = m_pDC->SetTextColor(crText);
    m_crOldBk = m_pDC->SetBkColor(crBk);
    m_pFont->CreatePointFont(nPointSize, pszFace != nullptr ? pszFace : "", m_pDC);
    m_pOldFont = m_pDC->SelectObject(m_pFont.get());
}

void CDrawTools::RestoreTextStyle()
{
    if (m_pDC == nullptr) {
        return;
    }
    m_pDC->SetTextColor(m_crOldText);
    m_pDC->SetBkColor(m_crOldBk);
    m_pDC->SelectObject(m_pOldFont);
    m_pFont->DeleteObject();
}
