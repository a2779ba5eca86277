#include "host_options.h"

#include <cstdlib>

namespace kestrel_host {

namespace {

bool split_pair(const std::string& text, std::pair<std::string, std::string>& out) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    out = {text.substr(0, eq), text.substr(eq + 1)};
    return true;
}

bool parse_size(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    char* end = nullptr;
    const long w = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x) return false;
    const long h = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end != 0 || w < 1 || h < 1 || w > 10000 || h > 10000) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace

bool parse_options(const std::vector<std::string>& args, host_options& options,
                   std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--no-console") {
            options.console = false;
            continue;
        }
        const bool takes_value = arg == "--control" || arg == "--size" || arg == "--params" ||
                                 arg == "--set" || arg == "--loads" || arg == "--name";
        if (!takes_value) {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--control") {
            options.control = value;
        } else if (arg == "--size") {
            if (!parse_size(value, options.width, options.height)) {
                error = "--size wants WxH, got " + value;
                return false;
            }
        } else if (arg == "--params") {
            options.params_file = value;
        } else if (arg == "--loads") {
            options.loads = value;
            options.has_loads = true;
        } else {
            std::pair<std::string, std::string> pair;
            if (!split_pair(value, pair)) {
                error = arg + " wants NAME=VALUE, got " + value;
                return false;
            }
            (arg == "--set" ? options.sets : options.names).push_back(std::move(pair));
        }
    }
    return true;
}

}  // namespace kestrel_host
