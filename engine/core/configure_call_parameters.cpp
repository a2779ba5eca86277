// ConfigureCallParameters: banner, instance lock, override file, validation,
// client name and a fresh call control for the next session.
#include <errno.h>
#include <sys/stat.h>

#include <cstring>

#include "audio/rtp_streamer.h"
#include "audio/timeslot_manager.h"
#include "core/call_control.h"
#include "core/call_parameters.h"
#include "core/client_name.h"
#include "core/tarnwick_vxl.h"
#include "platform/cpu_features.h"
#include "platform/engine_paths.h"
#include "util/process_settings.h"
#include "util/udp_socket.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

constexpr char RELEASE_VERSION[] = "2.5.0.0";
constexpr char DLL_NAME[] = "Voxline.dll";
constexpr int DEFAULT_NAT_INFO_PORT = 2829;
constexpr uint16_t ADDRESS_TEST_PORT = 3400;
constexpr int MAX_PACK_COUNT = 250;  // the RTP bad-size throttle divides 250 by it

// Media engine codec numbers, indexed by the interface's vocoder numbers.
enum media_codec : int { MEDIA_G729 = 0, MEDIA_G723 = 1, MEDIA_G711U = 2, MEDIA_G711A = 3 };

opt_text text_argument(const char* text) {
    return text ? opt_text(text) : std::nullopt;
}

bool marker_exists(const char* name) {
    struct stat st {};
    return stat(engine_file(name).c_str(), &st) == 0;
}

void log_banner(uint8_t type_of_service) {
    VXL_LOG(LOG_ALWAYS, "Tarnwick Voxline Engine");
    VXL_LOG(LOG_ALWAYS, "   Release Version:            %s", RELEASE_VERSION);
    VXL_LOG(LOG_ALWAYS, "   Build Version:              %s", RELEASE_VERSION);
    VXL_LOG(LOG_ALWAYS, "   DLL Name:                   %s", DLL_NAME);
    VXL_LOG(LOG_ALWAYS, "   QOS Setting:              0x%X", type_of_service);
}

// A bind refused only because the address is in use still proves the address is ours.
int32_t test_local_address(const std::string& address) {
    udp_socket probe(address.c_str(), ADDRESS_TEST_PORT);
    int rc = probe.listen_socket(0);
    probe.close();
    if (rc == UDP_OK) return VXL_S_OK;
    if (rc == UDP_BIND_FAILED && probe.last_error() == EADDRINUSE) {
        VXL_LOG(LOG_INFO,
                "IP-address-validation local bind detected socket in use.  Assuming IP address "
                "valid.");
        return VXL_S_OK;
    }
    VXL_LOG(LOG_ERROR, "Open local IP %s failed (rc=%d, socket_error=%d)", address.c_str(), rc,
            probe.last_error());
    return VXL_E_LOCAL_IP;
}

// Returns 0 and the media codec number, or the refusal's result code.
int32_t check_vocoder(int32_t vocoder, int32_t pack_count, int* media_codec_number) {
    switch (vocoder) {
        case VXL_VOCODER_G723:
            VXL_LOG(LOG_INFO, "Checking for MMX support");
            if (!processor_has_mmx()) {
                VXL_LOG(LOG_INFO, "MMX not supported by processor");
                VXL_LOG(LOG_ALWAYS, "G.723.1 vocoder requires MMX support host processor.");
                return VXL_E_NO_MMX;
            }
            VXL_LOG(LOG_INFO, "MMX supported by processor");
            *media_codec_number = MEDIA_G723;
            return VXL_S_OK;
        case VXL_VOCODER_G729:
            *media_codec_number = MEDIA_G729;
            return VXL_S_OK;
        case VXL_VOCODER_G711U:
        case VXL_VOCODER_G711A: {
            const bool mu_law = vocoder == VXL_VOCODER_G711U;
            if (pack_count % 2 != 0) {
                VXL_LOG(LOG_ERROR,
                        "Odd RTP pack count (%d) not allowed when using G.711 %s.  Use an even "
                        "RTP pack count",
                        pack_count, mu_law ? "mu-law" : "A-law");
                return VXL_E_INVALIDARG;
            }
            *media_codec_number = mu_law ? MEDIA_G711U : MEDIA_G711A;
            return VXL_S_OK;
        }
        default:
            VXL_LOG(LOG_ERROR, "Unsupported vocoder (%d)", vocoder);
            return VXL_E_UNSUPPORTED_VOCODER;
    }
}

}  // namespace

