// Reads a video file back through FFmpeg's libraries, frame by frame in the common image
// layout, as any player would decode it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "platform/image_layout.h"

struct VideoFacts {
    bool bDecoded = false;  // the file opened and every packet decoded without an error
    std::string codec;
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 1};
    double durationSeconds = 0.0;  // as the container gives it
    std::int64_t frameCount = 0;
};

// Decodes every frame of path; onFrame, when given, sees each as a picture in the common
// image layout (bottom-up BGR rows).
inline VideoFacts ReadVideo(
    const std::string& path,
    const std::function<void(const std::vector<std::uint8_t>&)>& onFrame = {})
{
    VideoFacts facts;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, path.c_str(), nullptr, nullptr) < 0) {
        return facts;
    }
    AVCodecContext* pDecoder = nullptr;
    AVPacket* pPacket = av_packet_alloc();
    AVFrame* pFrame = av_frame_alloc();
    SwsContext* pScaler = nullptr;
    bool bOk = avformat_find_stream_info(pFormat, nullptr) >= 0;
    const int index =
        bOk ? av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    bOk = index >= 0;
    if (bOk) {
        const AVStream* pStream = pFormat->streams[index];
        const AVCodec* pCodec = avcodec_find_decoder(pStream->codecpar->codec_id);
        pDecoder = avcodec_alloc_context3(pCodec);
        bOk = pCodec != nullptr &&
              avcodec_parameters_to_context(pDecoder, pStream->codecpar) >= 0 &&
              avcodec_open2(pDecoder, pCodec, nullptr) >= 0;
        facts.codec = pCodec != nullptr ? pCodec->name : "";
        facts.width = pStream->codecpar->width;
        facts.height = pStream->codecpar->height;
        facts.frameRate = pStream->avg_frame_rate;
        facts.durationSeconds =
            pFormat->duration > 0 ? static_cast<double>(pFormat->duration) / AV_TIME_BASE : 0.0;
    }
    std::vector<std::uint8_t> picture(ImageSize(facts.width, facts.height));
    const auto receive = [&] {
        int received = 0;
        while ((received = avcodec_receive_frame(pDecoder, pFrame)) >= 0) {
            ++facts.frameCount;
            if (onFrame) {
                pScaler = sws_getCachedContext(pScaler, pFrame->width, pFrame->height,
                                               static_cast<AVPixelFormat>(pFrame->format),
                                               facts.width, facts.height, AV_PIX_FMT_BGR24,
                                               SWS_POINT, nullptr, nullptr, nullptr);
                const int stride = ImageStride(facts.width);
                std::uint8_t* const rows[] = {picture.data() + static_cast<std::ptrdiff_t>(stride) *
                                                                   (facts.height - 1)};
                const int strides[] = {-stride};
                sws_scale(pScaler, pFrame->data, pFrame->linesize, 0, pFrame->height, rows,
                          strides);
                onFrame(picture);
            }
        }
        return received == AVERROR(EAGAIN) || received == AVERROR_EOF;
    };
    while (bOk && av_read_frame(pFormat, pPacket) >= 0) {
        if (pPacket->stream_index == index) {
            bOk = avcodec_send_packet(pDecoder, pPacket) >= 0 && receive();
        }
        av_packet_unref(pPacket);
    }
    if (bOk) {
        bOk = avcodec_send_packet(pDecoder, nullptr) >= 0 && receive();
    }
    facts.bDecoded = bOk;
    sws_freeContext(pScaler);
    av_frame_free(&pFrame);
    av_packet_free(&pPacket);
    avcodec_free_context(&pDecoder);
    avformat_close_input(&pFormat);
    return facts;
}
