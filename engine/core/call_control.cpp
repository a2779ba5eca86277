#include "core/call_control.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "audio/rtp_streamer.h"
#include "core/rtp_address_finder.h"
#include "core/tarnwick_vxl.h"
#include "core/tone_player.h"
#include "util/account_scrambler.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

void copy_bounded(char* dst, size_t capacity, const char* src) {
    size_t n = src ? strnlen(src, capacity - 1) : 0;
    if (n) memcpy(dst, src, n);
    dst[n] = '\0';
}

// The directory of the engine's own file, for the media layer's resources.
std::string find_module_directory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&find_module_directory), &info) && info.dli_fname) {
        VXL_LOG(LOG_ALWAYS, "Full pathname from GetModuleFileName = [%s]", info.dli_fname);
        std::string path = info.dli_fname;
        size_t slash = path.rfind('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
    return {};
}

}  // namespace

std::mutex& callback_lock() {
    static std::mutex lock;
    return lock;
}

call_control::call_control(const call_control_settings& settings, CTarnwickVXL* owner,
                           IVXLCallback* callback)
    : m_settings(settings), m_owner(owner) {
    m_module_directory = find_module_directory();
    m_rtp_streamer = std::make_unique<rtp_streamer_t>(
        m_module_directory.c_str(), settings.media_codec, settings.proxy_list.c_str(),
        settings.proxy_port, static_cast<uint16_t>(settings.frames_per_packet), settings.input_ms,
        settings.jitter_size_ms, settings.jitter_threshold_ms, settings.echo_cancelling,
        settings.notch_while_measuring);
    // A measured echo delay is reported at once, without the call thread polling for it.
    // NAT-mapped and relayed addresses for the media session.
    m_rtp_streamer->set_address_finder(make_rtp_address_finder());
    m_rtp_streamer->set_call_thread_wake([owner] {
        if (owner) owner->wake_call_thread();
    });
    if (callback) {
        callback->AddRef();
        m_callback_stream = callback;
    }
    m_measure_delay.store(settings.echo_cancelling);
}

call_control::~call_control() {
    uninit_interface();
    if (m_callback_stream) m_callback_stream->Release();
    // Credentials leave no copy behind in freed memory.
    std::fill(m_account.begin(), m_account.end(), '\0');
    std::fill(m_pin.begin(), m_pin.end(), '\0');
}

uint32_t call_control::add_ref() {
    return ++m_references;
}

uint32_t call_control::release() {
    uint32_t left = --m_references;
    if (left == 0) delete this;
    return left;
}

void call_control::set_call_agent_list(const char* list) {
    m_call_agent_list = list ? list : "";
    m_call_agent_next = 0;
    next_call_agent();
}

bool call_control::next_call_agent() {
    if (m_call_agent_next >= m_call_agent_list.size()) return false;
    size_t comma = m_call_agent_list.find(',', m_call_agent_next);
    size_t end = comma == std::string::npos ? m_call_agent_list.size() : comma;
    m_current_call_agent = m_call_agent_list.substr(m_call_agent_next, end - m_call_agent_next);
    m_call_agent_next = comma == std::string::npos ? m_call_agent_list.size() : comma + 1;
    return true;
}

void call_control::set_ports(int local_mgcp_port, int remote_mgcp_port) {
    m_local_mgcp_port = local_mgcp_port;
    m_remote_mgcp_port = remote_mgcp_port;
}

void call_control::set_nat_info_port(int port) {
    m_nat_info_port = port;
}

void call_control::set_caller(const char* number, const char* name) {
    copy_bounded(m_caller_number, sizeof m_caller_number, number);
    copy_bounded(m_caller_name, sizeof m_caller_name, name);
}

void call_control::set_incoming_caller(const char* number) {
    copy_bounded(m_incoming_caller, sizeof m_incoming_caller, number);
}

