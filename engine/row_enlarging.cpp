#include "engine/row_enlarging.h"

#include <cstring>
#include <utility>

#include "platform/cpu_features.h"

RowEnlarging::RowEnlarging(std::vector<int> offsets) : m_offsets(std::move(offsets))
{
    if (!platform::ProcessorFeatures().bSsse3) {
        return;
    }
    m_shuffles.resize(m_offsets.size() / 4);
    for (std::size_t group = 0; group < m_shuffles.size(); ++group) {
        const int first = m_offsets[4 * group];
        // A frame shows its rectangle enlarged, or at about its size, so a group's pixels
        // lie within 16 bytes from its first; a row shrunk further is left to plain copies.
        for (std::size_t pixel = 4 * group; pixel < 4 * group + 4; ++pixel) {
            if (m_offsets[pixel] < first || m_offsets[pixel] - first + 3 > 16) {
                m_shuffles.clear();
                return;
            }
        }
        std::array<std::uint8_t, 16>& shuffle = m_shuffles[group];
        shuffle.fill(0x80);  // zeros past the group's 12 bytes, overwritten by the next group
        for (int byte = 0; byte < 12; ++byte) {
            shuffle[static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(
                m_offsets[4 * group + static_cast<std::size_t>(byte / 3)] - first + byte % 3);
        }
    }
}

void RowEnlarging::Enlarge(const std::uint8_t* pSource, std::uint8_t* pTarget) const
{
    std::size_t d = 0;
    if (!m_shuffles.empty()) {
        EnlargeRowSsse3(pSource, m_offsets.data(), m_shuffles.data(), m_offsets.size(),
                        pTarget);
        d = 4 * m_shuffles.size();
    }
    // Each pixel as one 4-byte word; the next pixel's copy overwrites the spare byte.
    for (; d < m_offsets.size(); ++d) {
        std::memcpy(pTarget + 3 * d, pSource + m_offsets[d], 4);
    }
}