int32_t CTarnwickVXL::ConfigureCallParameters(
    const char* szLocalIP, const char* szCallerIDNumber, const char* szCallerIDName,
    const char* szCallAgentIP, int32_t iCallAgentMGCPPort, int32_t iLocalMGCPPort,
    int32_t vocoderType, int32_t iSamplesPerRtpPacket, int32_t iMinimumAudioInputSampleSizeInMs,
    int32_t iMinimumJittterBufferSizeInMs, int32_t iMinimumJitterBufferThresholdInMs,
    IVXLCallback* pStatusCallback, int32_t iCallAgentMGCPXmitPort, int32_t iCallAgentNATInfoPort,
    const char* szExtension, const char* szAccount, const char* szPin, int32_t iFlags,
    int32_t iMGCPAuditTimeout, int32_t iReserved1, int32_t iReserved2, const char* szReserved1,
    const char* szReserved2) {
    try {
        call_parameters p;
        p.szLocalIP = text_argument(szLocalIP);
        p.szCallerIDNumber = text_argument(szCallerIDNumber);
        p.szCallerIDName = text_argument(szCallerIDName);
        p.szCallAgentIP = text_argument(szCallAgentIP);
        p.iCallAgentPort = iCallAgentMGCPPort;
        p.iLocalMGCPPort = iLocalMGCPPort;
        p.vocoderType = vocoderType;
        p.iSamplesPerRtpPacket = iSamplesPerRtpPacket;
        p.iMinimumAudioInputSampleSizeInMs = iMinimumAudioInputSampleSizeInMs;
        p.iMinimumJitterBufferSizeInMs = iMinimumJittterBufferSizeInMs;
        p.iMinimumJitterBufferThresholdInMs = iMinimumJitterBufferThresholdInMs;
        p.iCallAgentMGCPXmitPort = iCallAgentMGCPXmitPort;
        p.iCallAgentNATInfoPort = iCallAgentNATInfoPort;
        p.szExtension = text_argument(szExtension);
        p.szAccount = text_argument(szAccount);
        p.szPin = text_argument(szPin);
        p.iFlags = iFlags;
        p.iMGCPAuditTimeout = iMGCPAuditTimeout;
        p.iReserved1 = iReserved1;
        p.iReserved2 = iReserved2;
        p.szReserved1 = text_argument(szReserved1);
        p.szReserved2 = text_argument(szReserved2);
        return configure(p, pStatusCallback);
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception encountered in ConfigureCallParameters");
        return VXL_E_UNEXPECTED;
    }
}

