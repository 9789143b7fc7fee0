#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "engine/tour.h"
#include "platform/image_layout.h"
#include "render/memory_budget.h"
#include "render/memory_limits.h"
#include "render/stop_signals.h"
#include "render/tour_mode.h"
#include "write_faults.h"

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

    // A run of the tool, as in a new process; stopSignal as if it had arrived at the start.
    std::string Run(int expectedStatus, int stopSignal = 0)
    {
        g_nPictureSlot = 0;
        std::ostringstream out;
        const std::atomic<int> signal{stopSignal};
        EXPECT_EQ(RunTour(common, tour, signal, out), expectedStatus);
        return out.str();
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(directory / name); }
    std::string Contents(const std::string& name) const
    {
        std::ifstream file(directory / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    // Every file below the directory, by its path relative to it.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
            if (entry.is_regular_file()) {
                names.push_back(entry.path().lexically_relative(directory).string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> FilmFrames(int zoom, int count) const
    {
        std::vector<std::string> names;
        for (int f = 0; f < count; ++f) {
            char name[64];
            std::snprintf(name, sizeof name, "film/zoom%03d_frame%02d.bmp", zoom, f);
            names.push_back(name);
        }
        return names;
    }
    // Every file the runs wrote, by path, with its contents.
    std::map<std::string, std::string> FileContents() const
    {
        std::map<std::string, std::string> files;
        for (const std::string& name : Files()) {
            files[name] = Contents(name);
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
          {"--tour", "2", "--home", "1"}, {"--tour", "2", "--home", "0"},
          {"--tour", "2", "--tour", "3"}, {"--tour", "2", "--film", "--x"},
          {"--tour", "2", "--prefix", "-o"}, {"--tour", "--grid"},
          {"--tour", "2", "--no-save", "--prefix", "p"}, {"--tour", "2", "--no-save", "--grid"}}) {
        EXPECT_NE(Parse(args).problem, "") << args[0] << " " << args[1];
    }
}

TEST(TourOptions, SeededCounterCountsOnePerReadingAndWraps)
{
    platform::SeededCounterClock clock(INT64_MAX - 1);
    EXPECT_EQ(clock.QueryPerformanceCounter(), INT64_MAX - 1);
    EXPECT_EQ(clock.QueryPerformanceCounter(), INT64_MAX);
    EXPECT_EQ(clock.QueryPerformanceCounter(), INT64_MIN);
}

TEST(TourMemory, PicturesFitBesideTheShowInMemoryAndInAddressSpace)
{
    const std::uint64_t image = ImageSize(1000, 500);
    const std::uint64_t show = ShowMemory(1000, 500, 2, ThreadMemory());
    const auto memory = [](std::uint64_t bytes) { return MemoryRoom{bytes, UINT64_MAX}; };
    EXPECT_GE(show, 4 * image);  // three images and the window
    EXPECT_EQ(PicturesThatFit(memory(show - 1), 1000, 500, 2, 31), std::nullopt);
    EXPECT_EQ(PicturesThatFit(memory(show), 1000, 500, 2, 31), 0u);
    // Pictures take three quarters of what is left.
    EXPECT_EQ(PicturesThatFit(memory(show + 8 * image), 1000, 500, 2, 31), 6u);
    EXPECT_EQ(PicturesThatFit({UINT64_MAX, UINT64_MAX}, 1000, 500, 2, 31), 31u);
    // The largest size: 35 images of 805 MB do not fit in 16 GB, 4 and a few pictures do.
    EXPECT_EQ(PicturesThatFit(memory(16000000000ull), 16384, 16384, 2, 31), 11u);

    // A thread's whole stack takes address space, little of it memory: 256 workers under an
    // address-space limit get fewer pictures, or none at all, and no fewer in memory alone.
    const std::uint64_t mapped = ShowMemory(1000, 500, 256, ThreadAddressSpace());
    EXPECT_GE(mapped, ShowMemory(1000, 500, 256, ThreadMemory()) + 256 * (ThreadAddressSpace() -
                                                                           ThreadMemory()));
    EXPECT_EQ(PicturesThatFit({UINT64_MAX, mapped - 1}, 1000, 500, 256, 31), std::nullopt);
    EXPECT_EQ(PicturesThatFit({UINT64_MAX, mapped}, 1000, 500, 256, 31), 0u);
    EXPECT_EQ(PicturesThatFit({UINT64_MAX, mapped + 8 * image}, 1000, 500, 256, 31), 6u);
    EXPECT_GT(PicturesThatFit({mapped, UINT64_MAX}, 1000, 500, 256, 31), 0u);
}

// A control group tree as /proc and /sys show it, in a folder of the test's.
class CgroupTree {
public:
    CgroupTree()
    {
        char pattern[] = "/tmp/orvane_cgroup_XXXXXX";
        m_root = mkdtemp(pattern);
    }
    ~CgroupTree() { std::filesystem::remove_all(m_root); }
    void Write(const std::string& path, const std::string& text) const
    {
        std::filesystem::create_directories((m_root / path).parent_path());
        std::ofstream(m_root / path) << text;
    }
    const std::filesystem::path& Root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

TEST(MemoryLimits, ControlGroupsOfEitherVersionLimitFromTheProcessesGroupUp)
{
    constexpr std::uint64_t kMB = 1 << 20;
    CgroupTree tree;
    EXPECT_EQ(CgroupMemoryLeft(tree.Root()), std::nullopt);  // no control groups at all
    tree.Write("proc/self/mountinfo",
               "30 22 0:27 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
               "31 22 0:28 / /sys/fs/cgroup/cpu rw - cgroup cgroup rw,cpu\n"
               "40 22 0:37 /outer /sys/fs/cgroup/unified rw shared:9 - cgroup2 cgroup2 rw\n");
    tree.Write("proc/self/cgroup", "5:cpu:/elsewhere\n4:memory:/box/job\n0::/outer/unit\n");
    // Version 1: no limit on the job, one on the box above it; the file cache is free.
    const std::string box = "sys/fs/cgroup/memory/box/";
    tree.Write(box + "job/memory.limit_in_bytes", "9223372036854771712\n");
    tree.Write(box + "memory.limit_in_bytes", std::to_string(500 * kMB));
    tree.Write(box + "memory.usage_in_bytes", std::to_string(300 * kMB));
    tree.Write(box + "memory.stat", "cache 150\ntotal_inactive_file " + std::to_string(100 * kMB));
    tree.Write("sys/fs/cgroup/cpu/elsewhere/memory.limit_in_bytes", "1");  // not the memory's
    EXPECT_EQ(CgroupMemoryLeft(tree.Root()), 300 * kMB);
    // Version 2 below the part of its hierarchy that is mounted: the tighter of the two.
    const std::string unit = "sys/fs/cgroup/unified/unit/";
    tree.Write(unit + "memory.max", "max\n");
    tree.Write("sys/fs/cgroup/unified/memory.max", std::to_string(1024 * kMB));
    tree.Write("sys/fs/cgroup/unified/memory.current", std::to_string(900 * kMB));
    tree.Write("sys/fs/cgroup/unified/memory.stat",
               "anon 5\ninactive_file " + std::to_string(126 * kMB));
    EXPECT_EQ(CgroupMemoryLeft(tree.Root()), 250 * kMB);
    tree.Write(unit + "memory.max", std::to_string(900 * kMB));
    tree.Write(unit + "memory.current", std::to_string(920 * kMB));  // over: nothing left
    EXPECT_EQ(CgroupMemoryLeft(tree.Root()), 0u);
}

TEST(StopSignalsDeathTest, TermAndHangUpStopLikeCtrlCUnlessIgnoredAndAClosedPipeIsNoDeath)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);  // as nohup starts a program
            CatchRendererStopSignals();
            std::raise(SIGHUP);
            std::raise(SIGPIPE);
            const bool bIgnored = g_nStopSignal == 0;
            std::raise(SIGTERM);
            std::raise(SIGINT);  // the first signal is the one reported
            std::exit(bIgnored && g_nStopSignal == SIGTERM ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(StoppedStatus(SIGTERM), 143);
    EXPECT_EQ(StoppedStatus(SIGHUP), 129);
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

    const std::map<std::string, std::string> pictures = FileContents();
    EXPECT_EQ(pictures.size(), 4u + 31u);
    EXPECT_EQ(Run(0), first);  // the same seed, the same views
    EXPECT_TRUE(FileContents() == pictures);  // and the same pictures, grids and film
}

TEST_F(TourModeRun, WithoutSavingTheSameViewsAreReportedAndNothingIsWritten)
{
    tour.pictureCount = 3;
    std::istringstream saved(Run(0));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    tour.bSave = false;
    std::istringstream reported(Run(0));
    std::string savedLine, reportedLine;
    while (std::getline(saved, savedLine)) {
        std::getline(reported, reportedLine);
        EXPECT_EQ(reportedLine, savedLine.substr(0, savedLine.find("  -> ")));
    }
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(TourModeRun, StopRequestEndsTheTourAndUnwritableDestinationsAreRefused)
{
    tour.pictureCount = 5;
    EXPECT_EQ(Run(130, SIGINT), "");
    EXPECT_EQ(Run(143, SIGTERM), "");

    tour.prefix = (directory / "missing" / "run").string();
    Run(1);
    tour.prefix = (directory / "run").string();
    std::ofstream(directory / "run_1.bmp") << "a file, not a folder";
    tour.filmDirectory = (directory / "run_1.bmp" / "film").string();
    Run(1);
}

// Faults on the way out: each ends the tour as a failure and leaves no partial file.

TEST_F(TourModeRun, AFullDiskIsAFailureAndTheOlderPicturesSurvive)
{
    tour.pictureCount = 2;
    Run(0);  // slots 1 and 2 hold an earlier tour's pictures
    const std::string older = Contents("run_1.bmp");
    tour.seed = 8;
    {
        const ScopedDiskSpace disk(1000);
        EXPECT_EQ(Run(1), "");  // nothing reported as saved
    }
    EXPECT_EQ(Contents("run_1.bmp"), older);
    EXPECT_EQ(Files(), (std::vector<std::string>{"run_1.bmp", "run_2.bmp"}));
}

TEST_F(TourModeRun, AFilmFrameThatCannotBeWrittenIsAFailureWithoutAPartialFrame)
{
    tour.pictureCount = 3;
    tour.filmDirectory = (directory / "film").string();
    const long long fileSize = 54 + static_cast<long long>(ImageSize(96, 64));
    {
        const ScopedDiskSpace disk(4 * fileSize + 100);  // picture 1, then three frames
        const std::string out = Run(1);
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    }
    std::vector<std::string> expected = FilmFrames(2, 3);
    expected.push_back("run_1.bmp");
    EXPECT_EQ(Files(), expected);
}

TEST_F(TourModeRun, AnOutputThatCannotBeWrittenIsAFailure)
{
    tour.pictureCount = 2;
    std::ostream closed(nullptr);  // every write fails, as on a closed pipe
    const std::atomic<int> noSignal{0};
    g_nPictureSlot = 0;
    EXPECT_EQ(RunTour(common, tour, noSignal, closed), 1);
}

// Tours that could not end.

TEST_F(TourModeRun, PicturesWithoutRoomForASearchWindowAreRefusedUpFront)
{
    tour.pictureCount = 1;
    for (const auto& [width, height] : {std::pair{640, 26}, {20, 20}, {19, 100}}) {
        common.width = width;
        common.height = height;
        EXPECT_EQ(Run(2), "") << width << 'x' << height;
    }
}

// Stops.

TEST_F(TourModeRun, AStopWhileTheFilmIsSavedEndsItBetweenFrames)
{
    tour.pictureCount = 3;
    tour.filmDirectory = (directory / "film").string();
    std::atomic<int> signal{0};
    int framesOpened = 0;
    const ScopedDiskSpace disk(LLONG_MAX, [&](const std::string& path) {
        const bool bFrame = std::filesystem::path(path).parent_path() == tour.filmDirectory;
        if (bFrame && ++framesOpened == 3) {
            signal = SIGTERM;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the stop lands
        }
    });
    g_nPictureSlot = 0;
    std::ostringstream out;
    EXPECT_EQ(RunTour(common, tour, signal, out), 143);
    std::vector<std::string> expected = FilmFrames(2, 3);
    expected.push_back("run_1.bmp");
    EXPECT_EQ(Files(), expected);
}

TEST_F(TourModeRun, StopStormEveryStopEndsPromptlyWithOnlyWholeFiles)
{
    // Stops at random moments of render, search, transition and saving.
    tour.pictureCount = 1000;
    tour.maxImages = 3;
    tour.bGrid = true;
    tour.filmDirectory = (directory / "film").string();
    const std::uintmax_t wholeFile = 54 + ImageSize(96, 64);
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> delayMs(0, 300);
    for (int run = 0; run < 40; ++run) {
        std::atomic<int> signal{0};
        std::chrono::steady_clock::time_point stoppedAt;
        std::thread stopper([&signal, &stoppedAt, delay = delayMs(random)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            stoppedAt = std::chrono::steady_clock::now();
            signal = SIGTERM;
        });
        g_nPictureSlot = 0;
        std::ostringstream out;
        const int status = RunTour(common, tour, signal, out);
        const auto ended = std::chrono::steady_clock::now();
        stopper.join();
        EXPECT_EQ(status, 143) << run;
        // A bound against hanging, far above the tens of milliseconds a stop takes.
        EXPECT_LT(ended - stoppedAt, std::chrono::seconds(5)) << run;
        for (const std::string& name : Files()) {
            ASSERT_EQ(name.substr(name.size() - 4), ".bmp") << run;
            ASSERT_EQ(std::filesystem::file_size(directory / name), wholeFile) << name;
        }
    }
}
