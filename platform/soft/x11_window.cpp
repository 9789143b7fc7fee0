#include "platform/soft/x11_window.h"

#include <X11/Xatom.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Set while a request that may fail is checked: the default handler would end the program.
bool g_bRequestFailed = false;

int NoteFailure(Display* /*display*/, XErrorEvent* /*event*/)
{
    g_bRequestFailed = true;
    return 0;
}

// Runs request and waits for the server's answer; false when it failed.
template <typename Request>
bool SucceedsOnServer(Display* display, Request request)
{
    XSync(display, False);
    g_bRequestFailed = false;
    const auto previous = XSetErrorHandler(NoteFailure);
    request();
    XSync(display, False);
    XSetErrorHandler(previous);
    return !g_bRequestFailed;
}

// The byte order of the common 32-bit true-colour layout, which the fast copy writes.
bool IsPlainTrueColour(const XImage& image)
{
    return image.bits_per_pixel == 32 && image.red_mask == 0xFF0000 &&
           image.green_mask == 0x00FF00 && image.blue_mask == 0x0000FF &&
           image.byte_order == LSBFirst;
}

// An 8-bit channel value placed in a visual's colour mask.
unsigned long ChannelBits(unsigned long mask, std::uint8_t value)
{
    if (mask == 0) {
        return 0;
    }
    const int shift = __builtin_ctzl(mask);
    const int bits = __builtin_popcountl(mask);
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                           : static_cast<unsigned long>(value) >> (8 - bits);
    return (scaled << shift) & mask;
}

}  // namespace

CX11Wnd::CX11Wnd(Display* display, Window window, bool bOwned)
    : m_display(display), m_window(window), m_bOwned(bOwned)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_display, m_window, &attributes);
    m_visual = attributes.visual;
    m_depth = attributes.depth;
    m_gc = XCreateGC(m_display, m_window, 0, nullptr);
    m_deleteAtom = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    ResizeSurface(attributes.width, attributes.height);
}

std::unique_ptr<CX11Wnd> CX11Wnd::Create(Display* display, const X11WindowPlacement& placement,
                                         const char* title)
{
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask |
                            ButtonReleaseMask;
    const Window window = XCreateWindow(
        display, RootWindow(display, screen), placement.left, placement.top,
        static_cast<unsigned>(placement.width), static_cast<unsigned>(placement.height), 0,
        CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, window, title);

    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = placement.left;
    hints.y = placement.top;
    hints.width = placement.width;
    hints.height = placement.height;
    XSetWMNormalHints(display, window, &hints);
    if (placement.bFullScreen) {
        Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM,
                        32, PropModeReplace, reinterpret_cast<unsigned char*>(&fullScreen), 1);
    }
    std::unique_ptr<CX11Wnd> wnd(new CX11Wnd(display, window, true));
    Atom deleteAtom = wnd->m_deleteAtom;
    XSetWMProtocols(display, window, &deleteAtom, 1);
    return wnd;
}

void CX11Wnd::Map()
{
    XMapRaised(m_display, m_window);
}

std::unique_ptr<CX11Wnd> CX11Wnd::Adopt(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!SucceedsOnServer(display,
                          [&] { XGetWindowAttributes(display, window, &attributes); })) {
        return nullptr;
    }
    // Only what the owner's changes to the window: its input stays with the owner.
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    return std::unique_ptr<CX11Wnd>(new CX11Wnd(display, window, false));
}

CX11Wnd::~CX11Wnd()
{
    DestroyImage();
    XFreeGC(m_display, m_gc);
    if (m_bOwned) {
        XDestroyWindow(m_display, m_window);
    }
    XFlush(m_display);
}

CSize CX11Wnd::QueryXSize() const
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_display, m_window, &attributes);
    return CSize{attributes.width, attributes.height};
}

void CX11Wnd::ResizeSurface(int width, int height)
{
    DestroyImage();
    SetSize(width, height);
    CreateImage();
    m_nPresented = DrawCount() - 1;  // the black surface is news too
}

