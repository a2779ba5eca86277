// Our G.729 stream read by libavcodec's own G.729 decoder, which shares no
// code with the encoder under test.
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include "signal_metrics.h"
#include "tool_fixture.h"
#include "wav_file.h"

namespace voxline::test {
namespace {

int g_library_errors = 0;

void count_errors(void*, int level, const char*, va_list) {
    if (level <= AV_LOG_ERROR) ++g_library_errors;
}

struct independent_decode {
    std::vector<int16_t> pcm;
    int error_frames = 0;
};

independent_decode decode_with_libavcodec(const std::vector<uint8_t>& stream) {
    independent_decode out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_G729);
    if (codec == nullptr) {
        ADD_FAILURE() << "libavcodec has no G.729 decoder";
        return out;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = 8000;
    av_channel_layout_default(&ctx->ch_layout, 1);
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        ADD_FAILURE() << "libavcodec's G.729 decoder does not open";
        avcodec_free_context(&ctx);
        return out;
    }
    g_library_errors = 0;
    av_log_set_callback(count_errors);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    for (size_t at = 0; at + 10 <= stream.size(); at += 10) {
        av_new_packet(packet, 10);
        std::memcpy(packet->data, stream.data() + at, 10);
        if (avcodec_send_packet(ctx, packet) < 0) ++out.error_frames;
        av_packet_unref(packet);
        while (avcodec_receive_frame(ctx, frame) == 0) {
            if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                ++out.error_frames;
            const int16_t* samples = reinterpret_cast<const int16_t*>(frame->data[0]);
            out.pcm.insert(out.pcm.end(), samples, samples + frame->nb_samples);
            av_frame_unref(frame);
        }
    }
    av_log_set_callback(av_log_default_callback);
    out.error_frames += g_library_errors;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return out;
}

class G729CrossCheck : public ToolTest {
  protected:
    void check(const std::string& wav) {
        const std::vector<int16_t> ours = round_trip("g729", wav, 2);
        ASSERT_FALSE(ours.empty());
        std::vector<uint8_t> stream;
        std::string error;
        ASSERT_TRUE(read_binary_file(path("g729.raw"), stream, error)) << error;
        ASSERT_EQ(stream.size() % 10, 0u);

        const independent_decode theirs = decode_with_libavcodec(stream);
        EXPECT_EQ(theirs.error_frames, 0);
        EXPECT_EQ(theirs.pcm.size(), stream.size() / 10 * 80);
        const size_t lag = best_lag(ours, theirs.pcm, 80);
        const double correlation = envelope_correlation(ours, advance(theirs.pcm, lag));
        EXPECT_GT(correlation, 0.95) << "lag " << lag;
        RecordProperty("envelope_correlation", std::to_string(correlation));
    }
};

TEST_F(G729CrossCheck, IndependentDecoderAgreesOnAToneSweep) {
    std::vector<int16_t> sweep(24000);
    for (size_t i = 0; i < sweep.size(); ++i) {
        const double t = double(i) / 8000.0;
        const double level = 2000.0 + 8000.0 * (0.5 + 0.5 * std::sin(2 * M_PI * 1.5 * t));
        sweep[i] = static_cast<int16_t>(level * std::sin(2 * M_PI * (200.0 + 300.0 * t) * t));
    }
    std::string error;
    ASSERT_TRUE(write_wav_file(path("sweep.wav"), sweep, error)) << error;
    check(path("sweep.wav"));
}

TEST_F(G729CrossCheck, IndependentDecoderAgreesOnSpeech) {
    std::string why;
    const std::string wav = speech_wav(&why);
    if (wav.empty()) GTEST_SKIP() << why;
    check(wav);
}

}  // namespace
}  // namespace voxline::test
