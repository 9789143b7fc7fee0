#include "render/video_mode.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "engine/render_context.h"
#include "engine/show_timeline.h"
#include "engine/zoom_transition.h"
#include "output/video_stream.h"
#include "platform/image_layout.h"
#include "render/progress_line.h"
#include "render/stop_signals.h"

namespace {

// Pictures waiting for the encoder: enough to keep it busy while the next one is drawn.
constexpr std::size_t kQueueLength = 4;
// Pictures beside the queue: the one on screen, the outline on the target, the one being
// encoded and the one being drawn.
constexpr std::size_t kPicturesBesideQueue = 4;

using Clock = std::chrono::steady_clock;

void Report(const std::string& message)
{
    std::cerr << "orvane-render: " << message << std::endl;
}

// m:ss, or h:mm:ss from an hour on.
std::string Duration(double seconds)
{
    const auto whole = static_cast<long long>(seconds);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

class CVideoRecorder : public ITourRecorder {
public:
    CVideoRecorder(const VideoOptions& video, int width, int height, int pictureCount)
        : m_path(video.path),
          m_format(VideoFormatOf(video.path).value_or(VideoFormat::Mkv)),
          m_nWidth(width),
          m_nHeight(height),
          m_nFramesPerSecond(video.framesPerSecond),
          m_holdTicks(SecondsToTicks(video.holdSeconds)),
          m_nPictureCount(pictureCount),
          m_clock(video.framesPerSecond)
    {
    }

    std::size_t MemoryInPictures() const override
    {
        const std::uint64_t picture = ImageSize(m_nWidth, m_nHeight);
        const std::uint64_t encoder = VideoEncoderMemory(m_format, m_nWidth, m_nHeight);
        return kQueueLength + kPicturesBesideQueue +
               static_cast<std::size_t>((encoder + picture - 1) / picture);
    }

    bool Start(CRenderContext& context) override
    {
        // Found out now rather than when the finished video is to take the folder's place.
        if (std::error_code error; std::filesystem::is_directory(m_path, error)) {
            Report("cannot write " + m_path + ": it is a folder");
            return false;
        }
        std::string error;
        std::unique_ptr<VideoEncoder> pEncoder =
            OpenVideoEncoder(m_format, m_nWidth, m_nHeight, m_nFramesPerSecond, error);
        if (!pEncoder) {
            Report("cannot record " + m_path + ": " + error);
            return false;
        }
        try {
            m_pStream = std::make_unique<VideoStream>(std::move(pEncoder), m_path, kQueueLength);
        } catch (const std::system_error&) {
            Report("cannot start the video's thread");
            return false;
        }
        if (!m_pStream->WaitBegun()) {
            Report(m_pStream->Error());
            return false;
        }
        m_pContext = &context;
        context.m_fnFilmReady = [this, saveFilm = std::move(context.m_fnFilmReady)] {
            if (saveFilm) {
                saveFilm();
            }
            if (m_pContext->m_bRunning) {
                RecordTransition();
            }
        };
        m_started = Clock::now();
        if (isatty(STDERR_FILENO)) {
            m_progress.emplace([this] { return ProgressText(); });
        }
        return true;
    }

    void OnPause() override
    {
        if (m_onScreen) {
            Emit(m_onScreen, m_clock.Pass(PauseLength()).Count());
        }
    }

    void OnPictureSaved() override
    {
        const CRenderContext& context = *m_pContext;
        m_onScreen = CopyOf(context.m_pDisplay.get());
        m_viewOnScreen = {context.m_dCentreRe, context.m_dCentreIm, context.m_dSpanRe,
                          context.m_dSpanIm};
        Emit(m_onScreen, m_clock.Pass(m_holdTicks).Count());
        ++m_nPicturesDone;
    }

    bool Finish(bool bStopped) override
    {
        const bool bWritten = m_pStream->Finish(bStopped);
        m_progress.reset();
        if (!bWritten) {
            Report(m_pStream->Error());
        }
        return bWritten;
    }

private:
    using Kind = TransitionScene::Kind;

    // The transition the show plays next, from the picture on screen into the one just
    // computed, whose film is ready.
    void RecordTransition()
    {
        CRenderContext& context = *m_pContext;
        const PictureRect target = ComputeTargetRect(
            m_nWidth, m_nHeight, m_viewOnScreen,
            {context.m_dCentreRe, context.m_dCentreIm, context.m_dSpanRe, context.m_dSpanIm});
        const int filmFrames = static_cast<int>(context.m_frames.size());
        const VideoFrameClock::Stretch stretch = m_clock.Pass(TransitionLength(filmFrames));
        const auto sceneOf = [&](std::int64_t frame) {
            return TransitionSceneAt(m_clock.MomentOf(stretch, frame), filmFrames);
        };
        VideoPicture onTarget;
        std::int64_t frame = stretch.first;
        while (frame < stretch.end && context.m_bRunning && !m_bFailed) {
            const TransitionScene scene = sceneOf(frame);
            std::int64_t end = frame + 1;
            while (end < stretch.end && sceneOf(end) == scene) {
                ++end;
            }
            switch (scene.kind) {
            case Kind::Picture:
                Emit(m_onScreen, end - frame);
                break;
            case Kind::OutlineStep:
                Emit(WithOutline(OutlineAtStep(target, m_nWidth, m_nHeight, scene.index)),
                     end - frame);
                break;
            case Kind::OutlineOnTarget:
                if (!onTarget) {
                    onTarget = WithOutline(target);
                }
                Emit(onTarget, end - frame);
                break;
            case Kind::FilmFrame:
                Emit(CopyOf(context.m_frames.Frame(scene.index, context.m_nProcessors)),
                     end - frame);
                break;
            }
            frame = end;
        }
    }

    VideoPicture CopyOf(const std::uint8_t* pImage) const
    {
        return std::make_shared<const std::vector<std::uint8_t>>(
            pImage, pImage + ImageSize(m_nWidth, m_nHeight));
    }

    // The picture on screen with an outline over it, as the transition draws it.
    VideoPicture WithOutline(const PictureRect& rect) const
    {
        auto picture = std::make_shared<std::vector<std::uint8_t>>(*m_onScreen);
        DrawOutlineOverPicture(m_pContext->GetWindow(), picture->data(), m_nWidth, m_nHeight, rect);
        return picture;
    }

    // A video that cannot be written ends the tour.
    void Emit(VideoPicture picture, std::int64_t count)
    {
        if (!m_bFailed && !m_pStream->Add(std::move(picture), count)) {
            m_bFailed = true;
            StopShow(*m_pContext);
        }
    }

    std::string ProgressText() const
    {
        const int done = m_nPicturesDone;
        const double elapsed = std::chrono::duration<double>(Clock::now() - m_started).count();
        std::string text =
            "picture " + std::to_string(done) + " of " + std::to_string(m_nPictureCount) + ", " +
            Duration(static_cast<double>(m_pStream->FramesWritten()) / m_nFramesPerSecond) +
            " of video written, ";
        if (done >= m_nPictureCount) {
            return text + "finishing";
        }
        if (done == 0) {
            return text + "estimating the time left";
        }
        return text + "about " + Duration(elapsed * (m_nPictureCount - done) / done) + " left";
    }

    const std::string m_path;
    const VideoFormat m_format;
    const int m_nWidth;
    const int m_nHeight;
    const int m_nFramesPerSecond;
    const ShowTicks m_holdTicks;
    const int m_nPictureCount;

    // On the tour thread:
    CRenderContext* m_pContext = nullptr;
    VideoFrameClock m_clock;
    VideoPicture m_onScreen;  // the latest finished picture
    ViewBox m_viewOnScreen;
    bool m_bFailed = false;

    std::unique_ptr<VideoStream> m_pStream;
    std::atomic<int> m_nPicturesDone{0};
    Clock::time_point m_started;
    std::optional<ProgressLine> m_progress;  // last: it reads the members above
};

}  // namespace

std::unique_ptr<ITourRecorder> MakeVideoRecorder(const VideoOptions& video, int width, int height,
                                                 int pictureCount)
{
    return std::make_unique<CVideoRecorder>(video, width, height, pictureCount);
}
