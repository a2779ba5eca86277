#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace voxline_call {

namespace {

bool parse_int(const std::string& text, int64_t low, int64_t high, int32_t& out) {
    int64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        first += 2;
        base = 16;
    }
    auto [end, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || end != last || first == last || value < low || value > high) {
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

bool parse_seconds(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value < 0 || value > 86400) {
        return false;
    }
    out = value;
    return true;
}

bool parse_codec(const std::string& text, int32_t& out) {
    static const std::map<std::string, int32_t> codecs = {
        {"g723", 0}, {"g729", 1}, {"g711u", 2}, {"g711a", 3}};
    auto it = codecs.find(text);
    if (it == codecs.end()) {
        return false;
    }
    out = it->second;
    return true;
}

struct option_rule {
    bool takes_value;     // a value is required
    bool optional_value;  // --name[=value]
    std::function<bool(phone_options&, const std::string&)> apply;
    const char* expects;  // for the error text
};

template <typename T>
auto int_into(T phone_options::*member, int64_t low, int64_t high) {
    return [=](phone_options& o, const std::string& v) {
        int32_t value = 0;
        if (!parse_int(v, low, high, value)) {
            return false;
        }
        o.*member = value;
        return true;
    };
}

auto text_into(std::string phone_options::*member) {
    return [=](phone_options& o, const std::string& v) {
        o.*member = v;
        return true;
    };
}

auto seconds_into(std::optional<double> phone_options::*member) {
    return [=](phone_options& o, const std::string& v) {
        double value = 0;
        if (!parse_seconds(v, value)) {
            return false;
        }
        o.*member = value;
        return true;
    };
}

const std::map<std::string, option_rule>& rules() {
    constexpr int64_t int_max = 0x7FFFFFFF;
    static const std::map<std::string, option_rule> table = {
        {"call-agent", {true, false, text_into(&phone_options::call_agent), "address list"}},
        {"port", {true, false, int_into(&phone_options::call_agent_port, 1, 65535), "a port"}},
        {"local-ip", {true, false, text_into(&phone_options::local_ip), "an address"}},
        {"mgcp-port", {true, false, int_into(&phone_options::local_mgcp_port, 1, 65535), "a port"}},
        {"caller-id-number", {true, false, text_into(&phone_options::caller_id_number), "text"}},
        {"caller-id-name", {true, false, text_into(&phone_options::caller_id_name), "text"}},
        {"extension", {true, false, text_into(&phone_options::extension), "text"}},
        {"account", {true, false, text_into(&phone_options::account), "text"}},
        {"pin", {true, false, text_into(&phone_options::pin), "text"}},
        {"codec",
         {true, false,
          [](phone_options& o, const std::string& v) { return parse_codec(v, o.vocoder); },
          "g711u, g711a, g729 or g723"}},
        {"pack", {true, false, int_into(&phone_options::pack, 0, 64), "a number 0-64"}},
        {"input-ms", {true, false, int_into(&phone_options::input_ms, 0, 1000), "0-1000 ms"}},
        {"jitter-size",
         {true, false, int_into(&phone_options::jitter_size_ms, 0, 5000), "0-5000 ms"}},
        {"jitter-threshold",
         {true, false, int_into(&phone_options::jitter_threshold_ms, 0, 5000), "0-5000 ms"}},
        {"flags", {true, false, int_into(&phone_options::flags, 0, int_max), "a number"}},
        {"audit-timeout",
         {true, false, int_into(&phone_options::audit_timeout_s, 0, 86400), "0-86400 s"}},
        {"nat-port", {true, false, int_into(&phone_options::nat_port, 0, 65535), "a port"}},
        {"qos", {true, false, int_into(&phone_options::qos, 0, 255), "0-255"}},
        {"proxy",
         {true, false,
          [](phone_options& o, const std::string& v) {
              o.proxy = v;
              return true;
          },
          "address list"}},
        {"proxy-port", {true, false, int_into(&phone_options::proxy_port, 0, 65535), "a port"}},
        {"stats-interval",
         {true, false,
          [](phone_options& o, const std::string& v) {
              int32_t value = 0;
              if (!parse_int(v, 0, int_max, value)) {
                  return false;
              }
              o.stats_interval_ms = value;
              return true;
          },
          "milliseconds"}},
        {"echo-delay",
         {true, false,
          [](phone_options& o, const std::string& v) {
              int32_t value = 0;
              if (!parse_int(v, -1, 10000, value)) {
                  return false;
              }
              o.echo_delay_ms = value;
              return true;
          },
          "-1 or 0-10000 ms"}},
        {"dial",
         {true, false,
          [](phone_options& o, const std::string& v) {
              o.dial = v;
              return true;
          },
          "a number"}},
        {"hangup-after", {true, false, seconds_into(&phone_options::hangup_after_s), "seconds"}},
        {"auto-answer", {false, true, seconds_into(&phone_options::auto_answer_s), "seconds"}},
        {"digits",
         {true, false,
          [](phone_options& o, const std::string& v) {
              o.digits = v;
              return true;
          },
          "digits"}},
        {"exit-on-disconnect",
         {false, false,
          [](phone_options& o, const std::string&) {
              o.exit_on_disconnect = true;
              return true;
          },
          ""}},
        {"logoff-after", {true, false, seconds_into(&phone_options::logoff_after_s), "seconds"}},
        {"interactive",
         {false, false,
          [](phone_options& o, const std::string&) {
              o.interactive = true;
              return true;
          },
          ""}},
        {"audio",
         {true, false,
          [](phone_options& o, const std::string& v) {
              o.audio = v;
              return !v.empty();
          },
          "a sound backend"}},
        {"list-devices",
         {false, false,
          [](phone_options& o, const std::string&) {
              o.list_devices = true;
              return true;
          },
          ""}},
        {"mic-level", {false, true, seconds_into(&phone_options::mic_level_s), "seconds"}},
        {"engine-tones",
         {false, false,
          [](phone_options& o, const std::string&) {
              o.engine_tones = true;
              return true;
          },
          ""}},
        {"verbose",
         {false, false,
          [](phone_options& o, const std::string&) {
              o.verbose = true;
              return true;
          },
          ""}},
    };
    return table;
}

}  // namespace

