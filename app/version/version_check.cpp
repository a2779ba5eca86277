#include "version_check.h"

#include <QByteArray>

#include "app_settings.h"
#include "ca_file.h"
#include "version_compare.h"
#include "xml_text.h"

namespace dialdeck {

namespace {

bool is_true(const std::string& text) {
    return QByteArray::fromStdString(text).compare("true", Qt::CaseInsensitive) == 0;
}

const std::string k_unreachable = "An error occured trying to reach your web service.";
const std::string k_must_download = "A new version of the dialdeck needs to be downloaded";

std::string offer_text(const std::string& offered) {
    return "A different version of software is available.\nWould you like to download the "
           "server version?\n\nYour Version: " +
           std::string(k_running_version) + "\nDownloadable Version: " + offered +
           "\n\nNOTE: If you are running an older version,\nnot updating might cause your "
           "phone to not function properly.";
}

const std::string k_flavor_text =
    "A different flavor of software is available.\nWould you like to download the server "
    "version?\nNew features may be available with this new flavor.";

version_outcome download(const version_settings& settings, version_prompts& prompts) {
    if (!settings.url_download.empty()) prompts.open_url(settings.url_download);
    return version_outcome::exit_for_download;
}

}  // namespace

version_settings version_settings_from(const app_settings& settings) {
    return {settings.dialdeck("UpdateEnable"), settings.dialdeck("URLUpdate"),
            settings.dialdeck("URLDownload"),  settings.dialdeck("FlavorEnable"),
            settings.dialdeck("Flavor"),       ca_file_path(settings)};
}

web_request version_request(const std::string& host, const std::string& path,
                            const std::string& ca_file) {
    std::string url = host + "/" + path;
    if (host.find("://") == std::string::npos) url = "https://" + url;
    web_request request;
    request.url = QString::fromStdString(url);
    request.user_agent = "VersionChecker/";
    request.timeout_ms = 15000;
    request.max_bytes = 64 * 1024;
    request.ca_file = QString::fromStdString(ca_file);
    return request;
}

version_outcome run_version_check(const version_settings& settings, version_prompts& prompts,
                                  const web_fetcher& fetch) {
    if (!is_true(settings.update_enable)) return version_outcome::go_on;
    const auto split = settings.url_update.find(';');
    if (split == std::string::npos) return version_outcome::go_on;
    const web_answer answer =
        fetch(version_request(settings.url_update.substr(0, split),
                              settings.url_update.substr(split + 1), settings.ca_file));
    if (!answer.ok) {
        // Without a document there is nothing to compare, flavor included.
        prompts.error("Error", k_unreachable);
        return version_outcome::go_on;
    }
    const std::string offered = xml_element_text(answer.body, "Version");
    if (compare_versions(offered, k_running_version, '.', 4) == 1) {
        if (is_true(xml_element_text(answer.body, "Need"))) {
            prompts.inform(k_must_download);
            return download(settings, prompts);
        }
        if (prompts.ask("New Version Available", offer_text(offered)))
            return download(settings, prompts);
    }
    if (is_true(settings.flavor_enable) &&
        settings.flavor != xml_element_text(answer.body, "Flavor")) {
        if (prompts.ask("New Flavor Available", k_flavor_text)) return download(settings, prompts);
    }
    return version_outcome::go_on;
}

}  // namespace dialdeck
