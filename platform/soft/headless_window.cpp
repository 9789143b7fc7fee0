#include "platform/soft/headless_window.h"

#include <cstring>

#include "platform/image_layout.h"

CHeadlessWnd::CHeadlessWnd(int width, int height) : m_surface(width, height) {}

CSize CHeadlessWnd::GetClientSize() const
{
    return CSize{m_surface.Width(), m_surface.Height()};
}

void CHeadlessWnd::SetSize(int width, int height)
{
    m_surface.Resize(width, height);
}

std::vector<std::uint8_t> CHeadlessWnd::CopyImage() const
{
    const int width = m_surface.Width();
    const int height = m_surface.Height();
    std::vector<std::uint8_t> image(ImageSize(width, height), 0);
    for (int row = 0; row < height; ++row) {
        std::memcpy(image.data() + static_cast<std::size_t>(row) * ImageStride(width),
                    m_surface.Row(height - 1 - row), 3 * static_cast<std::size_t>(width));
    }
    return image;
}
