#include "output/video_file.h"

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
struct FormatSpec {
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
constexpr FormatSpec kFormats[] = {
    {"mp4", "libx264", AV_PIX_FMT_YUV420P, "preset=veryfast crf=14 x264-params=aq-mode=3", false},
    {"webm", "libvpx-vp9", AV_PIX_FMT_YUV420P,
     "crf=13 b=0 deadline=realtime cpu-used=6 row-mt=1 aq-mode=1", false},
    {"matroska", "ffv1", AV_PIX_FMT_BGR0, "level=3 slicecrc=1 g=1", true},
};

const FormatSpec& SpecOf(VideoFormat format)
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

// Reaches the file through the writer's FILE, in whichever of the two signatures this
// FFmpeg declares for writing.
template <typename Byte>
int WriteToFile(void* pOpaque, Byte* pData, int size);
std::int64_t SeekInFile(void* pOpaque, std::int64_t offset, int whence);

}  // namespace

struct VideoEncoder::Codec {
    VideoFormat format = VideoFormat::Mp4;
    int width = 0;
    int height = 0;
    AVFormatContext* pMuxer = nullptr;
    AVIOContext* pIo = nullptr;
    AVCodecContext* pEncoder = nullptr;
    AVStream* pStream = nullptr;
    SwsContext* pScaler = nullptr;
    AVFrame* pFrame = nullptr;
    AVPacket* pPacket = nullptr;
    // With key frames only, a picture shown again repeats its packet rather than being
    // encoded again, once the picture has come out as one packet.
    bool bKeyFramesOnly = false;
    AVPacket* pLastPacket = nullptr;
    int packetsWritten = 0;
    std::FILE* pFile = nullptr;
    std::int64_t nextPts = 0;
    int writeError = 0;  // errno of the first write that failed
    std::string error;

    ~Codec()
    {
        av_packet_free(&pLastPacket);
        av_packet_free(&pPacket);
        av_frame_free(&pFrame);
        sws_freeContext(pScaler);
        avcodec_free_context(&pEncoder);
        if (pIo != nullptr) {
            av_freep(&pIo->buffer);
            avio_context_free(&pIo);
        }
        avformat_free_context(pMuxer);
    }

    // False with error set from an FFmpeg result below 0, or from the file's errno.
    bool Check(int result, const char* what)
    {
        if (result >= 0) {
            return true;
        }
        if (writeError != 0) {
            error = std::strerror(writeError);
            errno = writeError;
        } else {
            error = std::string(what) + ": " + FfmpegError(result);
            errno = 0;
        }
        return false;
    }

    // Hands the packets the codec has ready to the file.
    bool WritePackets()
    {
        for (;;) {
            const int received = avcodec_receive_packet(pEncoder, pPacket);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return true;
            }
            if (!Check(received, "encoding")) {
                return false;
            }
            if (bKeyFramesOnly && ++packetsWritten == 1 &&
                !Check(av_packet_ref(pLastPacket, pPacket), "encoding")) {
                return false;
            }
            if (!Write(pPacket)) {
                return false;
            }
        }
    }

    bool Write(AVPacket* pWritten)
    {
        av_packet_rescale_ts(pWritten, pEncoder->time_base, pStream->time_base);
        pWritten->stream_index = pStream->index;
        return Check(av_write_frame(pMuxer, pWritten), "writing");
    }

    // Sends a frame, or null at the end, once the codec has room for it.
    bool Send(const AVFrame* pSent)
    {
        int sent = avcodec_send_frame(pEncoder, pSent);
        while (sent == AVERROR(EAGAIN)) {
            if (!WritePackets()) {
                return false;
            }
            sent = avcodec_send_frame(pEncoder, pSent);
        }
        return Check(sent, "encoding") && WritePackets();
    }
};

namespace {

template <typename Byte>
int WriteToFile(void* pOpaque, Byte* pData, int size)
{
    auto& codec = *static_cast<VideoEncoder::Codec*>(pOpaque);
    errno = 0;
    if (std::fwrite(pData, 1, static_cast<std::size_t>(size), codec.pFile) ==
        static_cast<std::size_t>(size)) {
        return size;
    }
    if (codec.writeError == 0) {
        codec.writeError = errno != 0 ? errno : EIO;
    }
    return AVERROR(codec.writeError);
}

std::int64_t SeekInFile(void* pOpaque, std::int64_t offset, int whence)
{
    std::FILE* pFile = static_cast<VideoEncoder::Codec*>(pOpaque)->pFile;
    if ((whence & AVSEEK_SIZE) != 0) {
        return AVERROR(ENOSYS);  // muxers need only the place they write at
    }
    if (fseeko(pFile, offset, whence & ~AVSEEK_FORCE) != 0) {
        return AVERROR(errno);
    }
    return ftello(pFile);
}

// The options of a spec as FFmpeg's dictionary.
AVDictionary* OptionsOf(const FormatSpec& spec)
{
    AVDictionary* pOptions = nullptr;
    av_dict_parse_string(&pOptions, spec.options, "=", " ", 0);
    return pOptions;
}

}  // namespace

VideoEncoder::VideoEncoder(std::unique_ptr<Codec> pCodec) : m_pCodec(std::move(pCodec)) {}

VideoEncoder::~VideoEncoder() = default;

