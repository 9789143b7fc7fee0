// Pens, brushes, fonts and bitmaps over native GDI objects. Creating an object first deletes
// the native object it may still hold.
#include <algorithm>
#include <cstdlib>

#include "platform/win32/dc_state.h"

namespace {

// The face name as LOGFONT holds it: at most 31 characters and the terminator.
void CopyFaceName(const std::string& face, LOGFONTW& font)
{
    const std::wstring wide = platform::win32::Utf8ToWide(face);
    const std::size_t length = std::min<std::size_t>(wide.size(), LF_FACESIZE - 1);
    std::copy_n(wide.begin(), length, font.lfFaceName);
    font.lfFaceName[length] = L'\0';
}

// The character height of a point size on a DC in its logical units, as the framework
// computes it: device height LOGPIXELSY × size / 720, measured from the converted origin.
LONG PointSizeToHeight(HDC hdc, int nPointSize)
{
    POINT height{0, GetDeviceCaps(hdc, LOGPIXELSY) * nPointSize / 720};
    DPtoLP(hdc, &height, 1);
    POINT origin{0, 0};
    DPtoLP(hdc, &origin, 1);
    return -std::abs(height.y - origin.y);
}

}  // namespace

bool CPen::CreatePen(int nWidth, ColorRef crColor)
{
    DeleteObject();
    m_hObject = ::CreatePen(PS_SOLID, nWidth, crColor);
    m_nWidth = nWidth;
    m_crColor = crColor;
    return m_hObject != nullptr;
}

void CPen::ReleaseNative()
{
    ::DeleteObject(static_cast<HGDIOBJ>(m_hObject));
}

bool CBrush::CreateSolidBrush(ColorRef crColor)
{
    DeleteObject();
    m_hObject = ::CreateSolidBrush(crColor);
    m_crColor = crColor;
    return m_hObject != nullptr;
}

void CBrush::ReleaseNative()
{
    ::DeleteObject(static_cast<HGDIOBJ>(m_hObject));
}

bool CFont::CreatePointFont(int nPointSize, const std::string& face, CDC* pDC)
{
    DeleteObject();
    // Without a DC the measure is the screen's.
    const bool screenDC = pDC == nullptr || !pDC->IsValid();
    const HDC hdc = screenDC ? GetDC(nullptr) : pDC->GetState().hdc;
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    CopyFaceName(face, font);
    font.lfHeight = PointSizeToHeight(hdc, nPointSize);
    if (screenDC) {
        ReleaseDC(nullptr, hdc);
    }

    m_hObject = CreateFontIndirectW(&font);
    m_nPixelHeight = -font.lfHeight;
    m_strFace = face;
    return m_hObject != nullptr;
}

void CFont::ReleaseNative()
{
    ::DeleteObject(static_cast<HGDIOBJ>(m_hObject));
}

bool CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    DeleteObject();
    if (pDC == nullptr || !pDC->IsValid()) {
        return false;
    }
    m_hObject = ::CreateCompatibleBitmap(pDC->GetState().hdc, nWidth, nHeight);
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    return m_hObject != nullptr;
}

void CBitmap::ReleaseNative()
{
    ::DeleteObject(static_cast<HGDIOBJ>(m_hObject));
    m_nWidth = 0;
    m_nHeight = 0;
}
