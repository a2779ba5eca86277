#include "audio/call_progress_tone.h"

#include <algorithm>

#include "util/vxl_log.h"

namespace voxline {

uint32_t tone_loop_count(uint32_t sample_bytes) {
    return sample_bytes == 0 ? 1 : std::max<uint32_t>(1, LOOPING_TONE_BYTES / sample_bytes);
}

bool play_tone(audio_session& audio, const tone_images& images, int index) {
    if (index < 0 || index >= CALL_PROGRESS_TONE_COUNT) {
        VXL_LOG(LOG_ERROR, "Attempt to play invalid tone type (%d)", index);
        return false;
    }
    const std::vector<uint8_t>& image = images.tone(index);
    if (image.size() <= WAV_IMAGE_HEADER_BYTES) {
        VXL_LOG(LOG_ERROR, "Attempt to play buffer of invalid length (%d) (tone=%d)",
                static_cast<int>(image.size()), index);
        return false;
    }
    if (!audio.output_device() && audio.open_output() != 0) return false;
    if (!audio.looping_stopped.load()) stop_tone(audio);
    audio.release_looping_header();

    const wave_handle out = audio.output_device();
    wave_header& header = audio.looping_header();
    const auto sample_bytes = static_cast<uint32_t>(image.size() - WAV_IMAGE_HEADER_BYTES);
    header = wave_header{};
    // The device only reads it.
    header.data = const_cast<uint8_t*>(image.data() + WAV_IMAGE_HEADER_BYTES);
    header.buffer_length = sample_bytes;
    header.flags = WAVE_HDR_BEGINLOOP | WAVE_HDR_ENDLOOP;
    header.loops = tone_loop_count(sample_bytes);
    if (int32_t rc = wave_out_prepare(out, &header); rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveOutPrepareHeader failed:  error=%d", rc);
        header = wave_header{};
        return false;
    }
    audio.looping_buffer_done.reset();
    // Before the write: a loop that ends at once must still count as a tone.
    audio.looping_stopped = false;
    audio.looping_in_use = true;
    if (int32_t rc = wave_out_write(out, &header); rc != WAVE_OK) {
        VXL_LOG(LOG_ERROR, "waveOutWrite failed:  error=%d", rc);
        if (int32_t urc = wave_out_unprepare(out, &header); urc != WAVE_OK)
            VXL_LOG(LOG_ERROR, "waveOutUnprepareHeader failed:  error=%d", urc);
        audio.looping_in_use = false;
        audio.looping_stopped = true;
        header = wave_header{};
        return false;
    }
    return true;
}

void stop_tone(audio_session& audio) {
    audio.tone_finished = false;
    audio.looping_stopped = true;
    const wave_handle out = audio.output_device();
    if (!out) {
        VXL_LOG(LOG_INFO, "Audio output device not open.");
        return;
    }
    if (int32_t rc = wave_out_break_loop(out); rc != WAVE_OK)
        VXL_LOG(LOG_ERROR, "waveOutBreakLoop failed:  error=%d", rc);
    // The reset also hands back any voice buffers queued behind the tone.
    if (int32_t rc = wave_out_reset(out); rc != WAVE_OK)
        VXL_LOG(LOG_ERROR, "waveOutReset failed:  error=%d", rc);
    if (!audio.looping_in_use.load()) return;
    VXL_LOG(LOG_INFO, "Waiting for m_looping_buffer_done event...");
    if (!audio.looping_buffer_done.wait(LOOPING_STOP_WAIT_MS))
        VXL_LOG(LOG_ERROR, "Timed out waiting for looping buffer to complete");
    else
        VXL_LOG(LOG_INFO, "Done waiting for m_looping_buffer_done.");
    audio.release_looping_header();
}

}  // namespace voxline
