#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
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

// A user of no files of the test's: the one a test that runs as root writes as.
constexpr uid_t kNobody = 65534;

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

// What a write meets at its name stays what it was: a link stays a link and its target gets
// the picture, a private file stays private, a pipe is written through, and a file its user
// may not write is refused as a plain write refuses it.
TEST(WriteWholeFile, WhatIsAtTheNameStaysWhatItWas)
{
    TempDir dir;
    const auto picture = SmallPicture();
    const auto target = dir.Path() / "target.bmp";
    std::ofstream(target) << "older";
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write);
    std::filesystem::create_symlink("target.bmp", dir.Path() / "link.bmp");
    ASSERT_TRUE(WriteBmpFile(dir.Path() / "link.bmp", picture.data(), 3, 2));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.bmp"));
    EXPECT_EQ(ReadFile(target).size(), 54u + picture.size());
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // The pipe's far end is this test, which holds it open for both sides, so that nothing
    // waits for the other; the picture fits in the pipe.
    const auto pipe = dir.Path() / "pipe.bmp";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int pipeEnd = open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    EXPECT_TRUE(WriteBmpFile(pipe, picture.data(), 3, 2));
    std::vector<std::uint8_t> piped(100);
    piped.resize(static_cast<std::size_t>(std::max(read(pipeEnd, piped.data(), piped.size()), 0L)));
    close(pipeEnd);
    EXPECT_EQ(piped, ReadFile(target));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));

    // As a user who may not write the file: the folder is writable, the file read-only.
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setresuid(kNobody, kNobody, kNobody) != 0) {
                std::exit(2);
            }
            const WriteResult result = WriteBmpFile(target, picture.data(), 3, 2);
            std::exit(!result && result.error == EACCES && result.step.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(target).size(), 54u + picture.size());
    EXPECT_EQ(FileNames(dir.Path()),
              (std::vector<std::string>{"link.bmp", "pipe.bmp", "target.bmp"}));
}

TEST(WriteWholeFile, ADeviceIsWrittenThroughNotReplaced)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "making a device file needs root";
    }
    TempDir dir;
    const auto device = dir.Path() / "null";
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);  // as /dev/null
    const auto picture = SmallPicture();
    EXPECT_TRUE(WriteBmpFile(device, picture.data(), 3, 2));
    EXPECT_TRUE(std::filesystem::is_character_file(device));
    EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"null"});
}

// Opens output files as the real opener does, failing the first `failures` temporary files
// (mode "wbx") with `error`.
class ScopedTemporaryFailures {
public:
    ScopedTemporaryFailures(int failures, int error) : m_pPrevious(g_pOpenOutputFile)
    {
        s_failures = failures;
        s_error = error;
        g_pOpenOutputFile = Open;
    }
    ~ScopedTemporaryFailures() { g_pOpenOutputFile = m_pPrevious; }

private:
    static std::FILE* Open(const std::string& path, const char* mode)
    {
        if (std::string(mode) == "wbx" && s_failures-- > 0) {
            errno = s_error;
            return nullptr;
        }
        return std::fopen(path.c_str(), mode);
    }
    static inline int s_failures = 0;
    static inline int s_error = 0;
    OutputFileOpener m_pPrevious;
};

TEST(WriteWholeFile, TakenTemporaryNamesAreSkippedAndAFailureSaysWhatFailed)
{
    TempDir dir;
    const auto picture = SmallPicture();
    const auto path = dir.Path() / "p.bmp";
    {
        const ScopedTemporaryFailures taken(5, EEXIST);  // left behind by earlier writers
        EXPECT_TRUE(WriteBmpFile(path, picture.data(), 3, 2));
    }
    const auto written = ReadFile(path);
    {
        const ScopedTemporaryFailures taken(INT_MAX, EEXIST);
        const WriteResult result = WriteBmpFile(path, picture.data(), 3, 2);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.Reason(), "every name tried for a temporary file in " +
                                       dir.Path().string() + " is taken: File exists");
    }
    {
        // A folder that takes no new files: a file there that may be written still is, in
        // place, and a new one is refused with the reason.
        const ScopedTemporaryFailures refused(INT_MAX, EACCES);
        std::ofstream(path) << "older";
        EXPECT_TRUE(WriteBmpFile(path, picture.data(), 3, 2));
        const WriteResult result = WriteBmpFile(dir.Path() / "new.bmp", picture.data(), 3, 2);
        EXPECT_EQ(result.Reason(), "cannot create a temporary file in " + dir.Path().string() +
                                       ": Permission denied");
    }
    EXPECT_EQ(ReadFile(path), written);
    EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"p.bmp"});
}

TEST(SameOutputFile, ByAnyNameButNeverAPipe)
{
    TempDir dir;
    const auto file = [&dir](const char* name) { return (dir.Path() / name).string(); };
    std::ofstream(file("a.bmp")) << "a";
    std::ofstream(file("b.bmp")) << "b";
    std::filesystem::create_hard_link(file("a.bmp"), file("hard.bmp"));
    std::filesystem::create_symlink("a.bmp", file("soft.bmp"));
    std::filesystem::create_symlink("new.bmp", file("dangling.bmp"));
    std::filesystem::create_directory(file("sub"));
    ASSERT_EQ(mkfifo(file("pipe").c_str(), 0600), 0);

    EXPECT_TRUE(SameOutputFile(file("a.bmp"), file("a.bmp")));
    EXPECT_TRUE(SameOutputFile(file("a.bmp"), file("hard.bmp")));
    EXPECT_TRUE(SameOutputFile(file("soft.bmp"), file("hard.bmp")));
    EXPECT_TRUE(SameOutputFile(file("dangling.bmp"), file("sub/../new.bmp")));
    EXPECT_FALSE(SameOutputFile(file("a.bmp"), file("b.bmp")));
    EXPECT_FALSE(SameOutputFile(file("new.bmp"), file("other.bmp")));
    EXPECT_FALSE(SameOutputFile(file("pipe"), file("pipe")));
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

TEST_F(SaveImagesTest, TheFirstSaveIntoAFolderRemovesTheTemporariesOfEndedProcesses)
{
    const pid_t ended = fork();
    if (ended == 0) {
        _exit(0);
    }
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    const auto temporary = [](pid_t owner, int n) {
        return ".orvane-" + std::to_string(owner) + "-" + std::to_string(n) + ".tmp";
    };
    const std::vector<std::string> kept{temporary(getpid(), 7), temporary(1, 0), ".orvane-x.tmp",
                                        "notes.tmp"};
    for (const std::string& name : kept) {
        std::ofstream(m_dir.Path() / name) << "kept";
    }
    std::ofstream(m_dir.Path() / temporary(ended, 3)) << "cut short";
    m_show.Context().SaveImages(1);
    std::vector<std::string> expected = kept;
    expected.push_back("show_1.bmp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FileNames(m_dir.Path()), expected);
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
