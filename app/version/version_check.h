// The start-up version check: asks the operator's version service which
// version and flavor to run, and offers or forces the download.
#pragma once

#include <string>

#include "web_get.h"

namespace dialdeck {

struct version_settings {
    std::string update_enable;  // UpdateEnable
    std::string url_update;     // URLUpdate: host ";" path
    std::string url_download;   // URLDownload
    std::string flavor_enable;  // FlavorEnable
    std::string flavor;         // Flavor
    std::string ca_file;        // CAFile
};

// What the user sees; the dialogs implement it, tests script it.
class version_prompts {
  public:
    virtual ~version_prompts() = default;
    virtual void error(const std::string& caption, const std::string& text) = 0;
    virtual void inform(const std::string& text) = 0;
    // true for Yes.
    virtual bool ask(const std::string& caption, const std::string& text) = 0;
    virtual void open_url(const std::string& url) = 0;
};

enum class version_outcome {
    go_on,             // start-up continues
    exit_for_download  // the program ends (exit code 0) for the download
};

inline constexpr int k_version_exit_code = 0;

class app_settings;
// The check's keys from the Dialdeck section.
version_settings version_settings_from(const app_settings& settings);

// host + "/" + path, with the host's own scheme, else https.
web_request version_request(const std::string& host, const std::string& path,
                            const std::string& ca_file);

version_outcome run_version_check(const version_settings& settings, version_prompts& prompts,
                                  const web_fetcher& fetch = web_fetch);

}  // namespace dialdeck
