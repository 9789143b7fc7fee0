// Saving a finished zoom picture, and its grid picture while the grid is shown, into the
// files of its slot.
#include <cerrno>
#include <optional>

#include "engine/render_context.h"
#include "output/image_files.h"

void CRenderContext::SaveImages(int slot)
{
    if (!m_bSaveImages) {
        return;
    }
    // Writes cut short by an earlier run (killed, or its machine gone down) left their
    // temporary files: the first save into a folder clears them away.
    if (const std::string folder = FolderOf(m_strFileBase); folder != m_sweptFolder) {
        RemoveStaleTemporaries(folder);
        m_sweptFolder = folder;
    }
    const bool bWithGrid = m_bShowGrid.load() != 0;
    const std::uint8_t* images[] = {m_pDisplay.get(), m_pGrid.get()};
    for (int k = 0; k < (bWithGrid ? 2 : 1); ++k) {
        const auto name = PictureFileName(m_strFileBase, slot, k == 1);
        // A middle click while the picture is written recolours it once its file is complete.
        std::optional<DisplayHold> hold;
        if (images[k] == m_pDisplay.get()) {
            hold.emplace(*this);
        }
        const WriteResult result = name ? WriteBmpFile(*name, images[k], m_nWidth, m_nHeight)
                                        : WriteResult::Failure(ENAMETOOLONG);
        hold.reset();
        // A picture that cannot be saved does not stop the show; whoever runs it may.
        if (!result && m_fnSaveFailed) {
            m_fnSaveFailed(name.value_or(m_strFileBase), result.error);
        }
    }
}
