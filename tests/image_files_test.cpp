#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include <png.h>

#include "output/image_files.h"
#include "output/picture_file.h"
#include "render/headless_show.h"
#include "write_faults.h"

namespace {

std::uint32_t Field(const std::array<std::uint8_t, kBmpHeadersSize>& headers, int offset,
                    int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | headers[offset + i];
    }
    return value;
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/orvane_files_XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

TEST(BmpHeaders, EveryField)
{
    const auto headers = MakeBmpHeaders(1920, 1080);
    EXPECT_EQ(headers[0], 'B');
    EXPECT_EQ(headers[1], 'M');
    EXPECT_EQ(Field(headers, 2, 4), 6220854u);
    EXPECT_EQ(Field(headers, 6, 4), 0u);  // both reserved words
    EXPECT_EQ(Field(headers, 10, 4), 54u);
    EXPECT_EQ(Field(headers, 14, 4), 40u);
    EXPECT_EQ(Field(headers, 18, 4), 1920u);
    EXPECT_EQ(Field(headers, 22, 4), 1080u);
    EXPECT_EQ(Field(headers, 26, 2), 1u);
    EXPECT_EQ(Field(headers, 28, 2), 24u);
    EXPECT_EQ(Field(headers, 30, 4), 0u);
    EXPECT_EQ(Field(headers, 34, 4), 6220800u);
    EXPECT_EQ(Field(headers, 38, 4), 7874u);
    EXPECT_EQ(Field(headers, 42, 4), 7874u);
    EXPECT_EQ(Field(headers, 46, 4), 0u);
    EXPECT_EQ(Field(headers, 50, 4), 0u);
}

TEST(BmpHeaders, SizesWithRowPadding)
{
    EXPECT_EQ(Field(MakeBmpHeaders(1366, 768), 2, 4), 3148854u);
    EXPECT_EQ(Field(MakeBmpHeaders(1366, 768), 34, 4), 3148800u);
    EXPECT_EQ(Field(MakeBmpHeaders(1, 1), 2, 4), 58u);
}

TEST(FileNames, BaseIsThePathCutAtItsLastDot)
{
    EXPECT_EQ(FileBaseFromModulePath("D:\\Saver\\show.scr"), "D:\\Saver\\show");
    EXPECT_EQ(FileBaseFromModulePath("D:\\Saver\\show.v2.exe"), "D:\\Saver\\show.v2");
    EXPECT_EQ(FileBaseFromModulePath("/opt/orvane/show"), "/opt/orvane/show");
    EXPECT_EQ(FileBaseFromModulePath("D:\\my.dir\\show"), "D:\\my");
}

TEST(FileNames, SlotSuffixes)
{
    EXPECT_EQ(PictureFileName("D:\\Saver\\show", 7, false), "D:\\Saver\\show_7.bmp");
    EXPECT_EQ(PictureFileName("D:\\Saver\\show", 7, true), "D:\\Saver\\show_7_g.bmp");
    EXPECT_EQ(PictureFileName("D:\\my", 12, false), "D:\\my_12.bmp");
}

TEST(FileNames, NameBeyondThePathBufferIsRefused)
{
    // 999 characters and the terminating zero fill the 1000-byte buffer exactly.
    const std::string base(999 - 6, 'a');
    EXPECT_EQ(PictureFileName(base, 7, false)->size(), 999u);
    EXPECT_FALSE(PictureFileName(base + "a", 7, false));
    EXPECT_FALSE(PictureFileName(base, 7, true));
    EXPECT_FALSE(PictureFileName(base, 10, false));
}

// A 3 × 2 picture: two pixels of padding per row, set to show they are written as they are.
std::vector<std::uint8_t> SmallPicture()
{
    std::vector<std::uint8_t> picture(ImageSize(3, 2));
    for (std::size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return picture;
}

TEST(WriteBmpFile, HeadersThenThePixelBlockAsItStands)
{
    TempDir dir;
    const auto picture = SmallPicture();
    ASSERT_TRUE(WriteBmpFile(dir.Path() / "p.bmp", picture.data(), 3, 2));
    const auto file = ReadFile(dir.Path() / "p.bmp");
    const auto headers = MakeBmpHeaders(3, 2);
    ASSERT_EQ(file.size(), 54u + 24u);
    EXPECT_TRUE(std::equal(headers.begin(), headers.end(), file.begin()));
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), file.begin() + 54));

    EXPECT_FALSE(WriteBmpFile(dir.Path() / "missing" / "p.bmp", picture.data(), 3, 2));
}

TEST(WritePictureFile, PngKeepsThePixelsTheRightWayUp)
{
    TempDir dir;
    const auto picture = SmallPicture();
    const auto path = dir.Path() / "p.PNG";
    ASSERT_TRUE(WritePictureFile(path, picture.data(), 3, 2));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> topDown(3 * 3 * 2);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, topDown.data(), 0, nullptr));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 3; ++x) {
            const std::uint8_t* bgr = &picture[(1 - row) * 12 + 3 * x];  // bottom row first
            const std::uint8_t* rgb = &topDown[row * 9 + 3 * x];
            EXPECT_EQ(rgb[0], bgr[2]);
            EXPECT_EQ(rgb[1], bgr[1]);
            EXPECT_EQ(rgb[2], bgr[0]);
        }
    }
    EXPECT_FALSE(WritePictureFile(dir.Path() / "missing" / "p.png", picture.data(), 3, 2));
}

