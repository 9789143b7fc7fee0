// orvane-render: renders one picture of the show without a screen.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/iteration_kernel.h"
#include "output/picture_file.h"
#include "platform/files.h"
#include "platform/image_layout.h"
#include "render/headless_show.h"
#include "render/memory_budget.h"
#include "render/progress_line.h"
#include "render/render_options.h"
#include "render/stop_signals.h"
#include "render/tour_mode.h"
#include "render/video_options.h"
#if ORVANE_HAS_VIDEO
#include "output/video_encoder.h"
#include "render/video_mode.h"
#endif

namespace {

// How many bands of the running render have finished.
std::string RenderingText(const CRenderContext& context)
{
    int finished = 0;
    for (const WorkerBand& band : context.m_bands) {
        finished += band.nState.load() == -1 ? 1 : 0;
    }
    const int total = std::max(static_cast<int>(context.m_bands.size()), 1);
    char text[32];
    std::snprintf(text, sizeof text, "rendering %3d %%", 100 * finished / total);
    return text;
}

// The shortest text that reads back as the same double, so that a view can be given again.
std::string Exact(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

bool WriteImage(const std::string& path, const CRenderContext& context, const std::uint8_t* pImage)
{
    const WriteResult result =
        WritePictureFile(path, pImage, context.m_nWidth, context.m_nHeight);
    if (!result) {
        const std::string reason = result.Reason();
        std::fprintf(stderr, "orvane-render: cannot write %s%s%s\n", path.c_str(),
                     reason.empty() ? "" : ": ", reason.c_str());
    }
    return result;
}

// Everything written to stdout reached it; otherwise a message saying why.
bool StdoutComplete()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) {
        return true;
    }
    std::fprintf(stderr, "orvane-render: cannot write to standard output%s%s\n",
                 errno != 0 ? ": " : "", errno != 0 ? std::strerror(errno) : "");
    return false;
}

int RenderPicture(const RenderOptions& options, const std::string& gridFile)
{
    if (!gridFile.empty() && SameOutputFile(options.outputPath, gridFile)) {
        std::fprintf(stderr, "orvane-render: -o and --grid name the same file\n");
        return 2;
    }
    std::string problem;
    const std::optional<ShowPlan> plan =
        PlanShow(options.width, options.height, options.threads, 0, problem);  // no transitions
    if (!plan) {
        std::fprintf(stderr, "orvane-render: %s\n", problem.c_str());
        return 1;
    }
    HeadlessShow show(options.width, options.height, plan->threads, 0, true);
    CRenderContext& context = show.Context();

    const auto start = std::chrono::steady_clock::now();
    {
        // Finding and loading the caption's fonts takes as long as a quick picture: done on a
        // thread of its own while the picture is computed, when one can be had.
        std::optional<std::jthread> captionMeasuring;
        try {
            captionMeasuring.emplace([&context] { context.MeasureCaption(); });
        } catch (const std::system_error&) {
            context.MeasureCaption();
        }
        const StopWhenSignalled stopper(context, g_nStopSignal);
        std::optional<ProgressLine> progress;
        if (isatty(STDERR_FILENO)) {
            progress.emplace([&context] { return RenderingText(context); });
        }
        context.RenderBands(options.centreRe, options.centreIm, options.span);
    }
    if (context.m_bRunning == 0) {
        std::fputs("orvane-render: stopped, nothing written\n", stderr);
        return StoppedStatus(g_nStopSignal);
    }
    context.StampCaption();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    // A picture written to standard output keeps it to itself: known before the file is
    // replaced, when standard output is a plain file.
    const auto stdoutFile = platform::IdentifyFile("/dev/stdout");
    const auto onStdout = [&stdoutFile](const std::string& path) {
        return stdoutFile && !path.empty() && platform::IdentifyFile(path) == stdoutFile;
    };
    const bool bPictureOnStdout = onStdout(options.outputPath) || onStdout(gridFile);
    // The picture is written from the work image, which nothing else needs; the grid is drawn
    // over a copy of it meanwhile, on a thread of its own when one can be had.
    const auto drawGrid = [&context] {
        std::memcpy(context.m_pGrid.get(), context.m_pWork.get(),
                    ImageSize(context.m_nWidth, context.m_nHeight));
        context.DrawGrid();
    };
    std::optional<std::jthread> gridDrawing;
    if (!gridFile.empty()) {
        try {
            gridDrawing.emplace(drawGrid);
        } catch (const std::system_error&) {
            // drawn below, after the picture is written
        }
    }
    const bool bPictureWritten = WriteImage(options.outputPath, context, context.m_pWork.get());
    if (gridDrawing) {
        gridDrawing.reset();  // joins
    } else if (!gridFile.empty()) {
        drawGrid();
    }
    if (!bPictureWritten ||
        (!gridFile.empty() && !WriteImage(gridFile, context, context.m_pGrid.get()))) {
        return 1;
    }
    std::fprintf(bPictureOnStdout ? stderr : stdout,
                 "%dx%d  centre %s %s  span %s  threads %d  kernel %s  %.3f s  -> %s\n",
                 options.width, options.height, Exact(options.centreRe).c_str(),
                 Exact(options.centreIm).c_str(), Exact(options.span).c_str(),
                 context.m_nProcessors, ActiveKernel()->name, elapsed.count(),
                 options.outputPath.c_str());
    if (!StdoutComplete()) {
        return 1;
    }
    // A stop that came while the files were written ends as a stop all the same.
    return g_nStopSignal != 0 ? StoppedStatus(g_nStopSignal) : 0;
}

