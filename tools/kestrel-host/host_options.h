// kestrel-host's command line.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kestrel_host {

struct host_options {
    std::string control;  // empty: search like the application
    int width = 275;
    int height = 190;
    std::string params_file;
    std::vector<std::pair<std::string, std::string>> sets;   // --set NAME=VALUE
    std::vector<std::pair<std::string, std::string>> names;  // --name NUMBER=NAME
    std::string loads;
    bool has_loads = false;
    bool console = true;
};

// Fills options from argv; on a bad option returns false with the reason.
bool parse_options(const std::vector<std::string>& args, host_options& options, std::string& error);

inline constexpr char k_usage[] =
    "usage: kestrel-host [--control FILE] [--size WxH] [--params FILE] [--set NAME=VALUE]...\n"
    "                    [--loads TEXT] [--name NUMBER=NAME]... [--no-console]\n";

}  // namespace kestrel_host
