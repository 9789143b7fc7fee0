// Pens, brushes, fonts and bitmaps of the software backend.
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "platform/soft/dc_state.h"
#include "platform/soft/font_engine.h"
#include "platform/soft/surface.h"

namespace {

// The em height the system picks when a point font comes out 0 pixels high.
constexpr int kDefaultPixelHeight = 12;

}  // namespace

// Pens and brushes have no resource beyond their members: the object is its own handle.
bool CPen::CreatePen(int nWidth, ColorRef crColor)
{
    DeleteObject();
    m_nWidth = nWidth;
    m_crColor = crColor;
    m_hObject = this;
    return true;
}

void CPen::ReleaseNative() {}

bool CBrush::CreateSolidBrush(ColorRef crColor)
{
    DeleteObject();
    m_crColor = crColor;
    m_hObject = this;
    return true;
}

void CBrush::ReleaseNative() {}

// Resolved faces are cached for the life of the process; the handle only borrows one.
bool CFont::CreatePointFont(int nPointSize, const std::string& face, CDC* pDC)
{
    DeleteObject();
    const int dpi = pDC != nullptr ? pDC->GetVerticalDpi() : soft::kScreenDpi;
    const int pixelHeight = std::abs(nPointSize * dpi / 720);
    const soft::ResolvedFont* resolved = soft::ResolveFont(face);
    if (resolved == nullptr) {
        return false;
    }
    m_nPixelHeight = pixelHeight != 0 ? pixelHeight : kDefaultPixelHeight;
    m_strFace = face;
    m_hObject = const_cast<soft::ResolvedFont*>(resolved);
    return true;
}

void CFont::ReleaseNative() {}

bool CBitmap::CreateCompatibleBitmap(CDC* /*pDC*/, int nWidth, int nHeight)
{
    DeleteObject();
    if (nWidth < 0 || nHeight < 0) {
        return false;
    }
    try {
        m_hObject = new soft::Surface(nWidth, nHeight);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    return true;
}

void CBitmap::ReleaseNative()
{
    delete static_cast<soft::Surface*>(m_hObject);
    m_nWidth = 0;
    m_nHeight = 0;
}

namespace soft {

Surface* BitmapSurface(const CBitmap& bitmap)
{
    return static_cast<Surface*>(bitmap.GetSafeHandle());
}

const ResolvedFont* FontFaceOf(const CFont& font)
{
    return static_cast<const ResolvedFont*>(font.GetSafeHandle());
}

}  // namespace soft
