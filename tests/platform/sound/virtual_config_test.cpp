#include "platform/sound/virtual_config.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

TEST(VirtualConfig, AcceptsTheGrammar) {
    virtual_config c;
    std::string error;
    ASSERT_TRUE(parse_virtual_config(
        "mic=tone:440.5:1200,speaker=/tmp/s.wav,echo=120:6.5,fail=busy:out", c, error))
        << error;
    EXPECT_EQ(c.mic, virtual_mic_kind::tone);
    EXPECT_DOUBLE_EQ(c.tone_hz, 440.5);
    EXPECT_EQ(c.tone_peak, 1200);
    EXPECT_EQ(c.speaker_file, "/tmp/s.wav");
    EXPECT_TRUE(c.echo);
    EXPECT_EQ(c.echo_delay_ms, 120);
    EXPECT_DOUBLE_EQ(c.echo_atten_db, 6.5);
    EXPECT_EQ(c.fault, virtual_fault::busy);
    EXPECT_EQ(c.fault_side, virtual_fault_side::output);

    ASSERT_TRUE(parse_virtual_config("speaker=discard,mic=a b.wav", c, error)) << error;
    EXPECT_EQ(c.mic, virtual_mic_kind::wav);
    EXPECT_EQ(c.mic_file, "a b.wav");
    EXPECT_TRUE(c.speaker_file.empty());
    EXPECT_FALSE(c.echo);
}

TEST(VirtualConfig, RefusesWhatItCannotUnderstand) {
    for (const char* text : {"mic=",
                             "mic=tone:",
                             "mic=tone:0",
                             "mic=tone:4000",
                             "mic=tone:nan",
                             "mic=tone:440:40000",
                             "mic=tone:440:-1",
                             "mic=tone:440x",
                             "speaker=",
                             "echo=50",
                             "echo=-1:3",
                             "echo=6000:3",
                             "echo=50:-3",
                             "echo=50:inf",
                             "fail=sometimes",
                             "fail=busy:both",
                             "volume=3",
                             "mic=silence,",
                             "mic=silence,mic=silence",
                             "speaker"}) {
        virtual_config c;
        std::string error;
        EXPECT_FALSE(parse_virtual_config(text, c, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
}  // namespace voxline::test
