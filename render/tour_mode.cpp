#include "render/tour_mode.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

#include "engine/target_finder.h"
#include "engine/tour.h"
#include "output/image_files.h"
#include "render/headless_show.h"
#include "render/memory_budget.h"
#include "render/stop_signals.h"

namespace {

constexpr int kFailureStatus = 1;
constexpr int kRefusedStatus = 2;
constexpr int kWaitPollMs = 10;

template <typename Number>
std::optional<Number> ParseWhole(const std::string& text, Number lowest)
{
    const std::optional<Number> value = ParseNumber<Number>(text);
    return value && *value >= lowest ? value : std::nullopt;
}

// The owner of a tour without a screen: counts and reports the saved pictures, writes the
// films, and ends the show once enough pictures are saved.
class CHeadlessTourOwner : public ITourOwner {
public:
    CHeadlessTourOwner(CRenderContext& context, const TourOptions& tour, std::ostream& out,
                       ITourRecorder* pRecorder)
        : m_context(context), m_tour(tour), m_out(out), m_pRecorder(pRecorder)
    {
        m_context.m_fnSaveFailed = [this](const std::string& path, int error) {
            Fail(path, WriteResult::Failure(error).Reason());
        };
        if (!m_tour.filmDirectory.empty()) {
            m_context.m_fnFilmReady = [this] { SaveFilm(); };
        }
    }

    CRenderContext* GetRenderContext() override { return &m_context; }
    int GetMaxImages() override { return m_tour.maxImages; }
    void RequestRedraw() override {}  // nothing to repaint

    void OnPictureSaved(int slot) override
    {
        if (m_bFailed) {
            return;  // not saved after all
        }
        // The span as Render took it, along the shorter side, so that --view renders it again.
        const double span =
            m_context.m_nWidth > m_context.m_nHeight ? m_context.m_dSpanIm : m_context.m_dSpanRe;
        char line[128];
        std::snprintf(line, sizeof line, "slot %d  --view %.17g %.17g %.17g", slot,
                      m_context.m_dCentreRe, m_context.m_dCentreIm, span);
        m_out << line;
        if (m_tour.bSave) {
            m_out << "  -> " << PictureFileName(m_tour.prefix, slot, false).value_or("?");
        }
        if (m_tour.bGrid) {
            m_out << ' ' << PictureFileName(m_tour.prefix, slot, true).value_or("?");
        }
        m_out << std::endl;
        if (!m_out) {
            Fail("to standard output", std::strerror(errno));
            return;
        }
        if (m_pRecorder != nullptr) {
            m_pRecorder->OnPictureSaved();
        }
        if (++m_nSaved >= m_tour.pictureCount) {
            StopShow(m_context);
        }
    }

    void OnPause() override
    {
        if (m_pRecorder != nullptr) {
            m_pRecorder->OnPause();
        }
    }

    // Writes the film just computed, named after the zoom picture it leads to.
    void SaveFilm()
    {
        const int zoom = m_nSaved + 1;
        for (std::size_t f = 0; f < m_context.m_frames.size() && m_context.m_bRunning; ++f) {
            char name[64];
            std::snprintf(name, sizeof name, "zoom%03d_frame%02zu.bmp", zoom, f);
            const std::string path = (std::filesystem::path(m_tour.filmDirectory) / name).string();
            const std::uint8_t* pFrame =
                m_context.m_frames.Frame(static_cast<int>(f), m_context.m_nProcessors);
            const WriteResult result =
                WriteBmpFile(path, pFrame, m_context.m_nWidth, m_context.m_nHeight);
            if (!result) {
                Fail(path, result.Reason());
                return;
            }
        }
    }

    int Saved() const { return m_nSaved; }
    bool Failed() const { return m_bFailed != 0; }

private:
    CRenderContext& m_context;
    const TourOptions& m_tour;
    std::ostream& m_out;
    ITourRecorder* m_pRecorder;
    std::atomic<int> m_nSaved{0};
    std::atomic<int> m_bFailed{0};