std::unique_ptr<VideoEncoder> VideoEncoder::Open(VideoFormat format, int width, int height,
                                                 int framesPerSecond, std::string& error)
{
    av_log_set_level(AV_LOG_ERROR);
    const FormatSpec& spec = SpecOf(format);
    auto pCodec = std::make_unique<Codec>();
    Codec& c = *pCodec;
    c.format = format;
    c.width = width;
    c.height = height;
    const AVCodec* pCodecInfo = avcodec_find_encoder_by_name(spec.codec);
    if (pCodecInfo == nullptr) {
        error = std::string("this FFmpeg has no ") + spec.codec + " encoder";
        return nullptr;
    }
    if (avformat_alloc_output_context2(&c.pMuxer, nullptr, spec.muxer, nullptr) < 0 ||
        (c.pEncoder = avcodec_alloc_context3(pCodecInfo)) == nullptr ||
        (c.pFrame = av_frame_alloc()) == nullptr || (c.pPacket = av_packet_alloc()) == nullptr ||
        (c.pLastPacket = av_packet_alloc()) == nullptr) {
        error = "out of memory";
        return nullptr;
    }
    // The same frames give the same file: no random identifiers, no version strings.
    c.pMuxer->flags |= AVFMT_FLAG_BITEXACT;

    AVCodecContext& encoder = *c.pEncoder;
    encoder.width = width;
    encoder.height = height;
    encoder.pix_fmt = spec.pixels;
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
    if ((c.pMuxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* pOptions = OptionsOf(spec);
    const int opened = avcodec_open2(c.pEncoder, pCodecInfo, &pOptions);
    av_dict_free(&pOptions);
    if (opened < 0) {
        error = std::string(spec.codec) + " refuses " + std::to_string(width) + "x" +
                std::to_string(height) + " at " + std::to_string(framesPerSecond) +
                " frames a second: " + FfmpegError(opened);
        return nullptr;
    }

    c.bKeyFramesOnly = spec.bKeyFramesOnly;
    c.pStream = avformat_new_stream(c.pMuxer, nullptr);
    if (c.pStream == nullptr ||
        avcodec_parameters_from_context(c.pStream->codecpar, c.pEncoder) < 0) {
        error = "out of memory";
        return nullptr;
    }
    c.pStream->time_base = encoder.time_base;
    c.pStream->avg_frame_rate = encoder.framerate;

    c.pScaler = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, spec.pixels,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                               nullptr, nullptr);
    c.pFrame->format = spec.pixels;
    c.pFrame->width = width;
    c.pFrame->height = height;
    if (c.pScaler == nullptr || av_frame_get_buffer(c.pFrame, 0) < 0) {
        error = "out of memory";
        return nullptr;
    }
    if (format != VideoFormat::Mkv) {
        // Full-range RGB into the BT.709 matrix at video levels, as tagged above.
        sws_setColorspaceDetails(c.pScaler, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    }
    return std::unique_ptr<VideoEncoder>(new VideoEncoder(std::move(pCodec)));
}

bool VideoEncoder::Begin(std::FILE* pFile)
{
    Codec& c = *m_pCodec;
    c.pFile = pFile;
    auto* pBuffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    c.pIo = pBuffer == nullptr ? nullptr
                               : avio_alloc_context(pBuffer, kIoBufferSize, 1, &c, nullptr,
                                                    &WriteToFile, &SeekInFile);
    if (c.pIo == nullptr) {
        av_free(pBuffer);
        return c.Check(AVERROR(ENOMEM), "starting");
    }
    c.pMuxer->pb = c.pIo;
    return c.Check(avformat_write_header(c.pMuxer, nullptr), "writing the header");
}

bool VideoEncoder::Add(const std::uint8_t* pPicture)
{
    Codec& c = *m_pCodec;
    // A new buffer when the codec still holds the last picture's.
    if (!c.Check(av_frame_make_writable(c.pFrame), "converting")) {
        return false;
    }
    // The picture's rows run bottom-up: start at its top row and step backwards.
    const int stride = ImageStride(c.width);
    const std::uint8_t* const source[] = {pPicture +
                                          static_cast<std::ptrdiff_t>(stride) * (c.height - 1)};
    const int sourceStride[] = {-stride};
    sws_scale(c.pScaler, source, sourceStride, 0, c.height, c.pFrame->data, c.pFrame->linesize);
    av_packet_unref(c.pLastPacket);
    c.packetsWritten = 0;
    c.pFrame->pts = c.nextPts++;
    if (!c.Send(c.pFrame)) {
        return false;
    }
    if (c.packetsWritten != 1) {
        av_packet_unref(c.pLastPacket);  // not this picture's alone
    }
    return true;
}

bool VideoEncoder::Repeat()
{
    Codec& c = *m_pCodec;
    if (c.pLastPacket->data != nullptr) {
        if (!c.Check(av_packet_ref(c.pPacket, c.pLastPacket), "repeating")) {
            return false;
        }
        c.pPacket->pts = c.pPacket->dts = c.nextPts++;
        const bool bWritten = c.Write(c.pPacket);
        av_packet_unref(c.pPacket);
        return bWritten;
    }
    c.pFrame->pts = c.nextPts++;
    return c.Send(c.pFrame);
}

bool VideoEncoder::End()
{
    Codec& c = *m_pCodec;
    if (!c.Send(nullptr) || !c.Check(av_write_trailer(c.pMuxer), "finishing")) {
        return false;
    }
    avio_flush(c.pIo);
    return c.Check(c.pIo->error, "finishing");
}

std::int64_t VideoEncoder::FrameCount() const
{
    return m_pCodec->nextPts;
}

const std::string& VideoEncoder::Error() const
{
    return m_pCodec->error;
}
