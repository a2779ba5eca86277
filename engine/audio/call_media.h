// The call's own sounds and echo handling as the tick sees them: the digits
// dialled during the call (digit_player) and the echo canceller.
//
// Owner: the call's rtp_streamer_t. Threads: queue_digits on the call thread;
// everything else on the RTP thread.
#pragma once

#include <cstdint>

#include "audio/digit_player.h"
#include "audio/echo_supervisor.h"
#include "audio/media_seams.h"

namespace voxline {

class call_media : public call_media_extras {
  public:
    explicit call_media(const tone_images& images);
    ~call_media() override;
    call_media(const call_media&) = delete;
    call_media& operator=(const call_media&) = delete;

    // --- digits ---
    int queue_digits(const char* digits) override { return m_digits.queue_digits(digits); }
    tone_view start_digit() override;
    bool mic_muted() override;
    bool digit_playing() override;
    void count_down_digits() override;
    void clear_digits() override;

    // --- echo canceller ---
    void supervise_ping() override { m_echo.supervise(); }
    echo_stage* echo() override { return m_echo.stage(); }
    void drop_echo_canceller() override { m_echo.drop(); }
    void set_up_echo_canceller(const echo_setup& setup) override { m_echo.set_up(setup); }

  private:
    digit_player m_digits;
    echo_supervisor m_echo;
};

}  // namespace voxline
