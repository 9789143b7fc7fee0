#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/image_layout.h"
#include "shell/x11/icon_images.h"
#include "shell/x11/orvane_icon.h"

namespace {

// The built-in bytes are the Windows program's icon file.
TEST(IconImages, TheWindowsIconsTrueColourImagesInTheWindowPropertysOrder)
{
    std::ifstream file(ORVANE_ICON_FILE, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_EQ(bytes, std::vector<std::uint8_t>(kOrvaneIcon, kOrvaneIcon + kOrvaneIconSize));

    const std::vector<IconImage> images = ReadIconImages(bytes.data(), bytes.size());
    ASSERT_EQ(images.size(), 3u);
    std::size_t length = 0;
    for (const IconImage& image : images) {
        length += 2 + static_cast<std::size_t>(image.size) * image.size;
    }
    EXPECT_EQ(images[0].size, 48);
    const std::vector<unsigned long> property = NetWmIcon(images);
    ASSERT_EQ(property.size(), length);
    // The property's rows go down from the top, the file's up from the bottom.
    const IconImage& big = images[0];
    const std::uint8_t* top = big.pixels.data() + ImageStride(big.size) * (big.size - 1);
    EXPECT_EQ(property[0], 48u);
    EXPECT_EQ(property[2], 0xFF000000ul | top[2] << 16 | top[1] << 8 | top[0]);

    // A cut file gives what it holds whole, and nothing that is not an icon file.
    EXPECT_EQ(ReadIconImages(bytes.data(), bytes.size() * 2 / 3).size(), 1u);
    EXPECT_TRUE(ReadIconImages(bytes.data() + 1, bytes.size() - 1).empty());
}

}  // namespace