    // A file that could not be written ends the tour as a failure.
    void Fail(const std::string& what, const std::string& reason)
    {
        std::cerr << "orvane-render: cannot write " << what
                  << (reason.empty() ? std::string() : ": " + reason) << std::endl;
        m_bFailed = 1;
        StopShow(m_context);
    }
};

// Why the tour could not save where it is asked to, or an empty string.
std::string CheckDestinations(const TourOptions& tour)
{
    if (!PictureFileName(tour.prefix, tour.maxImages, true)) {
        return "--prefix: the file names would be too long";
    }
    const std::filesystem::path directory = std::filesystem::path(tour.prefix).parent_path();
    const std::string folder = directory.empty() ? "." : directory.string();
    if (tour.bSave && access(folder.c_str(), W_OK) != 0) {
        return "cannot save into " + folder + ": " + std::strerror(errno);
    }
    std::error_code error;
    if (!tour.filmDirectory.empty()) {
        if (!std::filesystem::create_directories(tour.filmDirectory, error) && error) {
            return "cannot create " + tour.filmDirectory + ": " + error.message();
        }
        RemoveStaleTemporaries(tour.filmDirectory);
    }
    return {};
}

// The slot of a picture file the tour writes, by its name in the prefix's folder; 0 for
// another name.
int TourPictureSlot(const std::string& name, const std::string& baseName, const TourOptions& tour)
{
    const std::string start = baseName + "_";
    int slot = 0;
    if (!name.starts_with(start) ||
        std::from_chars(name.data() + start.size(), name.data() + name.size(), slot).ec !=
            std::errc() ||
        slot < 1 || slot > std::min(tour.pictureCount, tour.maxImages)) {
        return 0;
    }
    const bool bPicture = name == PictureFileName(baseName, slot, false);
    return bPicture || (tour.bGrid && name == PictureFileName(baseName, slot, true)) ? slot : 0;
}

// Two of the tour's picture files that are one, so that one would overwrite the other, or an
// empty string. Names of one folder are one file only where links or hard links make them so:
// only the files and links already there can be such a name, or point at one.
std::string FindOneFileTwice(const TourOptions& tour)
{
    const std::filesystem::path prefix(tour.prefix);
    const std::filesystem::path folder = prefix.has_parent_path() ? prefix.parent_path() : ".";
    const std::string baseName = prefix.filename().string();
    std::error_code error;
    const std::filesystem::path place = std::filesystem::weakly_canonical(folder, error);
    std::map<std::string, std::string> pictures;  // by OutputIdentity
    std::filesystem::directory_iterator entries(folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (TourPictureSlot(name, baseName, tour) == 0) {
            continue;
        }
        const std::string path = (folder / name).string();
        const std::optional<std::string> identity = OutputIdentity(path);
        if (!identity) {
            continue;
        }
        if (const auto [known, bFirst] = pictures.emplace(*identity, path); !bFirst) {
            return known->second + " and " + path + " are the same file";
        }
        // A link to a picture that is not there yet.
        if (identity->starts_with("new:")) {
            const std::filesystem::path target = std::filesystem::path(identity->substr(4));
            if (target.parent_path() == place && target.filename() != name &&
                TourPictureSlot(target.filename().string(), baseName, tour) != 0) {
                return path + " and " + (folder / target.filename()).string() +
                       " are the same file";
            }
        }
    }
    return {};
}

// What a tour runs with: its render workers and the frames of its transitions' film.
struct TourPlan {
    int threads = 0;
    std::size_t filmFrames = 0;
};

// The workers and the film the tour can have beside reservedPictures for a recording, or why
// it cannot run at all. The film is whole or none: its room does not grow with its frames.
std::optional<TourPlan> PlanMemory(const RenderOptions& common, const TourOptions& tour,
                                   std::size_t reservedPictures)
{
    std::string problem;
    const auto show = PlanShow(common.width, common.height, common.threads,
                               reservedPictures + TransitionFilm::kPictures, problem);
    if (show && show->pictures < reservedPictures) {
        problem = "not enough memory to record the tour";
    } else if (show) {
        const bool bFilm = show->pictures - reservedPictures >= TransitionFilm::kPictures;
        if (!bFilm && (!tour.filmDirectory.empty() || reservedPictures > 0)) {
            std::cerr << "orvane-render: no memory for the transitions' film\n";
        }
        return TourPlan{show->threads, bFilm ? kMaxTransitionFrames : 0};
    }
    std::cerr << "orvane-render: " << problem << '\n';
    return std::nullopt;
}

}  // namespace

OptionExtension TourOptionParser::Extension()
{
    OptionExtension extension = ClaimingExtension(this, &TourOptionParser::Claim);
    extension.replacesOutput = [this] { return m_options.pictureCount > 0; };
    extension.usage =
        "  --grid FILE         also write the grid picture to FILE\n"
        "\n"
        "usage: orvane-render --tour N [--size WxH] [--threads N] [--max-images M]\n"
        "                     [--prefix PATH | --no-save] [--grid] [--seed S] [--film DIR]\n"
        "\n"
        "Runs the saver's tour without a screen until N zoom pictures are saved, and prints\n"
        "the slot and view of each. Ctrl-C, SIGTERM, SIGHUP or SIGQUIT stops it; what is saved\n"
        "stays intact.\n"
        "\n"
        "  --tour N            zoom pictures to save\n"
        "  --max-images M      slots 1 to M, used in turn (default 10)\n"
        "  --prefix PATH       save as PATH_1.bmp, PATH_2.bmp, ... (default ./orvane)\n"
        "  --no-save           save no pictures, only report them\n"
        "  --grid              also save every grid picture as PATH_N_g.bmp\n"
        "  --seed S            the target finder's counter reads S, S+1, ...: a repeatable tour\n"
        "  --film DIR          write the frames of every zoom transition to DIR\n";
    return extension;
}