void call_control::set_credentials(const char* extension, const char* account, const char* pin,
                                   bool scramble) {
    VXL_LOG(LOG_INFO, "CAS information %sbeing encrypted.", scramble ? "" : "not ");
    m_scrambled = scramble;
    if (extension) m_extension = extension;
    auto store = [&](const char* value, std::string* field) {
        if (!value || !*value) return;
        if (!scramble) {
            *field = value;
            return;
        }
        if (auto scrambled = scramble_account(value)) {
            *field = *scrambled;
        } else {
            VXL_LOG(LOG_ERROR, "failed to encrypt account number");
            field->clear();
        }
    };
    store(account, &m_account);
    store(pin, &m_pin);
}

void call_control::set_audit(bool on, int timeout_s) {
    m_audit_on = on;
    if (!on) {
        m_audit_timeout_s = 0;
    } else {
        unsigned value = static_cast<unsigned>(timeout_s);
        if (value == 0) {
            VXL_LOG(LOG_INFO, "Defaulting MGCP audit timeout value to %d seconds",
                    AUDIT_DEFAULT_TIMEOUT_S);
            value = AUDIT_DEFAULT_TIMEOUT_S;
        } else if (value < static_cast<unsigned>(AUDIT_MINIMUM_TIMEOUT_S)) {
            VXL_LOG(LOG_INFO, "MGCP audit timeout value adjusted to %d seconds",
                    AUDIT_MINIMUM_TIMEOUT_S);
            value = AUDIT_MINIMUM_TIMEOUT_S;
        }
        // A negative value read as unsigned would overflow the millisecond watchdog.
        const unsigned longest = INT_MAX / 1000 - AUDIT_RETRANSMIT_DELTA_S;
        if (value > longest) value = longest;
        m_audit_timeout_s = static_cast<int>(value) + AUDIT_RETRANSMIT_DELTA_S;
    }
    VXL_LOG(LOG_ALWAYS, "MGCP audit endpoint support %s (timeout=%d sec)(re-xmit delta=%d sec)",
            on ? "enabled" : "disabled", m_audit_timeout_s, AUDIT_RETRANSMIT_DELTA_S);
}

void call_control::set_echo_delay(int ms) {
    if (!m_settings.echo_cancelling) return;
    if (ms == -1) {
        m_measure_delay.store(true);
    } else {
        m_echo_delay_ms.store(ms);
        m_measure_delay.store(false);
    }
}

bool call_control::take_callback() {
    std::lock_guard<std::mutex> lock(callback_lock());
    if (!m_callback_stream) return false;
    m_callback = m_callback_stream;
    m_callback_stream = nullptr;
    m_callback_released = false;
    return true;
}

void call_control::uninit_interface() {
    IVXLCallback* to_release = nullptr;
    {
        std::lock_guard<std::mutex> lock(callback_lock());
        m_callback_released = true;
        to_release = m_callback;
        m_callback = nullptr;
    }
    try {
        if (to_release) to_release->Release();
    } catch (...) {
        VXL_LOG(LOG_ERROR,
                "Exception encountered in uninit_interface attempting to release m_pVXLCallback");
    }
}

bool call_control::callback_usable() {
    return m_callback && !m_callback_released;
}

IVXLCallback* call_control::callback_for_messages() {
    return callback_usable() ? m_callback : nullptr;
}

void call_control::play_tone_ourselves(int tone) {
    m_line.current_tone = tone;
    play_call_progress_tone(m_rtp_streamer.get(), tone);
}

