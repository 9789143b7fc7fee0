// Files written whole on Windows: a temporary file made with CREATE_NEW, moved over the old one
// with MoveFileExW once complete, removed when anything fails.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "output/whole_file.h"
#include "platform/system.h"
#include "platform/win32/win32_api.h"

namespace {

class WholeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = std::filesystem::temp_directory_path() /
                   ("orvane whole 日本 " + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override
    {
        SetFileAttributesW(Path("p.bmp").c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(m_folder);
    }
    std::wstring Path(const char* name) const { return (m_folder / name).wstring(); }
    std::string Utf8(const char* name) const
    {
        return platform::win32::WideToUtf8(Path(name));
    }
    std::string Contents(const char* name) const
    {
        std::ifstream file(m_folder / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    std::size_t FileCount() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_folder),
                                                      std::filesystem::directory_iterator()));
    }
    static WriteResult Write(const std::string& path, const char* text, bool bComplete = true)
    {
        return WriteWholeFile(path, [&](std::FILE* pFile) {
            return std::fputs(text, pFile) >= 0 && bComplete;
        });
    }

    std::filesystem::path m_folder;
};

// Opens as the program does, but the first `taken` new files find their name taken.
int g_taken = 0;
std::FILE* OpenWithNamesTaken(const std::string& path, const char* mode)
{
    if (std::strchr(mode, 'x') != nullptr && g_taken-- > 0) {
        errno = EEXIST;
        return nullptr;
    }
    return platform::OpenFile(path, mode);
}

}  // namespace

TEST_F(WholeFileTest, ReplacedWholeOrNotAtAllAndNothingLeftBehind)
{
    ASSERT_TRUE(Write(Utf8("p.bmp"), "first"));
    ASSERT_TRUE(Write(Utf8("p.bmp"), "second"));
    EXPECT_EQ(Contents("p.bmp"), "second");

    EXPECT_FALSE(Write(Utf8("p.bmp"), "cut", false));  // as a full disk ends a write
    EXPECT_EQ(Contents("p.bmp"), "second");

    g_taken = 3;
    g_pOpenOutputFile = OpenWithNamesTaken;
    EXPECT_TRUE(Write(Utf8("p.bmp"), "third"));
    g_pOpenOutputFile = platform::OpenFile;
    EXPECT_EQ(Contents("p.bmp"), "third");

    // A file its user made read-only is refused, as writing it in place would be.
    SetFileAttributesW(Path("p.bmp").c_str(), FILE_ATTRIBUTE_READONLY);
    const WriteResult refused = Write(Utf8("p.bmp"), "fourth");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error, EACCES);
    EXPECT_EQ(Contents("p.bmp"), "third");
    EXPECT_EQ(FileCount(), 1u);
}
