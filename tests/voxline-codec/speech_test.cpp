#include "signal_metrics.h"
#include "tool_fixture.h"
#include "wav_file.h"

namespace voxline::test {
namespace {

class Speech : public ToolTest {};

TEST_F(Speech, EachCodecKeepsTheSpeechEnvelope) {
    std::string why;
    const std::string wav = speech_wav(&why);
    if (wav.empty()) GTEST_SKIP() << why;
    std::vector<int16_t> input;
    std::string error;
    ASSERT_TRUE(read_wav_file(wav, input, error)) << error;
    ASSERT_GT(input.size(), 8000u * 3) << "expected a few seconds of speech";

    struct codec_case {
        const char* codec;
        bool waveform;  // G.711 keeps the waveform itself, so its SNR is checked too
    };
    for (const codec_case c : {codec_case{"g711u", true}, codec_case{"g711a", true},
                               codec_case{"g729", false}, codec_case{"g723", false}}) {
        const std::vector<int16_t> out = round_trip(c.codec, wav);
        ASSERT_FALSE(out.empty()) << c.codec;
        const size_t lag = best_lag(input, out, 240);
        const std::vector<int16_t> aligned = advance(out, lag);
        const double correlation = envelope_correlation(input, aligned);
        EXPECT_GT(correlation, 0.9) << c.codec << " (lag " << lag << ")";
        if (c.waveform) {
            EXPECT_EQ(lag, 0u) << c.codec;
            EXPECT_GT(segmental_snr_db(input, aligned), 30.0) << c.codec;
        }
        RecordProperty(std::string(c.codec) + "_envelope_correlation", std::to_string(correlation));
    }
}

}  // namespace
}  // namespace voxline::test
