#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

    const ParsedShowOptions id =
        ParseShowOptions({"--window-id", "0x1c00007", "--save-dir", "/tmp/x"});
    ASSERT_EQ(id.outcome, ParseOutcome::Run) << id.error;
    EXPECT_EQ(id.options.place, ShowPlace::WindowId);
    EXPECT_EQ(id.options.windowId, 0x1c00007ul);
    EXPECT_TRUE(id.options.bSave);

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
        {"--window", "640"},
        {"--window", "0x400"},
        {"--window-id", "0"},
        {"--window-id", "12ab"},
        {"--window-id", "-5"},
        {"--max-images", "ten"},
        {"--max-images"},
        {"--seed", "1.5"},
        {"--save-dir"},
        {"--window", "10x10", "--root"},
        {"-window", "--window-id", "5"},
        {"--root=1"},
        {"--save-dir="},
        {"-root", "--root"},
        {"--size", "10x10"},  // the renderer's, not the show's
        {"extra"},
    };
    for (const std::vector<std::string>& args : bad) {
        const ParsedShowOptions parsed = ParseShowOptions(args);
        EXPECT_EQ(parsed.outcome, ParseOutcome::Error) << args[0];
        EXPECT_FALSE(parsed.error.empty());
    }
}

// The lines screen saver programs run: xscreensaver-settings' preview adds --window-id to
// the settings' line; xsecurelock's runner passes -root; the X toolkit's -window.
TEST(ShowOptions, AsLaunchersPassThem)
{
    const ParsedShowOptions preview = ParseShowOptions(
        {"--root", "--max-images", "11", "--no-save", "--save-dir", "/tmp/p", "--window-id",
         "0x400EE5"});
    ASSERT_EQ(preview.outcome, ParseOutcome::Run) << preview.error;
    EXPECT_EQ(preview.options.place, ShowPlace::WindowId);
    EXPECT_EQ(preview.options.windowId, 0x400EE5ul);
    EXPECT_FALSE(preview.options.bSave);

    const ParsedShowOptions saved = ParseShowOptions({"--root", "--no-save", "--save-dir", "/p"});
    ASSERT_EQ(saved.outcome, ParseOutcome::Run) << saved.error;
    EXPECT_EQ(saved.options.place, ShowPlace::Root);
    EXPECT_FALSE(saved.options.bSave);

    // A preview saves only where it is told to.
    EXPECT_FALSE(ParseShowOptions({"--window-id", "5"}).options.bSave);
    EXPECT_TRUE(ParseShowOptions({"--root"}).options.bSave);

    EXPECT_EQ(ParseShowOptions({"-root"}).options.place, ShowPlace::Root);
    const ParsedShowOptions toolkit = ParseShowOptions({"-window-id", "77", "-seed", "-3"});
    ASSERT_EQ(toolkit.outcome, ParseOutcome::Run) << toolkit.error;
    EXPECT_EQ(toolkit.options.windowId, 77ul);
    EXPECT_EQ(toolkit.options.seed, -3);

    const ParsedShowOptions window = ParseShowOptions({"-window"});
    ASSERT_EQ(window.outcome, ParseOutcome::Run) << window.error;
    EXPECT_EQ(window.options.place, ShowPlace::Window);
    EXPECT_EQ(window.options.windowSize.width, kDefaultWindowSize.width);
    EXPECT_EQ(ParseShowOptions({"--window", "--no-save"}).options.place, ShowPlace::Window);

    const ParsedShowOptions equals =
        ParseShowOptions({"--window=320x200", "--save-dir=/a=b", "--max-images=3"});
    ASSERT_EQ(equals.outcome, ParseOutcome::Run) << equals.error;
    EXPECT_EQ(equals.options.windowSize.width, 320);
    EXPECT_EQ(equals.options.saveDirectory, "/a=b");
    EXPECT_EQ(equals.options.maxImages, 3);
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

// xscreensaver-settings' Browse button picks a file: its folder is the one meant.
TEST(PicturesFolder, AChosenFileStandsForItsFolder)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("orvane-chosen-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Orvane_1.bmp") << "x";
    EXPECT_EQ(ChosenFolder((folder / "Orvane_1.bmp").string()), folder.string());
    EXPECT_EQ(ChosenFolder(folder.string()), folder.string());
    EXPECT_EQ(ChosenFolder((folder / "new").string()), (folder / "new").string());
    std::filesystem::remove_all(folder);
}

}  // namespace
