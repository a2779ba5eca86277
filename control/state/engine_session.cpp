// The engine object and the session with the call manager: creation,
// configuration, log-on and log-off.
#include <array>

#include "callmanager/call_manager_list.h"
#include "parameters/text_lists.h"
#include "state/callback_sink.h"
#include "state/error_states.h"
#include "state/vxl_control.h"

namespace kestrel {

namespace {

constexpr int k_device_in_use_reconnect_ms = 1000;
constexpr size_t k_text_buffer = 1024;
constexpr size_t k_proxy_address_limit = 1023;

// The codec-specific classes tried when the general one cannot be created.
const char* vocoder_class(int32_t vocoder) {
    switch (vocoder) {
        case VXL_VOCODER_G723:
            return VOXLINE_CLASS_TARNWICK_VXL_G723;
        case VXL_VOCODER_G729:
            return VOXLINE_CLASS_TARNWICK_VXL_G729;
        default:
            return nullptr;
    }
}

bool is_true(const std::string& value) {
    return equals_ignoring_case(value, "true");
}

}  // namespace

int32_t CVXLControl::create_engine(int32_t vocoder) {
    ITarnwickVXL* engine = nullptr;
    const char* created_class = VOXLINE_CLASS_TARNWICK_VXL;
    int32_t hr = m_create_engine(created_class, &engine);
    if (hr < 0 || engine == nullptr) {
        created_class = vocoder_class(vocoder);
        if (created_class == nullptr) {
            return hr < 0 ? hr : VXL_E_FAIL;
        }
        engine = nullptr;
        hr = m_create_engine(created_class, &engine);
        if (hr >= 0 && engine == nullptr) {
            hr = VXL_E_FAIL;
        }
    }
    if (hr < 0) {
        m_engine_class.clear();
        m_eVocoder = -1;
        SetErrorState(k_error_no_vocoder);
        m_log.LogMessage(LOG_SEVERE_ERROR, "Unable to create Vocoder!");
        return hr;
    }
    m_pVXL = engine;
    m_engine_class = created_class;
    m_log.LogMessage(LOG_INFO, "Vocoder created Succesfully");
    return hr;
}

int32_t CVXLControl::GetVocoder(int32_t vocoder) {
    function_trace trace(&m_log, call_text("GetVocoder(%d)", vocoder));
    if (vocoder != -1) {
        if (vocoder == m_eVocoder) {
            return 1;
        }
        m_eVocoder = vocoder;
    }
    if (m_eVocoder == -1) {
        m_log.LogMessage(LOG_SEVERE_ERROR, "Vocoder not specified in GetVocoder!");
        return VXL_E_FAIL;
    }
    m_log.LogFormat(LOG_INFO, "Trying to get Vocoder %d", m_eVocoder);
    // Releasing the engine logs off without an event to say so; a session
    // that was up (or coming up) is reconnected on the new engine.
    bool was_in_session = m_pVXL != nullptr && (m_eCurCallManagerState == CMSTATE_LOGGED_ON ||
                                                m_eCurCallManagerState == CMSTATE_LOGGING_ON ||
                                                m_eCurCallManagerState == CMSTATE_LOGGING_OFF);
    ReleaseVocoder();
    int32_t hr = create_engine(m_eVocoder);
    if (was_in_session && m_bNotDestroying) {
        SetCallManagerState(CMSTATE_DISCONNECTED, true);
    }
    return hr;
}

void CVXLControl::ReleaseVocoder() {
    function_trace trace(&m_log, call_text("ReleaseVocoder()"));
    if (m_pVXL == nullptr) {
        return;
    }
    DisconnectFromCallManager(1);
    detach_sink();
    m_pVXL->Release();
    m_pVXL = nullptr;
}

int32_t CVXLControl::ConfigureCallManager() {
    function_trace trace(&m_log, call_text("ConfigureCallManager()"));
    m_log.LogMessage(LOG_INFO, "Entering CVXLControl::ConfigureCallManager()");
    if (!m_parameters.complete()) {
        m_log.LogFormat(LOG_ERROR,
                        "ConfigureCallManager() called with incomplete parameters (0x%x)",
                        m_parameters.completed_mask());
        return VXL_E_FAIL;
    }
    if (!m_bInitialSetupComplete) {
        m_log.LogMessage(LOG_ERROR,
                         "ConfigureCallManager() called before InitialSetup was completed.");
        return VXL_E_FAIL;
    }
    if (m_pVXL == nullptr) {
        GetVocoder(-1);
        if (m_pVXL == nullptr) {
            m_log.LogMessage(LOG_SEVERE_ERROR, "ConfigureCallManager() called with m_pVXL = NULL!");
            return VXL_E_FAIL;
        }
    }
    if (m_eCurCallManagerState == CMSTATE_LOGGED_ON ||
        m_eCurCallManagerState == CMSTATE_LOGGING_ON) {
        m_log.LogMessage(LOG_ERROR, "ConfigureCallManager() called while logged/loggin in!");
        DisconnectFromCallManager(1);
    }

    // Engine settings that travel as generic commands; their results do not matter.
    std::string proxy_address = m_parameters.GetHTMLParameter("NATProxyAddress");
    if (proxy_address.size() > k_proxy_address_limit) {
        proxy_address.resize(k_proxy_address_limit);
    }
    struct command_row {
        int32_t command;
        const char* parameter;
        const char* text;
    };
    const std::array<command_row, 4> commands = {{
        {VXL_COMMAND_SET_PROXY, "NATProxyPort", proxy_address.c_str()},
        {VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_SAMPLE_SIZE_IN_MS, "AudioOutputSampleSize", ""},
        {VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_BUFFER_POOL_SIZE_IN_MS, "AudioOutputBufPoolSize", ""},
        {VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_QUEUE_SIZE_IN_MS, "AudioOutputQueueSize", ""},
    }};
    for (const auto& row : commands) {
        int32_t in_out = 0;
        std::array<char, k_text_buffer> in_out_text{};
        m_pVXL->GenericCommand(row.command, m_parameters.GetHTMLParameterAsInt(row.parameter), 0,
                               row.text, "", &in_out, in_out_text.data());
    }

    std::string call_managers = m_parameters.GetHTMLParameter("CallManager");
    std::string caller_number = m_parameters.GetHTMLParameter("CallerIDNumber");
    std::string caller_name = m_parameters.GetHTMLParameter("CallerIDName");
    std::string extension = m_parameters.GetHTMLParameter("IPPhoneNumber");
    std::string account = trim(m_parameters.GetHTMLParameter("CASAccount"));
    std::string pin = m_parameters.GetHTMLParameter("CASPin");
    std::string ani = dialable_digits(m_parameters.GetHTMLParameter("ANIDigits"));
    if (is_true(m_parameters.GetHTMLParameter("OverRideANI"))) {
        caller_number = ani;
    }
    caller_number = dialable_digits(caller_number);

    m_csCurrentCallManager = display_call_manager(call_managers);
    std::string engine_list = call_managers;
    if (m_settings.sort_call_managers) {
        engine_list = SortCallManagersByUtilization(
            call_managers,
            [this](const std::string& list) {
                return GetCurrentLoadPercentagesOfCallManagers(list);
            },
            &m_log);
    }

    attach_new_sink();
    int32_t hr = m_pVXL->ConfigureCallParameters(
        m_csLocalIP.c_str(), caller_number.c_str(), caller_name.c_str(), engine_list.c_str(),
        m_parameters.GetHTMLParameterAsInt("Port"), m_parameters.GetHTMLParameterAsInt("MGCPPort"),
        m_eVocoder, m_parameters.GetHTMLParameterAsInt("SampleSize"),
        m_parameters.GetHTMLParameterAsInt("AudioInputSampleSize"),
        m_parameters.GetHTMLParameterAsInt("JitterBufferSize"),
        m_parameters.GetHTMLParameterAsInt("JitterBufferThreshold"), m_pCallback, 0, 0,
        extension.c_str(), account.c_str(), pin.c_str(),
        m_parameters.GetHTMLParameterAsInt("VXLConfigFlags"),
        m_parameters.GetHTMLParameterAsInt("AuditEndpointTimeout"), 0, m_settings.tos, nullptr,
        nullptr);

    if (hr >= 0) {
        if (!m_bDialogSettingsPrepared) {
            m_bDialogSettingsPrepared = true;
            PrepareDialogSettings();
        }
        hr = LogonToCallManager();
    } else {
        SetErrorState(TranslateErrorCode(hr, "ConfigureCallParameters"));
        if (m_nError == k_error_record_in_use || m_nError == k_error_playback_in_use) {
            m_nAutoReconnectTimeout = k_device_in_use_reconnect_ms;
        }
        WaitToAutoReconnect();
    }
    InvalidateRect(control_area::display);
    InvalidateRect(control_area::status);
    return hr;
}

int32_t CVXLControl::LogonToCallManager() {
    function_trace trace(&m_log, call_text("LogonToCallManager()"));
    if (m_pVXL == nullptr) {
        return VXL_E_FAIL;
    }
    SetCallManagerState(CMSTATE_LOGGING_ON, true);
    int32_t hr = m_pVXL->LogonToCallAgent();
    if (hr == VXL_E_REQUEST_NOT_ALLOWED) {
        // Already logged on: the session is up.
        SetCallManagerState(CMSTATE_LOGGED_ON, true);
        hr = VXL_S_OK;
    } else if (hr < 0) {
        SetCallManagerState(CMSTATE_DISCONNECTED, true);
    }
    SetErrorState(TranslateErrorCode(hr, "LogonToCallAgent"));
    return hr;
}

int32_t CVXLControl::DisconnectFromCallManager(int32_t iProvideStatus) {
    function_trace trace(&m_log, call_text("DisconnectFromCallManager(%d)", iProvideStatus));
    if (m_pVXL == nullptr) {
        return VXL_E_FAIL;
    }
    SetCallManagerState(CMSTATE_LOGGING_OFF, true);
    int32_t hr = m_pVXL->LogoffFromCallAgent(iProvideStatus);
    if (hr != VXL_S_OK) {
        if (hr != VXL_E_REQUEST_NOT_ALLOWED) {
            TranslateErrorCode(hr, "LogoffFromCallAgent");
        }
        SetCallManagerState(CMSTATE_DISCONNECTED, false);
    }
    return hr;
}

}  // namespace kestrel
