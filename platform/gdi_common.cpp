// The parts of the drawing API that do not depend on the backend.
#include "platform/gdi.h"

BitmapInfoHeader MakeDibHeader(int width, int height)
{
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    return header;
}

// The base cannot release the native object: by the time it runs, the subclass that knows
// the object's kind is gone. Every subclass destructor therefore calls DeleteObject.
CGdiObject::~CGdiObject() = default;

bool CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr) {
        return false;
    }
    ReleaseNative();
    m_hObject = nullptr;
    return true;
}

CPen::~CPen() { DeleteObject(); }
CBrush::~CBrush() { DeleteObject(); }
CFont::~CFont() { DeleteObject(); }
CBitmap::~CBitmap() { DeleteObject(); }
