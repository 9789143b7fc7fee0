#include "shell/win32/run_mode.h"

#include <gtest/gtest.h>

TEST(RunModeTest, AScrEndingInAnyCaseMeansScreenSaver)
{
    EXPECT_TRUE(IsScreenSaverPath("C:\\Windows\\System32\\Orvane.scr"));
    EXPECT_TRUE(IsScreenSaverPath("Z:\\opt\\saver\\ORVANE.SCR"));
    EXPECT_TRUE(IsScreenSaverPath("Orvane.Scr"));
    EXPECT_TRUE(IsScreenSaverPath(".scr"));
    EXPECT_TRUE(IsScreenSaverPath("Z:\\画像\\オルヴァン.scr"));
}

TEST(RunModeTest, EveryOtherNameMeansApplication)
{
    EXPECT_FALSE(IsScreenSaverPath("C:\\Program Files\\Orvane\\Orvane.exe"));
    EXPECT_FALSE(IsScreenSaverPath("C:\\saver\\Orvane.scr.exe"));
    EXPECT_FALSE(IsScreenSaverPath("C:\\saver.scr\\Orvane.exe"));
    EXPECT_FALSE(IsScreenSaverPath("C:\\saver\\Orvanescr"));
    EXPECT_FALSE(IsScreenSaverPath("C:\\saver\\Orvane.sc"));
    EXPECT_FALSE(IsScreenSaverPath("scr"));
    EXPECT_FALSE(IsScreenSaverPath(""));
}

namespace {

constexpr const char* kSaver = "C:\\Windows\\System32\\Orvane.scr";

Launch Of(RunMode mode, std::uintptr_t window = 0)
{
    return {mode, window};
}

}  // namespace

TEST(RunModeTest, AScreenSaverDoesWhatWindowsAsksForInEitherSpelling)
{
    EXPECT_EQ(ParseLaunch(kSaver, "/s"), Of(RunMode::ScreenSaver));
    EXPECT_EQ(ParseLaunch(kSaver, "/S"), Of(RunMode::ScreenSaver));
    EXPECT_EQ(ParseLaunch(kSaver, "  -s"), Of(RunMode::ScreenSaver));
    EXPECT_EQ(ParseLaunch(kSaver, "/p 1246790"), Of(RunMode::Preview, 1246790));
    EXPECT_EQ(ParseLaunch(kSaver, "-P:65600"), Of(RunMode::Preview, 65600));
    EXPECT_EQ(ParseLaunch(kSaver, "/p\t\t4294967295 extra"), Of(RunMode::Preview, 4294967295u));
    EXPECT_EQ(ParseLaunch(kSaver, "/c:330426"), Of(RunMode::Application, 330426));
    EXPECT_EQ(ParseLaunch(kSaver, "/C 330426"), Of(RunMode::Application, 330426));
    EXPECT_EQ(ParseLaunch(kSaver, "/c"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch(kSaver, "/a 330426"), Of(RunMode::None));
}

TEST(RunModeTest, WithoutAnUsableRequestAScreenSaverOpensItsSettingsOrEnds)
{
    // Configure from the file's context menu passes nothing.
    EXPECT_EQ(ParseLaunch(kSaver, ""), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch(kSaver, "   "), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch(kSaver, "/x"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch(kSaver, "s"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch(kSaver, "/"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch(kSaver, "/c:abc"), Of(RunMode::Application));
    // A preview without a window to show in has nothing to do.
    EXPECT_EQ(ParseLaunch(kSaver, "/p"), Of(RunMode::None));
    EXPECT_EQ(ParseLaunch(kSaver, "/p 0"), Of(RunMode::None));
    EXPECT_EQ(ParseLaunch(kSaver, "/p 12ab"), Of(RunMode::None));
    EXPECT_EQ(ParseLaunch(kSaver, "/p -5"), Of(RunMode::None));
    EXPECT_EQ(ParseLaunch(kSaver, "/p 99999999999999999999999"), Of(RunMode::None));
}

TEST(RunModeTest, UnderAnyOtherNameTheArgumentsAreIgnored)
{
    EXPECT_EQ(ParseLaunch("C:\\Orvane\\Orvane.exe", "/s"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch("C:\\Orvane\\Orvane.exe", "/p 1246790"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch("C:\\Orvane\\Orvane.exe", "/c:330426"), Of(RunMode::Application));
    EXPECT_EQ(ParseLaunch("C:\\Orvane\\Orvane.exe", "/a"), Of(RunMode::Application));
}