std::vector<std::string> FileNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteWholeFile, AFullDiskKeepsTheOlderFileAndLeavesNoPartOfTheNewOne)
{
    TempDir dir;
    const auto picture = SmallPicture();
    for (const char* name : {"p.bmp", "p.png"}) {
        const auto path = dir.Path() / name;
        ASSERT_TRUE(WritePictureFile(path, picture.data(), 3, 2));
        const auto older = ReadFile(path);
        const std::vector<std::uint8_t> black(picture.size(), 0);
        for (const long long bytesLeft : {0, 20, 60}) {
            const ScopedDiskSpace disk(bytesLeft);
            errno = 0;
            EXPECT_FALSE(WritePictureFile(path, black.data(), 3, 2)) << name << bytesLeft;
            EXPECT_EQ(errno, ENOSPC) << name << bytesLeft;
            EXPECT_EQ(ReadFile(path), older) << name << bytesLeft;
        }
    }
    EXPECT_EQ(FileNames(dir.Path()), (std::vector<std::string>{"p.bmp", "p.png"}));
}

class SaveImagesTest : public ::testing::Test {
protected:
    SaveImagesTest() : m_show(5, 3, 1)
    {
        CRenderContext& context = m_show.Context();
        context.m_strFileBase = (m_dir.Path() / "show").string();
        std::memset(context.m_pDisplay.get(), 0x11, ImageSize(5, 3));
        std::memset(context.m_pGrid.get(), 0x22, ImageSize(5, 3));
    }

    // The pixel block of a saved file, or nothing when there is no such file.
    std::vector<std::uint8_t> Pixels(const char* name) const
    {
        auto file = ReadFile(m_dir.Path() / name);
        EXPECT_TRUE(file.empty() || file.size() == 54 + ImageSize(5, 3)) << name;
        return file.empty() ? file : std::vector<std::uint8_t>(file.begin() + 54, file.end());
    }

    TempDir m_dir;
    HeadlessShow m_show;
};

TEST_F(SaveImagesTest, PictureAloneOrWithItsGrid)
{
    CRenderContext& context = m_show.Context();
    const std::vector<std::uint8_t> display(ImageSize(5, 3), 0x11);
    const std::vector<std::uint8_t> grid(ImageSize(5, 3), 0x22);

    context.SaveImages(7);
    EXPECT_EQ(Pixels("show_7.bmp"), display);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "show_7_g.bmp"));

    context.m_bShowGrid = 1;
    context.SaveImages(8);
    EXPECT_EQ(Pixels("show_8.bmp"), display);
    EXPECT_EQ(Pixels("show_8_g.bmp"), grid);

    // A later picture of slot 8 without the grid leaves the old companion file alone.
    context.m_bShowGrid = 0;
    std::memset(context.m_pDisplay.get(), 0x33, ImageSize(5, 3));
    context.SaveImages(8);
    EXPECT_EQ(Pixels("show_8.bmp"), std::vector<std::uint8_t>(ImageSize(5, 3), 0x33));
    EXPECT_EQ(Pixels("show_8_g.bmp"), grid);
}

TEST_F(SaveImagesTest, UnopenableOrOverlongNamesAreSkippedAndReported)
{
    CRenderContext& context = m_show.Context();
    context.m_bShowGrid = 1;
    context.m_strFileBase = (m_dir.Path() / "missing" / "show").string();
    context.SaveImages(1);  // nothing can be opened, nobody told: no crash, no file
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));

    std::vector<std::pair<std::string, int>> failures;
    context.m_fnSaveFailed = [&failures](const std::string& path, int error) {
        failures.emplace_back(path, error);
    };
    context.SaveImages(1);
    const std::string base = context.m_strFileBase;
    EXPECT_EQ(failures, (std::vector<std::pair<std::string, int>>{{base + "_1.bmp", ENOENT},
                                                                   {base + "_1_g.bmp", ENOENT}}));
    failures.clear();
    context.m_strFileBase = (m_dir.Path() / "show").string();
    {
        const ScopedDiskSpace disk(150);  // the picture (102 bytes), then not all of its grid
        context.SaveImages(2);
    }
    EXPECT_EQ(failures, (std::vector<std::pair<std::string, int>>{
                            {context.m_strFileBase + "_2_g.bmp", ENOSPC}}));
    EXPECT_EQ(FileNames(m_dir.Path()), std::vector<std::string>{"show_2.bmp"});
    context.m_fnSaveFailed = {};

    // A folder deep enough that the names reach the 1000-byte limit.
    std::filesystem::path deep = m_dir.Path();
    while (deep.string().size() < 780) {
        deep /= std::string(200, 'd');
    }
    std::filesystem::create_directories(deep);
    const auto baseOfLength = [&deep](std::size_t length) {
        return deep.string() + "/" + std::string(length - deep.string().size() - 1, 's');
    };
    context.m_bShowGrid = 0;
    context.m_strFileBase = baseOfLength(993);  // "_7.bmp" makes 999 characters: fits
    context.SaveImages(7);
    context.m_strFileBase = baseOfLength(994);  // one more: no cut name may be written
    context.m_bShowGrid = 1;
    context.m_fnSaveFailed = [&failures](const std::string& path, int error) {
        failures.emplace_back(path, error);
    };
    failures.clear();
    context.SaveImages(7);
    EXPECT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].second, ENAMETOOLONG);
    const auto files = std::distance(std::filesystem::directory_iterator(deep),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(files, 1);
    EXPECT_TRUE(std::filesystem::exists(baseOfLength(993) + "_7.bmp"));
}

}  // namespace
