// Command-line options of voxline-call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace voxline_call {

struct phone_options {
    // One per ConfigureCallParameters argument; defaults are a desktop install's.
    std::string call_agent;
    int32_t call_agent_port = 2727;
    std::string local_ip;
    int32_t local_mgcp_port = 2427;
    std::string caller_id_number;
    std::string caller_id_name;
    std::string extension;
    std::string account;
    std::string pin;
    int32_t vocoder = 2;  // VXL_VOCODER_G711U
    int32_t pack = 2;
    int32_t input_ms = 20;
    int32_t jitter_size_ms = 60;
    int32_t jitter_threshold_ms = 40;
    int32_t flags = 0x29;  // echo cancellation, audit, scrambled account
    int32_t audit_timeout_s = 0;
    int32_t nat_port = 0;
    int32_t qos = 20;
    std::optional<std::string> proxy;
    int32_t proxy_port = 0;
    std::optional<int32_t> stats_interval_ms;
    // The echo canceller's delay after configuration; -1 measures it.
    std::optional<int32_t> echo_delay_ms;
    std::optional<std::string> audio;  // overrides VOXLINE_AUDIO

    // Actions.
    std::optional<std::string> dial;
    std::optional<double> hangup_after_s;
    std::optional<double> auto_answer_s;
    std::optional<std::string> digits;
    bool exit_on_disconnect = false;
    std::optional<double> logoff_after_s;
    bool interactive = false;
    bool list_devices = false;
    std::optional<double> mic_level_s;  // 0: until quit or a signal
    bool verbose = false;
    // PlayTone answers 1: the engine plays its own call-progress tones.
    bool engine_tones = false;
};

enum class parse_result { run, help, version, bad };

// Fills `options`; on `bad`, `error` holds a one-line explanation.
parse_result parse_options(const std::vector<std::string>& args, phone_options& options,
                           std::string& error);

const char* usage_text();

}  // namespace voxline_call
