// Microphone level capture without a call: the engine measures, its level
// events return through the sink like every other event.
#include "state/vxl_control.h"

namespace kestrel {

int32_t CVXLControl::StartMicLevel() {
    function_trace trace(&m_log, call_text("StartMicLevel()"));
    // The engine's capture reports through the sink its configuration gave it.
    if (m_pVXL == nullptr || m_sink_generation == 0) {
        m_log.LogMessage(LOG_ERROR, "StartMicLevel() without a configured engine");
        return VXL_E_FAIL;
    }
    int32_t unused = 0;
    char unused_text[VOXLINE_STATISTICS_BUFFER_SIZE] = {};
    const int32_t hr =
        m_pVXL->GenericCommand(VXL_COMMAND_START_MIC_WIZARD, 0, 0, "", "", &unused, unused_text);
    m_log.LogFormat(hr < 0 ? LOG_ERROR : LOG_INFO, "StartMicLevel() returned 0x%x", hr);
    return hr;
}

int32_t CVXLControl::StopMicLevel() {
    function_trace trace(&m_log, call_text("StopMicLevel()"));
    if (m_pVXL == nullptr) {
        return VXL_S_OK;
    }
    int32_t unused = 0;
    char unused_text[VOXLINE_STATISTICS_BUFFER_SIZE] = {};
    m_pVXL->GenericCommand(VXL_COMMAND_STOP_MIC_WIZARD, 0, 0, "", "", &unused, unused_text);
    return VXL_S_OK;
}

}  // namespace kestrel
