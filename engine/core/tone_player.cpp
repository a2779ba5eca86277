#include "core/tone_player.h"

#include <voxline/voxline.h>

#include "audio/rtp_streamer.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

struct tone_request {
    int tone;
    int index;           // the session's tone, -1 for none
    const char* name;    // for the failure line
    const char* reason;  // logged when the request plays nothing on purpose
};

constexpr tone_request k_tone_requests[] = {
    {VXL_TONE_NONE, -1, nullptr, nullptr},
    {VXL_TONE_DIALTONE, -1, nullptr, "Not presenting dial tone."},
    {VXL_TONE_ALERTING, TONE_ALERTING, "alerting", nullptr},
    {VXL_TONE_BUSY, TONE_BUSY, "busy", nullptr},
    {VXL_TONE_REORDER, TONE_REORDER, "reorder", nullptr},
    {VXL_TONE_LOW_BALANCE_WARNING_TONE, -1, nullptr, "Not playing low-balance warning tone."},
    {VXL_TONE_RINGING, TONE_RINGING, "ringing", nullptr},
};

// Any code not in the table stops the tone.
constexpr tone_request k_stop = {VXL_TONE_NONE, -1, nullptr, nullptr};

const tone_request& find_request(int tone) {
    for (const tone_request& r : k_tone_requests)
        if (r.tone == tone) return r;
    return k_stop;
}

}  // namespace

void play_call_progress_tone(rtp_streamer_t* media, int tone) {
    const tone_request& request = find_request(tone);
    if (request.reason) VXL_LOG(LOG_INFO, "%s", request.reason);
    if (request.index < 0) {
        if (media) media->stop_tone();
        return;
    }
    if (!media || !media->play_tone(request.index))
        VXL_LOG(LOG_ERROR, "Failed playing call progress tone [%s]", request.name);
}

bool take_finished_tone(rtp_streamer_t* media) {
    return media && media->take_tone_finished();
}

}  // namespace voxline
