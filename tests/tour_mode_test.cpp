#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "engine/tour.h"
#include "tools/tour_mode.h"

namespace {

struct Parsed {
    ParsedOptions common;
    TourOptions tour;
    std::string problem;  // the parse error, or what Validate finds
};

Parsed Parse(const std::vector<std::string>& args)
{
    TourOptionParser parser;
    Parsed parsed{ParseOptions(args, {parser.Extension()}), {}, {}};
    parsed.tour = parser.Options();
    parsed.problem = parsed.common.outcome == ParseOutcome::Error
                         ? parsed.common.error
                         : parser.Validate(parsed.common.options);
    return parsed;
}

class TourModeRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = std::filesystem::temp_directory_path() /
                    ("orvane_tour_mode_" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
        common.width = 96;
        common.height = 64;
        common.threads = 2;
        tour.prefix = (directory / "run").string();
        tour.seed = 7;
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    // A run of the tool, as in a new process.
    std::string Run(int expectedStatus, bool stop = false)
    {
        g_nPictureSlot = 0;
        std::ostringstream out;
        const std::atomic<bool> stopRequested{stop};
        EXPECT_EQ(RunTour(common, tour, stopRequested, out), expectedStatus);
        return out.str();
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(directory / name); }
    // Every file the runs wrote, by path, with its contents.
    std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
            if (entry.is_regular_file()) {
                std::ifstream in(entry.path(), std::ios::binary);
                files[entry.path().string()] = std::string(std::istreambuf_iterator<char>(in), {});
            }
        }
        return files;
    }

    std::filesystem::path directory;
    RenderOptions common;
    TourOptions tour;
};

}  // namespace

TEST(TourOptions, TakeTheTourAndItsOptionsOrSayWhatIsWrong)
{
    const Parsed full = Parse({"--tour", "3", "--size", "64x48", "--max-images", "4", "--prefix",
                               "out/p", "--grid", "--seed", "-12", "--film", "f"});
    EXPECT_EQ(full.problem, "");
    EXPECT_EQ(full.tour.pictureCount, 3);
    EXPECT_EQ(full.tour.maxImages, 4);
    EXPECT_EQ(full.tour.prefix, "out/p");
    EXPECT_TRUE(full.tour.bGrid);
    EXPECT_EQ(full.tour.seed, -12);
    EXPECT_EQ(full.tour.filmDirectory, "f");

    const Parsed single = Parse({"--grid", "g.bmp", "-o", "p.bmp"});
    EXPECT_EQ(single.problem, "");
    EXPECT_EQ(single.tour.gridFile, "g.bmp");
    EXPECT_EQ(single.tour.pictureCount, 0);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--tour", "0"}, {"--tour", "2", "--max-images", "x"},
          {"--tour", "2", "--seed", "1.5"}, {"--tour", "2", "--prefix"},
          {"--seed", "3", "-o", "p.bmp"}, {"--grid", "-o", "p.bmp"},
          {"--tour", "2", "-o", "p.bmp"}, {"--tour", "2", "--grid", "g.bmp"},
          {"--tour", "2", "--home", "1"}, {"--tour", "2", "--size", "19x100"}}) {
        EXPECT_NE(Parse(args).problem, "") << args[0] << " " << args[1];
    }
}

TEST(TourOptions, SeededCounterCountsOnePerReadingAndWraps)
{
    SeededCounterClock clock(INT64_MAX - 1);
    EXPECT_EQ(clock.QueryPerformanceCounter(), INT64_MAX - 1);
    EXPECT_EQ(clock.QueryPerformanceCounter(), INT64_MAX);
    EXPECT_EQ(clock.QueryPerformanceCounter(), INT64_MIN);
}

TEST_F(TourModeRun, SavesReportsAndFilmsARepeatableTour)
{
    tour.pictureCount = 2;
    tour.bGrid = true;
    tour.filmDirectory = (directory / "film").string();
    const std::string first = Run(0);
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2);
    EXPECT_EQ(first.find("slot 1  --view "), 0u);
    EXPECT_EQ(first.find("slot 2  --view "), first.find('\n') + 1);
    for (const char* name : {"run_1.bmp", "run_1_g.bmp", "run_2.bmp", "run_2_g.bmp",
                             "film/zoom002_frame00.bmp", "film/zoom002_frame30.bmp"}) {
        EXPECT_TRUE(Exists(name)) << name;
    }
    EXPECT_FALSE(Exists("film/zoom001_frame00.bmp"));  // the first zoom plays no transition

    const std::map<std::string, std::string> pictures = Files();
    EXPECT_EQ(pictures.size(), 4u + 31u);
    EXPECT_EQ(Run(0), first);  // the same seed, the same views
    EXPECT_TRUE(Files() == pictures);  // and the same pictures, grids and film
}

TEST_F(TourModeRun, StopRequestEndsTheTourAndUnwritableDestinationsAreRefused)
{
    tour.pictureCount = 5;
    EXPECT_EQ(Run(130, true), "");

    tour.prefix = (directory / "missing" / "run").string();
    Run(1);
    tour.prefix = (directory / "run").string();
    std::ofstream(directory / "run_1.bmp") << "a file, not a folder";
    tour.filmDirectory = (directory / "run_1.bmp" / "film").string();
    Run(1);
}