int TourOptionParser::Claim(const std::vector<std::string>& args, std::size_t index,
                            std::string& error)
{
    const std::string& option = args[index];
    const std::string value = OptionValue(args, index);
    const auto tourOnly = [this, &option] {
        if (m_tourOnlyOption.empty()) {
            m_tourOnlyOption = option;
        }
    };
    if (option == "--no-save") {
        m_options.bSave = false;
        tourOnly();
        return 1;
    }
    if (option == "--grid") {
        if (!value.empty()) {
            m_options.gridFile = value;
            return 2;
        }
        m_options.bGrid = true;
        tourOnly();
        return 1;
    }
    if (option == "--tour") {
        const auto count = ParseWhole(value, 1);
        if (!count) {
            error = "--tour takes a number of pictures, 1 or more";
        }
        m_options.pictureCount = count.value_or(0);
    } else if (option == "--max-images") {
        const auto count = ParseWhole(value, 1);
        if (!count) {
            error = "--max-images takes a number, 1 or more";
        }
        m_options.maxImages = count.value_or(0);
    } else if (option == "--prefix" || option == "--film") {
        if (value.empty()) {
            error = option + " takes a path";
        }
        (option == "--prefix" ? m_options.prefix : m_options.filmDirectory) = value;
    } else if (option == "--seed") {
        m_options.seed = ParseWhole(value, INT64_MIN);
        if (!m_options.seed) {
            error = "--seed takes a whole number";
        }
    } else {
        return 0;
    }
    if (option != "--tour") {
        tourOnly();
    }
    return 2;
}

std::string TourOptionParser::Validate(const RenderOptions& common) const
{
    if (m_options.pictureCount == 0) {
        return m_tourOnlyOption.empty() ? std::string() : m_tourOnlyOption + " needs --tour";
    }
    if (!m_options.gridFile.empty()) {
        return "with --tour, --grid takes no file: grid pictures go to PATH_N_g.bmp";
    }
    if (!common.outputPath.empty()) {
        return "with --tour, -o has no use: pictures go to PATH_N.bmp";
    }
    if (!m_options.bSave && (m_options.prefix != TourOptions().prefix || m_options.bGrid)) {
        return "--no-save saves nothing: --prefix and --grid have no use with it";
    }
    if (common.bViewChosen) {
        return "with --tour, --home and --view have no use: the tour starts from its home views";
    }
    return {};
}

int RunTour(const RenderOptions& common, const TourOptions& tour,
            const std::atomic<int>& stopSignal, std::ostream& out, ITourRecorder* pRecorder)
{
    if (const std::string problem = CheckDestinations(tour); !problem.empty()) {
        std::cerr << "orvane-render: " << problem << '\n';
        return kFailureStatus;
    }
    if (const std::string problem = FindOneFileTwice(tour); !problem.empty()) {
        std::cerr << "orvane-render: " << problem << '\n';
        return kRefusedStatus;
    }
    const std::optional<TourPlan> plan =
        PlanMemory(common, tour, pRecorder != nullptr ? pRecorder->MemoryInPictures() : 0);
    if (!plan) {
        return kFailureStatus;
    }
    HeadlessShow show(common.width, common.height, plan->threads, plan->filmFrames);
    CRenderContext& context = show.Context();
    if (!HasSearchWindow(common.width, common.height, context.m_sizeCaptionBox.cy)) {
        std::cerr << "orvane-render: --tour: a " << common.width << 'x' << common.height
                  << " picture has no room to search for zoom targets outside its caption ("
                  << context.m_sizeCaptionBox.cy << " rows)\n";
        return kRefusedStatus;
    }
    context.m_strFileBase = tour.prefix;
    context.m_bSaveImages = tour.bSave;
    context.m_bShowGrid = tour.bGrid ? 1 : 0;  // as if the right button were held
    std::optional<platform::SeededCounterClock> seededClock;
    if (tour.seed) {
        context.m_pTargetClock = &seededClock.emplace(*tour.seed);
    }
    CHeadlessTourOwner owner(context, tour, out, pRecorder);
    if (pRecorder != nullptr && !pRecorder->Start(context)) {
        return kFailureStatus;
    }

    context.m_nTourState = 1;
    if (!platform::BeginThread(TourThread, static_cast<ITourOwner*>(&owner))) {
        std::cerr << "orvane-render: cannot start the tour thread\n";
        return kFailureStatus;
    }
    // A signal handler can only set a flag: this thread turns it into the show's stop.
    while (context.m_nTourState != -1) {
        if (stopSignal != 0) {
            StopShow(context);
        }
        platform::Sleep(kWaitPollMs);
    }

    const bool bRecorded =
        pRecorder == nullptr || pRecorder->Finish(stopSignal != 0 || owner.Failed());
    if (owner.Failed() || !bRecorded) {
        return kFailureStatus;
    }
    if (owner.Saved() >= tour.pictureCount) {
        // A stop that came while the last picture was saved ends as a stop all the same.
        return stopSignal != 0 ? StoppedStatus(stopSignal) : 0;
    }
    std::cerr << "orvane-render: stopped after " << owner.Saved() << " of " << tour.pictureCount
              << " pictures" << (stopSignal != 0 ? "" : ": out of memory") << '\n';
    return stopSignal != 0 ? StoppedStatus(stopSignal) : kFailureStatus;
}
