#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/show_timing.h"
#include "engine/tour.h"
#include "engine/zoom_transition.h"
#include "platform/image_layout.h"
#include "render/stop_signals.h"
#include "render/tour_mode.h"
#include "render/video_mode.h"
#include "render/video_options.h"
#include "video_reader.h"
#include "write_faults.h"

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

// The show's timeline, derived here from its paces, in units of 1/3000 s: a whole number of
// them for each pace and for each frame at 30 frames a second.
constexpr std::int64_t kUnitsPerSecond = 3000;
constexpr std::int64_t kOutlineStepUnits = kUnitsPerSecond / kOutlineStepsPerSecond;
constexpr std::int64_t kOutlineUnits = (kOutlineSteps + 1) * kOutlineStepUnits;
constexpr std::int64_t kBlinkUnits = kBlinkMs * kUnitsPerSecond / 1000;
constexpr std::int64_t kBlinkingUnits = kBlinks * kBlinkUnits;
constexpr std::int64_t kFilmFrameUnits = kUnitsPerSecond / kFilmFramesPerSecond;
constexpr std::int64_t kFilmUnits =
    static_cast<std::int64_t>(kMaxTransitionFrames) * kFilmFrameUnits;
constexpr std::int64_t kPauseUnits = kPauseSteps * kPauseStepMs * kUnitsPerSecond / 1000;

using Picture = std::vector<std::uint8_t>;

// A stretch of the video: picture `picture` held, the pause after it, or the transition
// into it.
struct Piece {
    enum class Kind { Hold, Pause, Transition } kind;
    int picture;
    std::int64_t start;
    std::int64_t length;
};

// The spans of the pictures that the tour's lines report, in order.
std::vector<double> ReportedSpans(const std::string& out)
{
    std::vector<double> spans;
    std::istringstream lines(out);
    std::string word;
    while (lines >> word) {
        if (word == "--view") {
            double re = 0.0, im = 0.0, span = 0.0;
            lines >> re >> im >> span;
            spans.push_back(span);
        }
    }
    return spans;
}

// The timeline of a tour whose pictures had these spans: a picture ten times smaller than
// the one before is zoomed into; any other begins a new series, after the pause.
std::vector<Piece> Timeline(const std::vector<double>& spans, std::int64_t holdUnits)
{
    std::vector<Piece> pieces;
    std::int64_t now = 0;
    const auto add = [&](Piece::Kind kind, int picture, std::int64_t length) {
        pieces.push_back({kind, picture, now, length});
        now += length;
    };
    for (int p = 0; p < static_cast<int>(spans.size()); ++p) {
        if (p > 0 && spans[p] < spans[p - 1]) {
            add(Piece::Kind::Transition, p, kOutlineUnits + kBlinkingUnits + kFilmUnits);
        } else if (p > 0) {
            add(Piece::Kind::Pause, p - 1, kPauseUnits);
        }
        add(Piece::Kind::Hold, p, holdUnits);
    }
    return pieces;
}

std::int64_t FramesOf(const std::vector<Piece>& pieces, int framesPerSecond)
{
    const std::int64_t total = pieces.back().start + pieces.back().length;
    return (total * framesPerSecond + kUnitsPerSecond - 1) / kUnitsPerSecond;
}

// The pixels of a BMP file the tour wrote.
Picture PixelsOf(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return bytes.size() < 54 ? Picture() : Picture(bytes.begin() + 54, bytes.end());
}

// True when frame is picture with an outline XOR-drawn over it: the pixels that differ are
// the picture's XORed with the outline's orange and lie on the border of the box around
// them. bbox gets that box's area, 0 when nothing differs.
bool DiffersOnlyAlongAnOutline(const Picture& frame, const Picture& picture, long long& area)
{
    const int pen = OutlinePenWidth(kWidth);
    struct Pixel {
        int x, y;
    };
    std::vector<Pixel> changed;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * ImageStride(kWidth) + 3 * x;
            if (std::equal(&frame[at], &frame[at] + 3, &picture[at])) {
                continue;
            }
            // Blue 0x00, green 0x88, red 0xFF: the outline's orange.
            if (frame[at] != picture[at] || (frame[at + 1] ^ picture[at + 1]) != 0x88 ||
                (frame[at + 2] ^ picture[at + 2]) != 0xFF) {
                return false;
            }
            changed.push_back({x, y});
        }
    }
    area = 0;
    if (changed.empty()) {
        return true;
    }
    int left = kWidth, right = -1, bottom = kHeight, top = -1;
    for (const Pixel& p : changed) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        bottom = std::min(bottom, p.y);
        top = std::max(top, p.y);
    }
    area = static_cast<long long>(right - left + 1) * (top - bottom + 1);
    return std::all_of(changed.begin(), changed.end(), [&](const Pixel& p) {
        return p.x < left + pen || p.x > right - pen || p.y < bottom + pen || p.y > top - pen;
    });
}

class VideoModeRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = std::filesystem::temp_directory_path() /
                    ("orvane_video_mode_" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
        common.width = kWidth;
        common.height = kHeight;
        common.threads = 2;
        tour.prefix = (directory / "run").string();
        tour.seed = 7;
        video.holdSeconds = 1.0;
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    // A run of the tool with a video into name, as in a new process.
    std::string Record(const std::string& name, int expectedStatus,
                       const std::atomic<int>& stopSignal, std::ostream& out)
    {
        g_nPictureSlot = 0;
        video.path = (directory / name).string();
        const std::unique_ptr<ITourRecorder> pRecorder =
            MakeVideoRecorder(video, common.width, common.height, tour.pictureCount);
        EXPECT_EQ(RunTour(common, tour, stopSignal, out, pRecorder.get()), expectedStatus);
        return video.path;
    }
    std::string Record(const std::string& name, int expectedStatus, std::string* pOut = nullptr)
    {
        std::ostringstream out;
        const std::atomic<int> noSignal{0};
        const std::string path = Record(name, expectedStatus, noSignal, out);
        if (pOut != nullptr) {
            *pOut = out.str();
        }
        return path;
    }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path directory;
    RenderOptions common;
    TourOptions tour;
    VideoOptions video;
};

// Sets a stop signal as the stream's nth line is written, as if it arrived then.
class StopAtLine : public std::stringbuf {
public:
    StopAtLine(std::atomic<int>& signal, int line) : m_signal(signal), m_nLine(line) {}

protected:
    int sync() override
    {
        if (++m_nLines == m_nLine) {
            m_signal = SIGTERM;
        }
        return std::stringbuf::sync();
    }

private:
    std::atomic<int>& m_signal;
    int m_nLine;
    int m_nLines = 0;
};

}  // namespace

TEST(VideoOptions, TakeTheVideoAndItsOptionsOrSayWhatIsWrong)
{
    const auto parse = [](const std::vector<std::string>& args, VideoOptions* pOptions = nullptr) {
        TourOptionParser tour;
        VideoOptionParser video;
        const ParsedOptions parsed = ParseOptions(args, {tour.Extension(), video.Extension()});
        if (pOptions != nullptr) {
            *pOptions = video.Options();
        }
        if (parsed.outcome == ParseOutcome::Error) {
            return parsed.error;
        }
        const std::string problem = tour.Validate(parsed.options);
        return problem.empty() ? video.Validate(parsed.options, tour.Options()) : problem;
    };
    VideoOptions options;
    EXPECT_EQ(
        parse({"--tour", "2", "--video", "a.MP4", "--fps", "25", "--hold", "0.5", "--no-save"},
              &options),
        "");
    EXPECT_EQ(options.path, "a.MP4");
    EXPECT_EQ(options.framesPerSecond, 25);
    EXPECT_EQ(options.holdSeconds, 0.5);
    EXPECT_EQ(parse({"--tour", "2", "--video", "a.mkv", "--size", "95x63"}), "");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--video", "a.mp4", "-o", "p.bmp"},
          {"--tour", "2", "--fps", "30"},
          {"--tour", "2", "--video", "a.avi"},
          {"--tour", "2", "--video", "a.mp4", "--size", "95x64"},
          {"--tour", "2", "--video", "a.mp4", "--fps", "0"},
          {"--tour", "2", "--video", "a.mp4", "--hold", "-1"},
          {"--tour", "2", "--video", "a.mp4", "--hold", "nan"}}) {
        EXPECT_NE(parse(args), "") << args[1] << " " << args[2];
    }
}

