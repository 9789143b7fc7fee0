// Device contexts and drawing objects: the small part of a GDI-style graphics API that the
// engine and the shell draw with. One declaration, one implementation per backend
// (platform/soft for memory surfaces, platform/win32 over the real GDI), chosen at build time.
//
// Coordinates are device pixels with y growing downwards, as in GDI. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CWnd;

// A colour as 0x00BBGGRR.
using ColorRef = std::uint32_t;

constexpr ColorRef MakeColorRef(int red, int green, int blue)
{
    return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) |
           (static_cast<ColorRef>(blue) << 16);
}

struct CSize {
    int cx = 0;
    int cy = 0;
};

// How text cells are filled behind the glyphs.
enum class BkMode { Transparent = 1, Opaque = 2 };

// How a pen combines with the pixels it covers.
enum class RasterOp { CopyPen = 13, XorPen = 7 };

// The 40-byte information header of a device-independent bitmap, field for field.
struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 24;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BitmapInfoHeader must match the DIB layout");

// A 24-bit bottom-up header of width × height, the only kind of DIB the program uses.
BitmapInfoHeader MakeDibHeader(int width, int height);

// Base of the drawing objects. An object is "empty" until one of its Create functions
// succeeds; DeleteObject returns it to empty. The native handle belongs to the backend.
class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject();

    bool DeleteObject();
    bool IsEmpty() const { return m_hObject == nullptr; }
    void* GetSafeHandle() const { return m_hObject; }

protected:
    // Releases the native object; each subclass knows its kind.
    virtual void ReleaseNative() = 0;
    void* m_hObject = nullptr;
};

class CPen : public CGdiObject {
public:
    ~CPen() override;
    // A solid pen; width 0 draws one pixel wide.
    bool CreatePen(int nWidth, ColorRef crColor);
    int GetWidth() const { return m_nWidth; }
    ColorRef GetColor() const { return m_crColor; }

private:
    void ReleaseNative() override;
    int m_nWidth = 0;
    ColorRef m_crColor = 0;
};

class CBrush : public CGdiObject {
public:
    ~CBrush() override;
    bool CreateSolidBrush(ColorRef crColor);
    ColorRef GetColor() const { return m_crColor; }

private:
    void ReleaseNative() override;
    ColorRef m_crColor = 0;
};

class CDC;

class CFont : public CGdiObject {
public:
    ~CFont() override;
    // nPointSize is in tenths of a point; the character height in pixels is
    // nPointSize × (the DC's vertical dots per inch) / 720, as the framework computes it.
    bool CreatePointFont(int nPointSize, const std::string& face, CDC* pDC);
    int GetPixelHeight() const { return m_nPixelHeight; }
    const std::string& GetFaceName() const { return m_strFace; }

private:
    void ReleaseNative() override;
    int m_nPixelHeight = 0;
    std::string m_strFace;
};

class CBitmap : public CGdiObject {
public:
    ~CBitmap() override;
    // A bitmap in the colour format of pDC, uninitialised or black.
    bool CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }

private:
    void ReleaseNative() override;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// A device context. Select functions return the object that was selected before, which
// the caller selects back when its job is done.
class CDC {
public:
    CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    // Turns this empty DC into a memory DC compatible with pDC (null: the screen).
    bool CreateCompatibleDC(CDC* pDC);
    bool IsValid() const;

    ColorRef SetTextColor(ColorRef color);
    ColorRef SetBkColor(ColorRef color);
    BkMode SetBkMode(BkMode mode);
    RasterOp SetROP2(RasterOp op);
    int GetVerticalDpi() const;

    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);
    CFont* SelectObject(CFont* pFont);
    CBitmap* SelectObject(CBitmap* pBitmap);

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    // Outline with the current pen and fill with the current brush; right and bottom
    // are exclusive.
    void Rectangle(int left, int top, int right, int bottom);

    // Draws the text with its cell's top left corner at (x, y).
    void TextOut(int x, int y, const std::string& text);
    // cx: the advance width of the text; cy: the font's full line height.
    CSize GetTextExtent(const std::string& text);

    // Reads nLines rows of the bitmap, from nStartRow counted from the bottom, into a
    // 24-bit bottom-up buffer described by the header. Returns the rows read.
    int GetDIBits(CBitmap* pBitmap, int nStartRow, int nLines, void* pBits,
                  const BitmapInfoHeader& header);
    // Copies a 24-bit bottom-up DIB into the DC. Returns the rows copied.
    int StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc,
                      int nSrcWidth, int nSrcHeight, const void* pBits,
                      const BitmapInfoHeader& header);

    struct State;
    State& GetState() { return *m_pState; }

protected:
    std::unique_ptr<State> m_pState;
};

// The client area of a window, for the life of the object.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;
};

// The whole window, for the life of the object (the zoom transition draws through one).
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* pWnd);
    ~CWindowDC() override;
};
