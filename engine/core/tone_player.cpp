#include "core/tone_player.h"

#include <voxline/voxline.h>

#include <atomic>

#include "core/tarnwick_vxl.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

std::atomic<bool> g_restart_requested{false};

const char* tone_name(int tone) {
    switch (tone) {
        case VXL_TONE_ALERTING:
            return "alerting";
        case VXL_TONE_BUSY:
            return "busy";
        case VXL_TONE_REORDER:
            return "reorder";
        case VXL_TONE_RINGING:
            return "ringing";
        default:
            return nullptr;
    }
}

// The tone generator arrives with the sound pipeline; until then a start fails.
bool start_media_tone(const char*) {
    return false;
}
void stop_media_tone() {}

}  // namespace

void request_tone_restart() {
    g_restart_requested.store(true);
    // The call thread sleeps until there is work; this is work.
    if (CTarnwickVXL* engine = gTarnwickVXL.load()) engine->wake_call_thread();
}
bool take_tone_restart_request() {
    return g_restart_requested.exchange(false);
}

void play_call_progress_tone(int tone) {
    if (tone == VXL_TONE_DIALTONE) {
        VXL_LOG(LOG_INFO, "Not presenting dial tone.");
        stop_media_tone();
        return;
    }
    if (tone == VXL_TONE_LOW_BALANCE_WARNING_TONE) {
        VXL_LOG(LOG_INFO, "Not playing low-balance warning tone.");
        stop_media_tone();
        return;
    }
    const char* name = tone_name(tone);
    if (!name) {
        stop_media_tone();
        return;
    }
    if (!start_media_tone(name)) VXL_LOG(LOG_ERROR, "Failed playing call progress tone [%s]", name);
}

}  // namespace voxline
