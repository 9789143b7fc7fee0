#include <gtest/gtest.h>

#include "render/render_options.h"

namespace {

ParsedOptions Parse(std::vector<std::string> args,
                    const std::vector<OptionExtension>& extensions = {})
{
    return ParseOptions(args, extensions);
}

TEST(Options, Defaults)
{
    const ParsedOptions parsed = Parse({"-o", "out.png"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.width, 1920);
    EXPECT_EQ(parsed.options.height, 1080);
    EXPECT_EQ(parsed.options.centreRe, -0.275);
    EXPECT_EQ(parsed.options.centreIm, 0.735);
    EXPECT_EQ(parsed.options.span, 0.045);
    EXPECT_EQ(parsed.options.threads, 0);
    EXPECT_EQ(parsed.options.outputPath, "out.png");
}

TEST(Options, EveryOption)
{
    const ParsedOptions parsed =
        Parse({"--size", "640x480", "--threads", "3", "--home", "2", "-o", "x.bmp"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.width, 640);
    EXPECT_EQ(parsed.options.height, 480);
    EXPECT_EQ(parsed.options.threads, 3);
    EXPECT_EQ(parsed.options.centreRe, -0.27);
    EXPECT_EQ(parsed.options.centreIm, 0.795);
    EXPECT_EQ(parsed.options.span, 0.05);

    const ParsedOptions view = Parse({"--view", "-0.25200230513224681", "7e-1", "1e-9", "-o", "v"});
    ASSERT_EQ(view.outcome, ParseOutcome::Run) << view.error;
    EXPECT_EQ(view.options.centreRe, -0.25200230513224681);
    EXPECT_EQ(view.options.centreIm, 0.7);
    EXPECT_EQ(view.options.span, 1e-9);
}

TEST(Options, Help)
{
    EXPECT_EQ(Parse({"--help"}).outcome, ParseOutcome::Help);
    EXPECT_EQ(Parse({"--size", "10x10", "-h"}).outcome, ParseOutcome::Help);
    EXPECT_NE(UsageText().find("--view RE IM SPAN"), std::string::npos);
}

TEST(Options, BadArguments)
{
    const std::vector<std::vector<std::string>> bad = {
        {},                                    // no output
        {"-o"},                                // output without a name
        {"--size", "640", "-o", "f"},          // no height
        {"--size", "640x", "-o", "f"},
        {"--size", "0x480", "-o", "f"},
        {"--size", "-640x480", "-o", "f"},
        {"--size", "640x480x2", "-o", "f"},
        {"--size", "20000x10", "-o", "f"},
        {"--size", "-o", "f"},                 // the value is missing
        {"--home", "3", "-o", "f"},
        {"--home", "one", "-o", "f"},
        {"--view", "0", "0", "0", "-o", "f"},  // no extent
        {"--view", "0", "0", "-1", "-o", "f"},
        {"--view", "nan", "0", "1", "-o", "f"},
        {"--view", "0", "inf", "1", "-o", "f"},
        {"--view", "0", "0", "-o", "f"},
        {"--home", "1", "--view", "0", "0", "1", "-o", "f"},
        {"--threads", "0", "-o", "f"},
        {"--threads", "2.5", "-o", "f"},
        {"--frobnicate", "-o", "f"},
        {"-o", "f", "extra"},
        {"--size", "64x48", "-o", "--threads"},  // an option where a value belongs
        {"-o", "f", "--size", "64x48", "--size", "32x24"},  // given twice
        {"-o", "f", "-o", "g"},
        {"--view", "2", "2", "1e-17", "-o", "f"},     // pixels too close for the centre
        {"--view", "0", "0", "5e-324", "-o", "f"},
    };
    for (const auto& args : bad) {
        const ParsedOptions parsed = Parse(args);
        std::string line;
        for (const auto& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(parsed.outcome, ParseOutcome::Error) << line;
        EXPECT_FALSE(parsed.error.empty()) << line;
    }
}

TEST(Options, ExtensionsClaimTheirOwnOptions)
{
    int count = 0;
    OptionExtension tour;
    tour.claim = [&count](const std::vector<std::string>& args, std::size_t index,
                          std::string& error) {
        if (args[index] != "--count") {
            return 0;
        }
        if (index + 1 >= args.size()) {
            error = "--count takes a number";
            return 0;
        }
        count = std::stoi(args[index + 1]);
        return 2;
    };
    tour.replacesOutput = [&count] { return count > 0; };
    tour.usage = "  --count N\n";

    EXPECT_EQ(Parse({"--count", "4", "--size", "64x48"}, {tour}).outcome, ParseOutcome::Run);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(Parse({"--count"}, {tour}).error, "--count takes a number");
    EXPECT_EQ(Parse({"--other"}, {tour}).outcome, ParseOutcome::Error);
    EXPECT_NE(UsageText({tour}).find("--count N"), std::string::npos);
}

}  // namespace
