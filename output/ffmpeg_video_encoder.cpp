// FFmpeg's encoders and muxers behind VideoEncoder, built alone as the module orvane-video.so.
#include "output/video_encoder.h"

#include <cerrno>
#include <cstring>

#include "platform/image_layout.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

// What each format is made of, and how hard its codec works.
struct FormatRecipe {
    const char* muxer;
    const char* codec;
    AVPixelFormat pixels;
    // Codec options, "name=value" pairs separated by spaces.
    const char* options;
    // Every frame a key frame: a picture shown again may repeat its packet.
    bool bKeyFramesOnly;
};

// The palette's ramps are runs of flat bands one level apart, which a coarse quantiser
// merges into broad steps with blocky edges. Measured on zoom pictures and film frames at
// 1920 × 1080, as steps of 3 levels or more decoded where the picture steps by at most 1:
// 0.11 per thousand ramp pixels come from 4:2:0 colour alone, 1.24 from x264 at its default
// CRF 23, 0.74 from x264 at CRF 14 with variance-based quantiser adaptation biased to dark
// areas, 0.75 from VP9 at CRF 13 with variance adaptation, and no band shows. Real-time VP9
// at speed 6 encodes many times faster than its good mode. FFV1 keeps every byte; each frame
// stands alone, with a checksum per slice, so damage to the file loses only the frames it
// hits.
// In the order of VideoFormat.
constexpr FormatRecipe kFormats[] = {
    {"mp4", "libx264", AV_PIX_FMT_YUV420P, "preset=veryfast crf=14 x264-params=aq-mode=3", false},
    {"webm", "libvpx-vp9", AV_PIX_FMT_YUV420P,
     "crf=13 b=0 deadline=realtime cpu-used=6 row-mt=1 aq-mode=1", false},
    {"matroska", "ffv1", AV_PIX_FMT_BGR0, "level=3 slicecrc=1 g=1", true},
};

const FormatRecipe& RecipeOf(VideoFormat format)
{
    return kFormats[static_cast<int>(format)];
}

// Seconds between key frames in the compressed formats, so that players can seek.
constexpr int kKeyFrameSeconds = 5;
constexpr int kIoBufferSize = 1 << 16;

std::string FfmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// One video through FFmpeg: converted by libswscale, encoded, and muxed through an AVIO
// context onto the whole-file writer's FILE.
class FfmpegVideoEncoder final : public VideoEncoder {
public:
    // Null, with error saying why, when this FFmpeg lacks the format's codec or the codec
    // refuses the size.
    static std::unique_ptr<FfmpegVideoEncoder> Open(VideoFormat format, int width, int height,
                                                    int framesPerSecond, std::string& error);
    FfmpegVideoEncoder(int width, int height) : m_nWidth(width), m_nHeight(height) {}
    ~FfmpegVideoEncoder() override;
    FfmpegVideoEncoder(const FfmpegVideoEncoder&) = delete;
    FfmpegVideoEncoder& operator=(const FfmpegVideoEncoder&) = delete;

    bool Begin(std::FILE* pFile) override;
    bool Add(const std::uint8_t* pPicture) override;
    bool Repeat() override;
    bool End() override;
    std::int64_t FrameCount() const override { return m_nextPts; }
    const std::string& Error() const override { return m_error; }

private:
    // Reach the file through the writer's FILE, in whichever of the two signatures this
    // FFmpeg declares for writing.
    template <typename Byte>
    static int WriteToFile(void* pOpaque, Byte* pData, int size);
    static std::int64_t SeekInFile(void* pOpaque, std::int64_t offset, int whence);

    // False with the error set from an FFmpeg result below 0, or from the file's errno.
    bool Check(int result, const char* what);
    // Hands the packets the codec has ready to the file.
    bool WritePackets();
    bool Write(AVPacket* pWritten);
    // Sends a frame, or null at the end, once the codec has room for it.
    bool Send(const AVFrame* pSent);

    const int m_nWidth;
    const int m_nHeight;
    AVFormatContext* m_pMuxer = nullptr;
    AVIOContext* m_pIo = nullptr;
    AVCodecContext* m_pEncoder = nullptr;
    AVStream* m_pStream = nullptr;
    SwsContext* m_pScaler = nullptr;
    AVFrame* m_pFrame = nullptr;
    AVPacket* m_pPacket = nullptr;
    // With key frames only, a picture shown again repeats its packet rather than being
    // encoded again, once the picture has come out as one packet.
    bool m_bKeyFramesOnly = false;
    AVPacket* m_pLastPacket = nullptr;
    int m_nPacketsWritten = 0;
    std::FILE* m_pFile = nullptr;
    std::int64_t m_nextPts = 0;
    int m_nWriteError = 0;  // errno of the first write that failed
    std::string m_error;
};

// The options of a recipe as FFmpeg's dictionary.
AVDictionary* OptionsOf(const FormatRecipe& recipe)
{
    AVDictionary* pOptions = nullptr;
    av_dict_parse_string(&pOptions, recipe.options, "=", " ", 0);
    return pOptions;
}

