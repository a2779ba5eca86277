// The work of one 10 ms tick that belongs to other parts of the media engine:
// digits, the echo canceller and its ping, RTP out and in. Each hook defaults
// to doing nothing, so the pipelines run (and are tested) alone.
//
// Called on the RTP thread only, inside audio_session::tick.
#pragma once

#include <cstdint>

namespace voxline {

class audio_session;

// Works on 10 ms elements in place.
struct echo_stage {
    virtual ~echo_stage() = default;
    virtual void process_near_end(int16_t* element) = 0;
    virtual void process_far_end(int16_t* element) = 0;
};

// A digit's tone, played with a direct write (its own length).
struct tone_view {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

struct tick_hooks {
    virtual ~tick_hooks() = default;
    virtual void supervise_ping() {}
    // The tone of a digit that starts now, if any.
    virtual tone_view start_digit() { return {}; }
    // The microphone is replaced by silence while a digit's mute runs.
    virtual bool mic_muted() { return false; }
    // Received audio is discarded while a digit plays.
    virtual bool digit_playing() { return false; }
    // The canceller, when there is one.
    virtual echo_stage* echo() { return nullptr; }
    // One packet's PCM gathered: encode and send it.
    virtual void send_packet(const uint8_t* pcm, uint32_t length) {
        (void)pcm;
        (void)length;
    }
    // Read the socket; each decoded packet goes to audio_session::push_decoded.
    virtual void receive(audio_session& session) { (void)session; }
    virtual void count_down_digits() {}
};

}  // namespace voxline
