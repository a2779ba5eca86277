#include "platform/sound/portaudio_config.h"

#include <gtest/gtest.h>

namespace voxline::test {
namespace {

TEST(PortAudioConfig, ParsesNamesWithCommasAndRefusesTheRest) {
    struct row {
        const char* text;
        const char* in;
        const char* out;
        uint32_t rate;
    } good[] = {
        {"", "", "", 0},
        {"rate=48000,out=USB Audio,in=default", "default", "USB Audio", 48000},
        {"in=HDA Intel: ALC892 Analog (hw:0,0),rate=8000", "HDA Intel: ALC892 Analog (hw:0,0)", "",
         8000},
        {"rate=192000", "", "", 192000},
    };
    for (const auto& r : good) {
        portaudio_config config;
        std::string error;
        ASSERT_TRUE(parse_portaudio_config(r.text, config, error)) << r.text << ": " << error;
        EXPECT_EQ(config.input_name, r.in) << r.text;
        EXPECT_EQ(config.output_name, r.out) << r.text;
        EXPECT_EQ(config.rate, r.rate) << r.text;
    }
    for (const char* bad : {"rate=7999", "rate=192001", "rate=48k", "rate=", "in=", "in=a,in=b",
                            "out=a,", "volume=3"}) {
        portaudio_config config;
        std::string error;
        EXPECT_FALSE(parse_portaudio_config(bad, config, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace voxline::test