void call_control::handle_call_progress_event(int event, int tone) {
    try {
        // Any disconnect ends a release, whether the client hears of it or not.
        if (event == CPE_DISCONNECTED || event == CPE_LINK_DOWN || event == CPE_CALL_AGENT)
            end_release();
        if (m_callback_released && event != CPE_LOGOFF) {
            play_tone_ourselves(VXL_TONE_NONE);
            return;
        }
        IVXLCallback* cb = callback_usable() ? m_callback : nullptr;
        switch (event) {
            case CPE_CONNECTED:
                m_owner->flags().logged_on = true;
                m_owner->flags().dynamic_info_pending = true;
                if (cb) {
                    VXL_LOG(LOG_ALWAYS, "Calling ConnectedToCallAgent");
                    cb->ConnectedToCallAgent();
                }
                break;
            case CPE_REJECTED:
                handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
                if (cb) {
                    VXL_LOG(LOG_ALWAYS, "Calling CallAgentRejectedConnection ()");
                    cb->CallAgentRejectedConnection();
                }
                break;
            case CPE_ROLL_OVER:
                handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
                if (cb) {
                    VXL_LOG(LOG_ALWAYS, "Calling CallAgentRollover (%s)",
                            m_current_call_agent.c_str());
                    cb->CallAgentRollover(m_current_call_agent.c_str());
                }
                break;
            case CPE_RINGING:
                set_ringing(true);
                if (cb) {
                    VXL_LOG(LOG_INFO, "Calling Ringing (%s)", m_incoming_caller);
                    cb->Ringing(m_incoming_caller);
                }
                handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_RINGING);
                break;
            case CPE_ANSWERED:
                if (cb && m_in_call.load()) {
                    VXL_LOG(LOG_ALWAYS, "Calling Answered");
                    cb->Answered();
                }
                break;
            case CPE_PLAY_TONE:
                if (m_in_call.load() && !m_line.voice_path_active) {
                    m_line.ring_back = tone == VXL_TONE_ALERTING;
                    line_changed();
                }
                if (!cb) {
                    play_tone_ourselves(tone);
                } else if (tone == VXL_TONE_NONE || m_in_call.load() || m_ringing.load()) {
                    VXL_LOG(LOG_ALWAYS, "Calling PlayTone (%d)", tone);
                    if (cb->PlayTone(tone) == 1) play_tone_ourselves(tone);
                }
                break;
            case CPE_DISCONNECTED:
                handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
                if (cb) {
                    VXL_LOG(LOG_ALWAYS, "Calling Disconnected (VXL_DISCONNECT_NORMAL)");
                    cb->Disconnected(VXL_DISCONNECT_NORMAL);
                } else {
                    VXL_LOG(LOG_INFO, "Not sending disconnect because no callback object.");
                }
                break;
            case CPE_LINK_DOWN:
                handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
                if (cb) {
                    VXL_LOG(LOG_ALWAYS, "Calling Disconnected (VXL_DISCONNECT_LINK_DOWN)");
                    cb->Disconnected(VXL_DISCONNECT_LINK_DOWN);
                }
                break;
            case CPE_CALL_AGENT:
                handle_call_progress_event(CPE_PLAY_TONE, VXL_TONE_NONE);
                if (cb) {
                    VXL_LOG(LOG_ALWAYS, "Calling Disconnected (VXL_DISCONNECT_CALL_AGENT)");
                    cb->Disconnected(VXL_DISCONNECT_CALL_AGENT);
                }
                break;
            case CPE_LOGOFF:
                send_graceful_restart();
                break;
            case CPE_STATUS:
                if (cb && m_status != 0) {
                    VXL_LOG(LOG_ALWAYS, "Calling Status (%d, 0x%x)", m_status,
                            static_cast<unsigned>(m_status_parameter));
                    cb->Status(m_status, m_status_parameter);
                }
                break;
            default:
                break;
        }
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception encountered in handle_call_progress_event");
    }
}

}  // namespace voxline

namespace voxline {

void call_control::raise_generic_event(int event, int param1, int param2, const char* text3) {
    IVXLCallback* cb = callback_usable() ? m_callback : nullptr;
    if (!cb) return;
    int32_t out1 = 0;
    char* out2 = nullptr;
    try {
        cb->GenericEvent(event, param1, param2, text3 ? text3 : "", "", &out1, &out2);
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception encountered in handle_call_progress_event");
    }
    free(out2);
}

}  // namespace voxline