void CX11Wnd::CreateImage()
{
    const auto width = static_cast<unsigned>(GetSurface().Width());
    const auto height = static_cast<unsigned>(GetSurface().Height());
    if (width == 0 || height == 0) {
        return;
    }
    if (XShmQueryExtension(m_display)) {
        m_image = XShmCreateImage(m_display, m_visual, static_cast<unsigned>(m_depth), ZPixmap,
                                  nullptr, &m_shm, width, height);
        if (m_image != nullptr) {
            m_shm.shmid = shmget(IPC_PRIVATE,
                                 static_cast<std::size_t>(m_image->bytes_per_line) * height,
                                 IPC_CREAT | 0600);
            m_shm.shmaddr = m_shm.shmid >= 0 ? static_cast<char*>(shmat(m_shm.shmid, nullptr, 0))
                                             : reinterpret_cast<char*>(-1);
            m_image->data = m_shm.shmaddr;
            m_shm.readOnly = False;
            // A server on another machine cannot reach the segment: the attach fails.
            m_bShared = m_shm.shmaddr != reinterpret_cast<char*>(-1) &&
                        SucceedsOnServer(m_display, [&] { XShmAttach(m_display, &m_shm); });
            if (m_shm.shmid >= 0) {
                // Freed once both sides have let go of it.
                shmctl(m_shm.shmid, IPC_RMID, nullptr);
            }
            if (!m_bShared) {
                if (m_shm.shmaddr != reinterpret_cast<char*>(-1)) {
                    shmdt(m_shm.shmaddr);
                }
                m_image->data = nullptr;
                XDestroyImage(m_image);
                m_image = nullptr;
            }
        }
    }
    if (m_image == nullptr) {
        m_image = XCreateImage(m_display, m_visual, static_cast<unsigned>(m_depth), ZPixmap, 0,
                               nullptr, width, height, 32, 0);
        if (m_image != nullptr) {
            m_image->data = static_cast<char*>(
                std::calloc(static_cast<std::size_t>(m_image->bytes_per_line), height));
        }
    }
    if (m_image == nullptr || m_image->data == nullptr) {
        DestroyImage();
        throw std::bad_alloc();
    }
}

void CX11Wnd::DestroyImage()
{
    if (m_image == nullptr) {
        return;
    }
    if (m_bShared) {
        XShmDetach(m_display, &m_shm);
        XSync(m_display, False);
        shmdt(m_shm.shmaddr);
        m_image->data = nullptr;
        m_bShared = false;
    }
    XDestroyImage(m_image);  // frees the data of an unshared image
    m_image = nullptr;
}

void CX11Wnd::CopySurfaceToImage()
{
    const soft::Surface& surface = GetSurface();
    const int width = surface.Width();
    const bool bPlain = IsPlainTrueColour(*m_image);
    for (int y = 0; y < surface.Height(); ++y) {
        const std::uint8_t* source = surface.Row(y);
        if (bPlain) {
            auto* target = reinterpret_cast<std::uint8_t*>(m_image->data) +
                           static_cast<std::size_t>(y) * m_image->bytes_per_line;
            for (int x = 0; x < width; ++x, source += 3, target += 4) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
                target[3] = 0;
            }
            continue;
        }
        for (int x = 0; x < width; ++x, source += 3) {
            XPutPixel(m_image, x, y,
                      ChannelBits(m_image->red_mask, source[2]) |
                          ChannelBits(m_image->green_mask, source[1]) |
                          ChannelBits(m_image->blue_mask, source[0]));
        }
    }
}

void CX11Wnd::Present(bool bForce)
{
    const unsigned drawn = DrawCount();
    if (m_image == nullptr || (!bForce && drawn == m_nPresented)) {
        return;
    }
    m_nPresented = drawn;
    CopySurfaceToImage();
    const auto width = static_cast<unsigned>(m_image->width);
    const auto height = static_cast<unsigned>(m_image->height);
    if (m_bShared) {
        XShmPutImage(m_display, m_window, m_gc, m_image, 0, 0, 0, 0, width, height, False);
        // The segment is read by the server: it must be done before the next copy into it.
        XSync(m_display, False);
    } else {
        XPutImage(m_display, m_window, m_gc, m_image, 0, 0, 0, 0, width, height);
        XFlush(m_display);
    }
}