std::unique_ptr<FfmpegVideoEncoder> FfmpegVideoEncoder::Open(VideoFormat format, int width,
                                                             int height, int framesPerSecond,
                                                             std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);
    const FormatRecipe& recipe = RecipeOf(format);
    auto pVideo = std::make_unique<FfmpegVideoEncoder>(width, height);
    FfmpegVideoEncoder& v = *pVideo;
    const AVCodec* pCodecInfo = avcodec_find_encoder_by_name(recipe.codec);
    if (pCodecInfo == nullptr) {
        error = std::string("this FFmpeg has no ") + recipe.codec + " encoder";
        return nullptr;
    }
    if (avformat_alloc_output_context2(&v.m_pMuxer, nullptr, recipe.muxer, nullptr) < 0 ||
        (v.m_pEncoder = avcodec_alloc_context3(pCodecInfo)) == nullptr ||
        (v.m_pFrame = av_frame_alloc()) == nullptr ||
        (v.m_pPacket = av_packet_alloc()) == nullptr ||
        (v.m_pLastPacket = av_packet_alloc()) == nullptr) {
        error = "out of memory";
        return nullptr;
    }
    // The same frames give the same file: no random identifiers, no version strings.
    v.m_pMuxer->flags |= AVFMT_FLAG_BITEXACT;

    AVCodecContext& encoder = *v.m_pEncoder;
    encoder.width = width;
    encoder.height = height;
    encoder.pix_fmt = recipe.pixels;
    encoder.time_base = AVRational{1, framesPerSecond};
    encoder.framerate = AVRational{framesPerSecond, 1};
    encoder.flags |= AV_CODEC_FLAG_BITEXACT;
    encoder.thread_count = 0;  // as many as the codec finds useful
    if (format == VideoFormat::Mkv) {
        // The pictures as they are: sRGB.
        encoder.colorspace = AVCOL_SPC_RGB;
        encoder.color_primaries = AVCOL_PRI_BT709;
        encoder.color_trc = AVCOL_TRC_IEC61966_2_1;
        encoder.color_range = AVCOL_RANGE_JPEG;
    } else {
        // High-definition video as every player expects it.
        encoder.colorspace = AVCOL_SPC_BT709;
        encoder.color_primaries = AVCOL_PRI_BT709;
        encoder.color_trc = AVCOL_TRC_BT709;
        encoder.color_range = AVCOL_RANGE_MPEG;
        encoder.gop_size = kKeyFrameSeconds * framesPerSecond;
    }
    if ((v.m_pMuxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* pOptions = OptionsOf(recipe);
    const int opened = avcodec_open2(v.m_pEncoder, pCodecInfo, &pOptions);
    av_dict_free(&pOptions);
    if (opened < 0) {
        error = std::string(recipe.codec) + " refuses " + std::to_string(width) + "x" +
                std::to_string(height) + " at " + std::to_string(framesPerSecond) +
                " frames a second: " + FfmpegError(opened);
        return nullptr;
    }

    v.m_bKeyFramesOnly = recipe.bKeyFramesOnly;
    v.m_pStream = avformat_new_stream(v.m_pMuxer, nullptr);
    if (v.m_pStream == nullptr ||
        avcodec_parameters_from_context(v.m_pStream->codecpar, v.m_pEncoder) < 0) {
        error = "out of memory";
        return nullptr;
    }
    v.m_pStream->time_base = encoder.time_base;
    v.m_pStream->avg_frame_rate = encoder.framerate;

    v.m_pScaler = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, recipe.pixels,
                                 SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                                 nullptr, nullptr);
    v.m_pFrame->format = recipe.pixels;
    v.m_pFrame->width = width;
    v.m_pFrame->height = height;
    if (v.m_pScaler == nullptr || av_frame_get_buffer(v.m_pFrame, 0) < 0) {
        error = "out of memory";
        return nullptr;
    }
    if (format != VideoFormat::Mkv) {
        // Full-range RGB into the BT.709 matrix at video levels, as tagged above.
        sws_setColorspaceDetails(v.m_pScaler, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    }
    return pVideo;
}

FfmpegVideoEncoder::~FfmpegVideoEncoder()
{
    av_packet_free(&m_pLastPacket);
    av_packet_free(&m_pPacket);
    av_frame_free(&m_pFrame);
    sws_freeContext(m_pScaler);
    avcodec_free_context(&m_pEncoder);
    if (m_pIo != nullptr) {
        av_freep(&m_pIo->buffer);
        avio_context_free(&m_pIo);
    }
    avformat_free_context(m_pMuxer);
}

bool FfmpegVideoEncoder::Begin(std::FILE* pFile)
{
    m_pFile = pFile;
    auto* pBuffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    m_pIo = pBuffer == nullptr ? nullptr
                               : avio_alloc_context(pBuffer, kIoBufferSize, 1, this, nullptr,
                                                    &WriteToFile, &SeekInFile);
    if (m_pIo == nullptr) {
        av_free(pBuffer);
        return Check(AVERROR(ENOMEM), "starting");
    }
    m_pMuxer->pb = m_pIo;
    return Check(avformat_write_header(m_pMuxer, nullptr), "writing the header");
}

bool FfmpegVideoEncoder::Add(const std::uint8_t* pPicture)
{
    // A new buffer when the codec still holds the last picture's.
    if (!Check(av_frame_make_writable(m_pFrame), "converting")) {
        return false;
    }
    // The picture's rows run bottom-up: start at its top row and step backwards.
    const int stride = ImageStride(m_nWidth);
    const std::uint8_t* const source[] = {pPicture +
                                          static_cast<std::ptrdiff_t>(stride) * (m_nHeight - 1)};
    const int sourceStride[] = {-stride};
    sws_scale(m_pScaler, source, sourceStride, 0, m_nHeight, m_pFrame->data, m_pFrame->linesize);
    av_packet_unref(m_pLastPacket);
    m_nPacketsWritten = 0;
    m_pFrame->pts = m_nextPts++;
    if (!Send(m_pFrame)) {
        return false;
    }
    if (m_nPacketsWritten != 1) {
        av_packet_unref(m_pLastPacket);  // not this picture's alone
    }
    return true;
}

bool FfmpegVideoEncoder::Repeat()
{
    if (m_pLastPacket->data != nullptr) {
        if (!Check(av_packet_ref(m_pPacket, m_pLastPacket), "repeating")) {
            return false;
        }
        m_pPacket->pts = m_pPacket->dts = m_nextPts++;
        const bool bWritten = Write(m_pPacket);
        av_packet_unref(m_pPacket);
        return bWritten;
    }
    m_pFrame->pts = m_nextPts++;
    return Send(m_pFrame);
}

bool FfmpegVideoEncoder::End()
{
    if (!Send(nullptr) || !Check(av_write_trailer(m_pMuxer), "finishing")) {
        return false;
    }
    avio_flush(m_pIo);
    return Check(m_pIo->error, "finishing");
}

template <typename Byte>
int FfmpegVideoEncoder::WriteToFile(void* pOpaque, Byte* pData, int size)
{
    FfmpegVideoEncoder& video = *static_cast<FfmpegVideoEncoder*>(pOpaque);
    errno = 0;
    if (std::fwrite(pData, 1, static_cast<std::size_t>(size), video.m_pFile) ==
        static_cast<std::size_t>(size)) {
        return size;
    }
    if (video.m_nWriteError == 0) {
        video.m_nWriteError = errno != 0 ? errno : EIO;
    }
    return AVERROR(video.m_nWriteError);
}

std::int64_t FfmpegVideoEncoder::SeekInFile(void* pOpaque, std::int64_t offset, int whence)
{
    std::FILE* pFile = static_cast<FfmpegVideoEncoder*>(pOpaque)->m_pFile;
    if ((whence & AVSEEK_SIZE) != 0) {
        return AVERROR(ENOSYS);  // muxers need only the place they write at
    }
    if (fseeko(pFile, offset, whence & ~AVSEEK_FORCE) != 0) {
        return AVERROR(errno);
    }
    return ftello(pFile);
}

bool FfmpegVideoEncoder::Check(int result, const char* what)
{
    if (result >= 0) {
        return true;
    }
    if (m_nWriteError != 0) {
        m_error = std::strerror(m_nWriteError);
        errno = m_nWriteError;
    } else {
        m_error = std::string(what) + ": " + FfmpegError(result);
        errno = 0;
    }
    return false;
}

bool FfmpegVideoEncoder::WritePackets()
{
    for (;;) {
        const int received = avcodec_receive_packet(m_pEncoder, m_pPacket);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (!Check(received, "encoding")) {
            return false;
        }
        if (m_bKeyFramesOnly && ++m_nPacketsWritten == 1 &&
            !Check(av_packet_ref(m_pLastPacket, m_pPacket), "encoding")) {
            return false;
        }
        if (!Write(m_pPacket)) {
            return false;
        }
    }
}

bool FfmpegVideoEncoder::Write(AVPacket* pWritten)
{
    av_packet_rescale_ts(pWritten, m_pEncoder->time_base, m_pStream->time_base);
    pWritten->stream_index = m_pStream->index;
    return Check(av_write_frame(m_pMuxer, pWritten), "writing");
}

bool FfmpegVideoEncoder::Send(const AVFrame* pSent)
{
    int sent = avcodec_send_frame(m_pEncoder, pSent);
    while (sent == AVERROR(EAGAIN)) {
        if (!WritePackets()) {
            return false;
        }
        sent = avcodec_send_frame(m_pEncoder, pSent);
    }
    return Check(sent, "encoding") && WritePackets();
}

}  // namespace

// The module's entry: the only symbol it exports.
extern "C" __attribute__((visibility("default"))) VideoEncoder* OrvaneOpenVideoEncoder(
    VideoFormat format, int width, int height, int framesPerSecond, std::string& error)
{
    return FfmpegVideoEncoder::Open(format, width, height, framesPerSecond, error).release();
}
