// Device contexts of the software backend: state, selections, and the DCs of windows.
#include <utility>

#include "platform/soft/dc_state.h"
#include "platform/soft/headless_window.h"

namespace {

// Selecting an empty object fails and leaves the DC as it was, as in GDI.
template <class Object>
Object* Swap(Object*& selected, Object* object)
{
    if (object == nullptr || object->IsEmpty()) {
        return nullptr;
    }
    Object* previous = selected;
    selected = object;
    return previous;
}

}  // namespace

CDC::State::State()
{
    defaultPen.CreatePen(1, MakeColorRef(0, 0, 0));
    defaultBrush.CreateSolidBrush(MakeColorRef(255, 255, 255));
    defaultFont.CreatePointFont(120, "Arial", nullptr);
    defaultBitmap.CreateCompatibleBitmap(nullptr, 1, 1);
}

soft::Surface* CDC::State::Target() const
{
    if (!bValid) {
        return nullptr;
    }
    return bMemory ? soft::BitmapSurface(*pBitmap) : pWindowSurface;
}

CDC::CDC() : m_pState(std::make_unique<State>()) {}

CDC::~CDC() = default;

bool CDC::CreateCompatibleDC(CDC* /*pDC*/)
{
    m_pState->bValid = true;
    m_pState->bMemory = true;
    m_pState->pWindowSurface = nullptr;
    m_pState->pWindow = nullptr;
    return true;
}

bool CDC::IsValid() const { return m_pState->bValid; }

ColorRef CDC::SetTextColor(ColorRef color) { return std::exchange(m_pState->crText, color); }
ColorRef CDC::SetBkColor(ColorRef color) { return std::exchange(m_pState->crBk, color); }
BkMode CDC::SetBkMode(BkMode mode) { return std::exchange(m_pState->bkMode, mode); }
RasterOp CDC::SetROP2(RasterOp op) { return std::exchange(m_pState->rop, op); }
int CDC::GetVerticalDpi() const { return soft::kScreenDpi; }

CPen* CDC::SelectObject(CPen* pPen) { return Swap(m_pState->pPen, pPen); }
CBrush* CDC::SelectObject(CBrush* pBrush) { return Swap(m_pState->pBrush, pBrush); }
CFont* CDC::SelectObject(CFont* pFont) { return Swap(m_pState->pFont, pFont); }

// Only memory DCs hold bitmaps.
CBitmap* CDC::SelectObject(CBitmap* pBitmap)
{
    return m_pState->bMemory ? Swap(m_pState->pBitmap, pBitmap) : nullptr;
}

namespace {

// Windows that are not memory surfaces have nothing to draw into; their DCs still measure.
void AttachWindow(CDC::State& state, CWnd* pWnd)
{
    state.bValid = true;
    state.pWindow = dynamic_cast<CHeadlessWnd*>(pWnd);
    state.pWindowSurface = state.pWindow != nullptr ? &state.pWindow->GetSurface() : nullptr;
}

}  // namespace

soft::DrawingScope::~DrawingScope()
{
    if (m_pWindow != nullptr) {
        m_pWindow->NoteDrawn();
    }
}

CClientDC::CClientDC(CWnd* pWnd) { AttachWindow(*m_pState, pWnd); }
CClientDC::~CClientDC() = default;

// A headless window has no frame: the whole window is its client area.
CWindowDC::CWindowDC(CWnd* pWnd) { AttachWindow(*m_pState, pWnd); }
CWindowDC::~CWindowDC() = default;