parse_result parse_options(const std::vector<std::string>& args, phone_options& options,
                           std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            return parse_result::help;
        }
        if (arg == "--version") {
            return parse_result::version;
        }
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            error = "unexpected argument '" + arg + "'";
            return parse_result::bad;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        auto it = rules().find(name);
        if (it == rules().end()) {
            error = "unknown option '--" + name + "'";
            return parse_result::bad;
        }
        const option_rule& rule = it->second;
        if (rule.takes_value && !value) {
            if (i + 1 >= args.size()) {
                error = "--" + name + " needs a value (" + rule.expects + ")";
                return parse_result::bad;
            }
            value = args[++i];
        }
        if (!rule.takes_value && !rule.optional_value && value) {
            error = "--" + name + " takes no value";
            return parse_result::bad;
        }
        std::string given = value.value_or(rule.optional_value ? "0" : "");
        if (!rule.apply(options, given)) {
            error = "--" + name + ": '" + given + "' is not " + rule.expects;
            return parse_result::bad;
        }
    }
    if (options.call_agent.empty() && !options.list_devices) {
        error = "--call-agent is required";
        return parse_result::bad;
    }
    return parse_result::run;
}

const char* usage_text() {
    return R"(Usage: voxline-call --call-agent LIST [options]

A headless phone on the Voxline engine. Every engine event is printed as one
line "event <Name> <arguments>" on standard output.

Configuration (one option per ConfigureCallParameters argument):
  --call-agent LIST       call agents, dotted addresses separated by "," (required)
  --port N                call agent's MGCP port (2727)
  --local-ip ADDR         local address (default: detected)
  --mgcp-port N           local MGCP port (2427)
  --caller-id-number TEXT, --caller-id-name TEXT
  --extension TEXT, --account TEXT, --pin TEXT
  --codec g711u|g711a|g729|g723   (g711u)
  --pack N                codec frames per RTP packet (2)
  --input-ms N            minimum audio input size in ms (20)
  --jitter-size MS        minimum jitter buffer size (60)
  --jitter-threshold MS   jitter buffer threshold (40)
  --flags N               engine flags, decimal or 0x hex (0x29: echo
                          cancellation, audit, scrambled account)
  --audit-timeout S       audit timeout in seconds (0: the engine's default)
  --nat-port N            call agent's NAT information port (0: 2829)
  --qos N                 type-of-service byte of the media (20)
  --proxy LIST, --proxy-port N    media proxies
  --stats-interval MS     statistics events during a call (off)
  --echo-delay MS         echo canceller delay after the configuration
                          (-1: measure it with the ping at every call)
  --audio BACKEND         sound backend, as VOXLINE_AUDIO (which it overrides):
                          portaudio[:in=NAME][,out=NAME][,rate=HZ] or
                          virtual:mic=FILE.wav|tone:HZ|silence,speaker=FILE.wav|discard

Actions:
  --dial NUMBER           call NUMBER once the engine is logged on
  --hangup-after S        hang up S seconds after dialling (0: at once)
  --auto-answer[=S]       answer incoming calls after S seconds (0)
  --digits TEXT           send TEXT as digits once the call is answered
  --exit-on-disconnect    end after the first Disconnected event
  --logoff-after S        log off S seconds after the registration
  --list-devices          print the sound devices ("in|out NAME RATE [default]",
                          tab-separated) and exit; needs no other option
  --mic-level[=S]         configure without logging on and report the
                          microphone level for S seconds (0: until quit)
  --engine-tones          answer PlayTone with 1, so the engine plays the
                          call-progress tones itself (busy, ringing, ...)
  --interactive           read commands from standard input: call N, answer,
                          hangup, digits D, beep, stats, mic start, mic stop,
                          logoff, quit
  --verbose               also print the engine's diagnostic lines ("log ...")
  --help, --version

Exit status: 0 after a clean logoff (or any disconnect with
--exit-on-disconnect, or quit); 1 when the engine could not be loaded or
refused a command; 2 for bad options; 3 when the session ended without a
logoff being asked for (registration refused, link lost).

The engine is libvoxline.so from $VOXLINE_ENGINE, ../lib next to this program,
or the library path.
)";
}

}  // namespace voxline_call
