// Also built into the Windows tests: there the SSSE3 path runs as the programs run it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/row_enlarging.h"

// A row enlarged by any factor a film uses, and shrunk beyond what a group of four pixels
// can gather: every frame pixel is its source pixel.
TEST(RowEnlarging, CopiesEachPixelsSourcePixel)
{
    std::vector<std::uint8_t> source(3 * 200 + RowEnlarging::kSourceSlack);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 11);
    }
    for (const double columnsPerPixel : {0.1, 0.5, 0.99, 1.0, 62.0 / 61, 4.0 / 3, 2.5}) {
        for (int count = 1; count <= 41; ++count) {
            std::vector<int> offsets;
            for (int d = 0; d < count; ++d) {
                offsets.push_back(3 * static_cast<int>((d + 0.5) * columnsPerPixel));
            }
            std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(count) +
                                          RowEnlarging::kTargetSlack, 0xEE);
            RowEnlarging(offsets).Enlarge(source.data(), row.data());
            for (int d = 0; d < count; ++d) {
                const int offset = offsets[static_cast<std::size_t>(d)];
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(row[static_cast<std::size_t>(3 * d + c)],
                              source[static_cast<std::size_t>(offset + c)])
                        << columnsPerPixel << " columns per pixel, " << count << " pixels, at "
                        << d;
                }
            }
        }
    }
}
