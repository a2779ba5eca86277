// The line as one named state. The call control keeps the flags (the command
// methods read two of them); the state is only ever derived from them, here.
#pragma once

namespace voxline {

enum class line_state { idle, dialling, ringing_in, ringing_out, in_call, releasing };

struct line_flags {
    bool in_call = false;            // a call is placed or answered
    bool ringing = false;            // an incoming call is offered or answered
    bool voice_path_active = false;  // the media session streams
    bool ring_back = false;          // the call agent's last tone for this call is ring-back
    bool releasing = false;          // on-hook went out; the call agent's answer is awaited
};

line_state derive_line_state(const line_flags& flags);
const char* line_state_name(line_state state);

}  // namespace voxline
