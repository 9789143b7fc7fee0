// Saving a finished zoom picture, and its grid picture while the grid is shown, into the
// files of its slot.
#include <cerrno>

#include "engine/render_context.h"
#include "output/image_files.h"

void CRenderContext::SaveImages(int slot)
{
    if (!m_bSaveImages) {
        return;
    }
    const bool bWithGrid = m_bShowGrid.load() != 0;
    const std::uint8_t* images[] = {m_pDisplay.get(), m_pGrid.get()};
    for (int k = 0; k < (bWithGrid ? 2 : 1); ++k) {
        const auto name = PictureFileName(m_strFileBase, slot, k == 1);
        errno = name ? 0 : ENAMETOOLONG;
        // A picture that cannot be saved does not stop the show; whoever runs it may.
        if ((!name || !WriteBmpFile(*name, images[k], m_nWidth, m_nHeight)) && m_fnSaveFailed) {
            m_fnSaveFailed(name.value_or(m_strFileBase), errno);
        }
    }
}
