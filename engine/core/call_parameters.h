// The parameter set of ConfigureCallParameters, as the override file and the
// effective-value log see it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace voxline {

// A string argument; nullopt stands for a missing (null) argument.
using opt_text = std::optional<std::string>;

struct call_parameters {
    opt_text szLocalIP;
    opt_text szCallerIDNumber;
    opt_text szCallerIDName;
    opt_text szCallAgentIP;
    int32_t iCallAgentPort = 0;
    int32_t iLocalMGCPPort = 0;
    int32_t vocoderType = 0;
    int32_t iSamplesPerRtpPacket = 0;
    int32_t iMinimumAudioInputSampleSizeInMs = 0;
    int32_t iMinimumJitterBufferSizeInMs = 0;
    int32_t iMinimumJitterBufferThresholdInMs = 0;
    int32_t iCallAgentMGCPXmitPort = 0;
    int32_t iCallAgentNATInfoPort = 0;
    opt_text szExtension;
    opt_text szAccount;
    opt_text szPin;
    int32_t iFlags = 0;
    int32_t iMGCPAuditTimeout = 0;
    opt_text szProxyIP;
    int32_t iProxyPort = 0;
    int32_t iSignalStrengthIntervalInMs = 0;
    int32_t iReserved1 = 0;
    int32_t iReserved2 = 0;
    opt_text szReserved1;
    opt_text szReserved2;
};

// Applies the override file at path, when it can be opened, logging every
// override and every line that names no key. Returns false when there is no file.
bool apply_override_file(const char* path, call_parameters* parameters);

// Logs the effective values, one line each.
void log_effective_parameters(const call_parameters& parameters, uint8_t type_of_service);

// "(null)" for a missing text, as the log prints it.
inline const char* text_or_null(const opt_text& text) {
    return text ? text->c_str() : "(null)";
}

// The PIN never reaches the log in clear: one "*" per character.
inline std::string masked(const opt_text& text) {
    return text ? std::string(text->size(), '*') : "(null)";
}

}  // namespace voxline
