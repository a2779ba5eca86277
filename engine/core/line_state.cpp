#include "core/line_state.h"

namespace voxline {

line_state derive_line_state(const line_flags& f) {
    // An offered call stays "ringing in" until it is answered, whatever the media does.
    if (f.ringing && !f.in_call) return line_state::ringing_in;
    // Media the call agent started on an idle line is a call too.
    if (f.in_call || f.voice_path_active) {
        if (f.voice_path_active || f.ringing) return line_state::in_call;
        return f.ring_back ? line_state::ringing_out : line_state::dialling;
    }
    return f.releasing ? line_state::releasing : line_state::idle;
}

const char* line_state_name(line_state state) {
    static constexpr const char* NAMES[] = {"idle",        "dialling", "ringing in",
                                            "ringing out", "in call",  "releasing"};
    return NAMES[static_cast<int>(state)];
}

}  // namespace voxline