int32_t CTarnwickVXL::configure(call_parameters p, IVXLCallback* pStatusCallback) {
    {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        p.szProxyIP = m_has_proxy ? opt_text(m_proxy_list) : std::nullopt;
        p.iProxyPort = m_proxy_port;
        p.iSignalStrengthIntervalInMs = m_signal_strength_interval_ms;
    }

    const uint8_t type_of_service = static_cast<uint8_t>(p.iReserved2);
    set_process_type_of_service(type_of_service);
    if (p.iFlags & VXL_FLAG_FORWARD_DIAGNOSTICS) log_enable_client_forwarding();

    log_banner(type_of_service);

    if (!m_instance_lock.try_take()) {
        VXL_LOG(LOG_ALWAYS,
                "Another instance of voxline engine running.  You cannot run more than one "
                "instance at a time.");
        if (!marker_exists("vxl.mux")) return VXL_E_ANOTHER_INSTANCE;
    }
    m_instance_lock.release();

    apply_override_file(engine_file("vxl.opt").c_str(), &p);
    if (!p.szLocalIP) p.szLocalIP = std::string();
    log_effective_parameters(p, type_of_service);

    if (p.iCallAgentNATInfoPort == 0) {
        p.iCallAgentNATInfoPort = DEFAULT_NAT_INFO_PORT;
        VXL_LOG(LOG_ALWAYS, "Updated iCallAgentNATInfoPort=%d", p.iCallAgentNATInfoPort);
    }

    {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        if (m_thread_running.load()) {
            VXL_LOG(LOG_INFO, "ConfigureCallParameters invoked while call is in progress.");
            return VXL_E_REQUEST_NOT_ALLOWED;
        }
    }

    if (!timeslot_manager::test_timer_resolution()) return VXL_E_TIMER_RESOLUTION;

    if (!pStatusCallback || !p.szCallAgentIP || p.iSamplesPerRtpPacket < 1 ||
        p.iSamplesPerRtpPacket > MAX_PACK_COUNT)
        return VXL_E_INVALIDARG;

    std::lock_guard<std::recursive_mutex> lock(m_method_lock);
    m_flags.logged_on = false;
    m_flags.logoff = false;
    m_flags.hangup = false;
    m_flags.onhook_sent = false;
    m_flags.stop = false;
    drop_pending_number();
    m_pending_digits.clear();

    if (!p.szLocalIP->empty()) {
        if (int32_t rc = test_local_address(*p.szLocalIP); rc != VXL_S_OK) return rc;
    }
    set_process_local_ip(p.szLocalIP->c_str());
    char local_ip[LOCAL_IP_MAX + 1];
    process_local_ip(local_ip);
    VXL_LOG(LOG_ALWAYS, "Local IP address set to [%s]", local_ip);

    compute_client_name(p.szReserved1 ? p.szReserved1->c_str() : nullptr);

    int media_codec_number = 0;
    if (int32_t rc = check_vocoder(p.vocoderType, p.iSamplesPerRtpPacket, &media_codec_number);
        rc != VXL_S_OK)
        return rc;

    release_call_control();

    call_control_settings settings;
    settings.media_codec = media_codec_number;
    settings.proxy_list = p.szProxyIP.value_or("");
    settings.proxy_port = p.iProxyPort;
    settings.frames_per_packet = p.iSamplesPerRtpPacket;
    settings.input_ms = p.iMinimumAudioInputSampleSizeInMs;
    settings.jitter_size_ms = p.iMinimumJitterBufferSizeInMs;
    settings.jitter_threshold_ms = p.iMinimumJitterBufferThresholdInMs;
    settings.statistics_interval_ms = p.iSignalStrengthIntervalInMs;
    settings.echo_cancelling = (p.iFlags & VXL_FLAG_ECHO_CANCELLATION) != 0;
    settings.notch_while_measuring = (p.iFlags & VXL_FLAG_NOTCH_WHILE_MEASURING) != 0;
    auto* control = new call_control(settings, this, pStatusCallback);
    m_mic_wizard.set_callback(pStatusCallback);

    const int32_t device_rc = control->media()->test_sound_devices();
    if (device_rc == VXL_E_SOUND_NO_DEVICE || device_rc == VXL_E_SOUND_DEVICE ||
        device_rc == VXL_E_SOUND_DEVICE_ERROR) {
        control->release();
        return device_rc;
    }

    control->set_call_agent_list(p.szCallAgentIP->c_str());
    control->set_ports(p.iLocalMGCPPort, p.iCallAgentPort);
    control->set_nat_info_port(p.iCallAgentNATInfoPort);
    control->set_caller(p.szCallerIDNumber ? p.szCallerIDNumber->c_str() : nullptr,
                        p.szCallerIDName ? p.szCallerIDName->c_str() : nullptr);
    control->set_credentials(p.szExtension ? p.szExtension->c_str() : nullptr,
                             p.szAccount ? p.szAccount->c_str() : nullptr,
                             p.szPin ? p.szPin->c_str() : nullptr,
                             (p.iFlags & VXL_FLAG_SCRAMBLE_ACCOUNT) != 0);
    control->set_audit((p.iFlags & VXL_FLAG_MGCP_AUDIT) != 0, p.iMGCPAuditTimeout);
    m_call_control = control;
    return VXL_S_OK;
}

}  // namespace voxline
