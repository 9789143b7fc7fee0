#include <gtest/gtest.h>

#include "shell/x11/picture_folder.h"
#include "shell/x11/show_options.h"

namespace {

TEST(ShowOptions, DefaultsAndEveryOption)
{
    const ParsedShowOptions defaults = ParseShowOptions({});
    ASSERT_EQ(defaults.outcome, ParseOutcome::Run) << defaults.error;
    EXPECT_EQ(defaults.options.place, ShowPlace::FullScreen);
    EXPECT_EQ(defaults.options.maxImages, 10);
    EXPECT_TRUE(defaults.options.bSave);
    EXPECT_TRUE(defaults.options.saveDirectory.empty());
    EXPECT_FALSE(defaults.options.seed);

    const ParsedShowOptions all = ParseShowOptions(
        {"--window", "640x400", "--max-images", "3", "--seed", "-7", "--save-dir", "/tmp/x"});
    ASSERT_EQ(all.outcome, ParseOutcome::Run) << all.error;
    EXPECT_EQ(all.options.place, ShowPlace::Window);
    EXPECT_EQ(all.options.windowSize.width, 640);
    EXPECT_EQ(all.options.windowSize.height, 400);
    EXPECT_EQ(all.options.maxImages, 3);
    EXPECT_EQ(all.options.seed, -7);
    EXPECT_EQ(all.options.saveDirectory, "/tmp/x");

    const ParsedShowOptions id = ParseShowOptions({"--window-id", "0x1c00007", "--no-save"});
    ASSERT_EQ(id.outcome, ParseOutcome::Run) << id.error;
    EXPECT_EQ(id.options.place, ShowPlace::WindowId);
    EXPECT_EQ(id.options.windowId, 0x1c00007ul);
    EXPECT_FALSE(id.options.bSave);

    EXPECT_EQ(ParseShowOptions({"--root"}).options.place, ShowPlace::Root);
    EXPECT_TRUE(ParseShowOptions({"--version"}).options.bVersion);
    EXPECT_EQ(ParseShowOptions({"--root", "--help"}).outcome, ParseOutcome::Help);
}

TEST(ShowOptions, MaxImagesIsClampedAsTheDialogClampsIt)
{
    EXPECT_EQ(ParseShowOptions({"--max-images", "0"}).options.maxImages, 0);
    EXPECT_EQ(ParseShowOptions({"--max-images", "-4"}).options.maxImages, -4);
    EXPECT_EQ(ParseShowOptions({"--max-images", "99999999999"}).options.maxImages, INT32_MAX);
}

TEST(ShowOptions, BadArguments)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--window"},
        {"--window", "640"},
        {"--window", "0x400"},
        {"--window-id", "0"},
        {"--window-id", "12ab"},
        {"--window-id", "-5"},
        {"--max-images", "ten"},
        {"--max-images"},
        {"--seed", "1.5"},
        {"--save-dir"},
        {"--root", "--window-id", "5"},
        {"--window", "10x10", "--root"},
        {"--no-save", "--save-dir", "/tmp"},
        {"--size", "10x10"},  // the renderer's, not the show's
        {"extra"},
    };
    for (const std::vector<std::string>& args : bad) {
        const ParsedShowOptions parsed = ParseShowOptions(args);
        EXPECT_EQ(parsed.outcome, ParseOutcome::Error) << args[0];
        EXPECT_FALSE(parsed.error.empty());
    }
}

TEST(PicturesFolder, FromTheSettingsTheEnvironmentOrTheHome)
{
    const std::string settings =
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    EXPECT_EQ(PicturesFolder(settings, "/env", "/home/u"), "/home/u/Bilder");
    EXPECT_EQ(PicturesFolder("  XDG_PICTURES_DIR=\"/data/pics\"\n", nullptr, "/home/u"),
              "/data/pics");
    EXPECT_EQ(PicturesFolder("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "/env", "/home/u"), "/env");
    EXPECT_EQ(PicturesFolder("#XDG_PICTURES_DIR=\"/no\"\n", nullptr, "/home/u"),
              "/home/u/Pictures");
    EXPECT_EQ(PicturesFolder("", "", "/home/u"), "/home/u/Pictures");
}

}  // namespace