int Run(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    TourOptionParser tour;
    VideoOptionParser video;
    const std::vector<OptionExtension> extensions{tour.Extension(), video.Extension()};
    ParsedOptions parsed = ParseOptions(args, extensions);
    if (parsed.outcome == ParseOutcome::Run) {
        parsed.error = tour.Validate(parsed.options);
        if (parsed.error.empty()) {
            parsed.error = video.Validate(parsed.options, tour.Options());
        }
        parsed.outcome = parsed.error.empty() ? ParseOutcome::Run : ParseOutcome::Error;
    }
    switch (parsed.outcome) {
    case ParseOutcome::Help:
        std::fputs(UsageText(extensions).c_str(), stdout);
        return StdoutComplete() ? 0 : 1;
    case ParseOutcome::Error:
        std::fprintf(stderr, "orvane-render: %s\n\n%s", parsed.error.c_str(),
                     UsageText(extensions).c_str());
        return 2;
    case ParseOutcome::Run:
        break;
    }
    if (ActiveKernel() == nullptr) {
        std::fprintf(stderr, "orvane-render: %s\n", KernelChoiceError().c_str());
        return 2;
    }
    CatchRendererStopSignals();
    if (tour.Options().pictureCount > 0) {
        std::unique_ptr<ITourRecorder> pRecorder;
#if ORVANE_HAS_VIDEO
        if (!video.Options().path.empty()) {
            // Like an option that is not built in: found out before anything is rendered.
            if (std::string problem; !LoadVideoEncoders(problem)) {
                std::fprintf(stderr, "orvane-render: --video is not available: %s\n",
                             problem.c_str());
                return 2;
            }
            pRecorder = MakeVideoRecorder(video.Options(), parsed.options.width,
                                          parsed.options.height, tour.Options().pictureCount);
        }
#endif
        const int status =
            RunTour(parsed.options, tour.Options(), g_nStopSignal, std::cout, pRecorder.get());
        return status != 0 || StdoutComplete() ? status : 1;
    }
    return RenderPicture(parsed.options, tour.Options().gridFile);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("orvane-render: out of memory\n", stderr);
        return 1;
    } catch (const std::system_error& error) {
        // A thread the program cannot do without (the one that watches for stop signals).
        std::fprintf(stderr, "orvane-render: cannot start a thread: %s\n",
                     error.code().message().c_str());
        return 1;
    }
}
