// The override file vxl.opt: "key=value" lines that replace arguments of
// ConfigureCallParameters, for support staff debugging an install.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/call_parameters.h"
#include "util/vxl_log.h"

namespace voxline {

namespace {

constexpr int LINE_MAX_CHARS = 1023;
constexpr int32_t FORWARDING_BIT = 0x4;

enum class key_kind { text, integer, flags, type_of_service };

struct override_key {
    const char* key;  // with its "=": matched exactly at the start of the line
    key_kind kind;
    size_t kept;  // characters kept of a text value
    opt_text call_parameters::*text;
    int32_t call_parameters::*integer;
};

constexpr override_key text_key(const char* key, size_t kept, opt_text call_parameters::*field) {
    return {key, key_kind::text, kept, field, nullptr};
}
constexpr override_key int_key(const char* key, int32_t call_parameters::*field,
                               key_kind kind = key_kind::integer) {
    return {key, kind, 0, nullptr, field};
}

// In the order they are tried.
const override_key KEYS[] = {
    text_key("szLocalIP=", 19, &call_parameters::szLocalIP),
    text_key("szCallerIDNumber=", 255, &call_parameters::szCallerIDNumber),
    text_key("szCallerIDName=", 255, &call_parameters::szCallerIDName),
    text_key("szCallAgentIP=", 255, &call_parameters::szCallAgentIP),
    int_key("iCallAgentPort=", &call_parameters::iCallAgentPort),
    int_key("iLocalMGCPPort=", &call_parameters::iLocalMGCPPort),
    int_key("vocoderType=", &call_parameters::vocoderType),
    int_key("iSamplesPerRtpPacket=", &call_parameters::iSamplesPerRtpPacket),
    int_key("iMinimumAudioInputSampleSizeInMs=",
            &call_parameters::iMinimumAudioInputSampleSizeInMs),
    int_key("iMinimumJitterBufferSizeInMs=", &call_parameters::iMinimumJitterBufferSizeInMs),
    int_key("iMinimumJitterBufferThresholdInMs=",
            &call_parameters::iMinimumJitterBufferThresholdInMs),
    int_key("iCallAgentMGCPXmitPort=", &call_parameters::iCallAgentMGCPXmitPort),
    int_key("iCallAgentNATInfoPort=", &call_parameters::iCallAgentNATInfoPort),
    text_key("szExtension=", 39, &call_parameters::szExtension),
    text_key("szAccount=", 79, &call_parameters::szAccount),
    text_key("szPin=", 79, &call_parameters::szPin),
    int_key("iFlags=", &call_parameters::iFlags, key_kind::flags),
    int_key("iMGCPAuditTimeout=", &call_parameters::iMGCPAuditTimeout),
    text_key("szProxyIP=", 511, &call_parameters::szProxyIP),
    int_key("iProxyPort=", &call_parameters::iProxyPort),
    int_key("iSignalStrengthIntervalInMs=", &call_parameters::iSignalStrengthIntervalInMs),
    int_key("iReserved1=", &call_parameters::iReserved1),
    int_key("iReserved2=", &call_parameters::iReserved2, key_kind::type_of_service),
    text_key("szReserved1=", 511, &call_parameters::szReserved1),
    text_key("szReserved2=", 511, &call_parameters::szReserved2),
};

// Leading decimal digits with an optional sign; anything else reads as 0.
int32_t read_integer(const char* text) {
    errno = 0;
    char* end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (end == text) return 0;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Key names print without their "=".
void key_name(const override_key& k, char* out, size_t size) {
    snprintf(out, size, "%.*s", static_cast<int>(strlen(k.key) - 1), k.key);
}

void apply_line(const char* line, call_parameters* p) {
    for (const override_key& k : KEYS) {
        const size_t key_length = strlen(k.key);
        if (strncmp(line, k.key, key_length) != 0) continue;
        const char* value = line + key_length;
        char name[64];
        key_name(k, name, sizeof name);
        if (k.kind == key_kind::text) {
            opt_text& field = p->*(k.text);
            std::string replacement(value, strnlen(value, k.kept));
            const bool secret = k.text == &call_parameters::szPin;
            VXL_LOG(LOG_INFO, " VXL.OPT overriding %s=[%s] with [%s]", name,
                    secret ? masked(field).c_str() : text_or_null(field),
                    secret ? masked(replacement).c_str() : replacement.c_str());
            field = replacement;
            return;
        }
        int32_t& field = p->*(k.integer);
        const int32_t replacement = read_integer(value);
        VXL_LOG(LOG_INFO, " VXL.OPT overriding %s=%d with %d", name, field, replacement);
        switch (k.kind) {
            case key_kind::flags:  // forwarding was decided by the argument
                field = (replacement & ~FORWARDING_BIT) | (field & FORWARDING_BIT);
                break;
            case key_kind::type_of_service:  // already in force for the process
                break;
            default:
                field = replacement;
        }
        return;
    }
    VXL_LOG(LOG_ERROR, " Invalid VXL.OPT value ignored [%s]", line);
}

}  // namespace

bool apply_override_file(const char* path, call_parameters* parameters) {
    FILE* file = fopen(path, "r");
    if (!file) return false;
    VXL_LOG(LOG_INFO, "Processing configuration from response file VXL.OPT");
    char line[LINE_MAX_CHARS + 1];
    while (fgets(line, sizeof line, file)) {
        size_t length = strlen(line);
        for (int i = 0;
             i < 2 && length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n'); ++i)
            line[--length] = '\0';
        apply_line(line, parameters);
    }
    fclose(file);
    return true;
}

void log_effective_parameters(const call_parameters& p, uint8_t type_of_service) {
    VXL_LOG(LOG_ALWAYS, "szLocalIP=[%s]", text_or_null(p.szLocalIP));
    VXL_LOG(LOG_ALWAYS, "szCallerIDNumber=[%s]", text_or_null(p.szCallerIDNumber));
    VXL_LOG(LOG_ALWAYS, "szCallerIDName=[%s]", text_or_null(p.szCallerIDName));
    VXL_LOG(LOG_ALWAYS, "szCallAgentIP=[%s]", text_or_null(p.szCallAgentIP));
    VXL_LOG(LOG_ALWAYS, "iCallAgentPort=%d", p.iCallAgentPort);
    VXL_LOG(LOG_ALWAYS, "iLocalMGCPPort=%d", p.iLocalMGCPPort);
    VXL_LOG(LOG_ALWAYS, "vocoderType=%d", p.vocoderType);
    VXL_LOG(LOG_ALWAYS, "iSamplesPerRtpPacket=%d", p.iSamplesPerRtpPacket);
    VXL_LOG(LOG_ALWAYS, "iMinimumJitterBufferSizeInMs=%d", p.iMinimumJitterBufferSizeInMs);
    VXL_LOG(LOG_ALWAYS, "iCallAgentMGCPXmitPort=%d (obsolete)", p.iCallAgentMGCPXmitPort);
    VXL_LOG(LOG_ALWAYS, "iCallAgentNATInfoPort=%d", p.iCallAgentNATInfoPort);
    VXL_LOG(LOG_ALWAYS, "szExtension=[%s]", text_or_null(p.szExtension));
    VXL_LOG(LOG_ALWAYS, "szAccount=[%s]", text_or_null(p.szAccount));
    VXL_LOG(LOG_ALWAYS, "szPin=[%s]", masked(p.szPin).c_str());
    VXL_LOG(LOG_ALWAYS, "iFlags=0x%X", static_cast<unsigned>(p.iFlags));
    VXL_LOG(LOG_ALWAYS, "iMGCPAuditTimeout=%d", p.iMGCPAuditTimeout);
    VXL_LOG(LOG_ALWAYS, "szProxyIP=[%s]", text_or_null(p.szProxyIP));
    VXL_LOG(LOG_ALWAYS, "iProxyPort=%d", p.iProxyPort);
    VXL_LOG(LOG_ALWAYS, "iSignalStrengthIntervalInMs=%d ms%s", p.iSignalStrengthIntervalInMs,
            p.iSignalStrengthIntervalInMs == 0 ? "(disabled)" : "");
    VXL_LOG(LOG_ALWAYS, "TOSbits=[0x%X]", type_of_service);
}

}  // namespace voxline