// Frame by frame what the screen shows: each picture held as saved, the outline closing in
// and blinking over it, the film as --film writes it, the pause before the second series;
// the same seed gives the same file.
TEST_F(VideoModeRun, LosslessVideoIsTheShowBitForBit)
{
    tour.pictureCount = 12;  // into the second series
    tour.maxImages = 12;
    tour.filmDirectory = (directory / "film").string();
    std::string out;
    const std::string path = Record("tour.mkv", 0, &out);
    const std::vector<double> spans = ReportedSpans(out);
    ASSERT_EQ(spans.size(), 12u);
    const std::vector<Piece> pieces = Timeline(spans, kUnitsPerSecond);
    ASSERT_EQ(std::count_if(pieces.begin(), pieces.end(),
                            [](const Piece& p) { return p.kind == Piece::Kind::Pause; }),
              1);

    std::vector<Picture> pictures;
    for (int slot = 1; slot <= 12; ++slot) {
        pictures.push_back(PixelsOf(directory / ("run_" + std::to_string(slot) + ".bmp")));
    }
    std::int64_t frameNumber = 0;
    std::vector<std::string> wrong;
    const Piece* pLastPiece = nullptr;
    long long lastArea = 0;
    Picture onTarget;
    const VideoFacts facts = ReadVideo(path, [&](const Picture& frame) {
        const std::int64_t moment = frameNumber * kUnitsPerSecond / 30;
        const auto piece = std::find_if(pieces.begin(), pieces.end(), [&](const Piece& p) {
            return moment < p.start + p.length;
        });
        const std::string where = "frame " + std::to_string(frameNumber++);
        if (piece == pieces.end()) {
            wrong.push_back(where + " beyond the timeline");
            return;
        }
        const std::int64_t into = moment - piece->start;
        if (&*piece != pLastPiece) {
            pLastPiece = &*piece;
            lastArea = kWidth * kHeight;
            onTarget.clear();
        }
        if (piece->kind != Piece::Kind::Transition) {
            if (frame != pictures[piece->picture]) {
                wrong.push_back(where + " is not picture " + std::to_string(piece->picture));
            }
            return;
        }
        const Picture& before = pictures[piece->picture - 1];
        long long area = 0;
        if (into < kOutlineStepUnits) {
            if (frame != before) {
                wrong.push_back(where + ": an outline before the first step");
            }
        } else if (into < kOutlineUnits) {
            if (!DiffersOnlyAlongAnOutline(frame, before, area) || area == 0 || area > lastArea) {
                wrong.push_back(where + ": not an outline closing in");
            }
            lastArea = area;
        } else if (into < kOutlineUnits + kBlinkingUnits) {
            const bool bShown = (into - kOutlineUnits) / kBlinkUnits % 2 == 1;
            if (bShown && onTarget.empty()) {
                onTarget = frame;
            }
            if (frame != (bShown ? onTarget : before) ||
                !DiffersOnlyAlongAnOutline(frame, before, area) || area > lastArea) {
                wrong.push_back(where + ": not a blink");
            }
        } else {
            char name[64];
            std::snprintf(
                name, sizeof name, "zoom%03d_frame%02d.bmp", piece->picture + 1,
                static_cast<int>((into - kOutlineUnits - kBlinkingUnits) / kFilmFrameUnits));
            if (frame != PixelsOf(directory / "film" / name)) {
                wrong.push_back(where + " is not " + name);
            }
        }
    });
    EXPECT_TRUE(facts.bDecoded);
    EXPECT_EQ(facts.codec, "ffv1");
    EXPECT_EQ(facts.frameCount, FramesOf(pieces, 30));
    EXPECT_NEAR(facts.durationSeconds, facts.frameCount / 30.0, 1 / 30.0);
    EXPECT_EQ(wrong, std::vector<std::string>{});

    // Without saving or filming, the same seed records the same file.
    tour.bSave = false;
    tour.filmDirectory.clear();
    tour.prefix = TourOptions().prefix;
    const std::string again = Record("again.mkv", 0);
    std::ifstream first(path, std::ios::binary), second(again, std::ios::binary);
    EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(first), {},
                           std::istreambuf_iterator<char>(second), {}));
}

// The compressed formats play at the chosen rate and size for the timeline's length.
TEST_F(VideoModeRun, CompressedVideosHaveTheirSizeRateAndLength)
{
    tour.pictureCount = 2;
    tour.bSave = false;
    video.framesPerSecond = 25;
    video.holdSeconds = 0.5;
    std::string out;
    for (const char* name : {"tour.mp4", "tour.webm"}) {
        SCOPED_TRACE(name);
        const VideoFacts facts = ReadVideo(Record(name, 0, &out));
        const std::vector<Piece> pieces = Timeline(ReportedSpans(out), kUnitsPerSecond / 2);
        EXPECT_TRUE(facts.bDecoded);
        EXPECT_EQ(facts.width, kWidth);
        EXPECT_EQ(facts.height, kHeight);
        EXPECT_EQ(facts.frameRate.num, 25 * facts.frameRate.den);
        EXPECT_EQ(facts.frameCount, FramesOf(pieces, 25));
        EXPECT_NEAR(facts.durationSeconds, facts.frameCount / 25.0, 1 / 25.0);
    }
}

// Stopped, the video ends where the tour was and plays; a video that cannot be written
// ends the tour as a failure and leaves nothing behind.
TEST_F(VideoModeRun, StoppedVideoPlaysAndUnwritableVideoLeavesNothing)
{
    tour.pictureCount = 3;
    tour.bSave = false;
    std::atomic<int> signal{0};
    StopAtLine stopAtSecond(signal, 2);
    std::ostream out(&stopAtSecond);
    const VideoFacts stopped = ReadVideo(Record("stopped.mkv", 143, signal, out));
    EXPECT_TRUE(stopped.bDecoded);
    EXPECT_GE(stopped.frameCount, 30);  // the first picture's hold at least
    EXPECT_LT(stopped.frameCount, 30 + 151 + 30 + 151 + 30);

    {
        const ScopedDiskSpace disk(20000);
        std::string out;
        Record("full.mkv", 1, &out);
        EXPECT_LT(std::count(out.begin(), out.end(), '\n'), 3);  // the tour ended there
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"stopped.mkv"});
}
