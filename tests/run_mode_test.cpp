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
