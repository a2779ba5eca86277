// Runs the application's web requests from the end-to-end tests:
//   web_probe get URL [CAFILE]                       -> ok=, status=, error=, body=
//   web_probe pin RECORD OWNERKEY HOST FILE [CAFILE] -> verdict=, reason=
//   web_probe check URLUPDATE ANSWERS [CAFILE]       -> one line per box, outcome=
// ANSWERS holds y or n per question, in order; URLDownload is "download.invalid".
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "pin_check.h"
#include "version_check.h"

namespace {

using namespace dialdeck;

struct printed_prompts : version_prompts {
    std::string answers;
    void error(const std::string& caption, const std::string& text) override {
        std::printf("box=error caption=%s text=%s\n", caption.c_str(), text.c_str());
    }
    void inform(const std::string& text) override {
        std::printf("box=inform text=%s\n", text.c_str());
    }
    bool ask(const std::string& caption, const std::string&) override {
        const bool yes = !answers.empty() && answers.front() == 'y';
        if (!answers.empty()) answers.erase(0, 1);
        std::printf("box=ask caption=%s answer=%s\n", caption.c_str(), yes ? "yes" : "no");
        return yes;
    }
    void open_url(const std::string& url) override { std::printf("open=%s\n", url.c_str()); }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto arg = [&](int i) { return std::string(i < argc ? argv[i] : ""); };
    const std::string mode = arg(1);
    if (mode == "get" && argc >= 3) {
        web_request request{QString::fromLocal8Bit(argv[2]), "VersionChecker/", 15000, 64 * 1024,
                            QString::fromLocal8Bit(arg(3).c_str())};
        const web_answer answer = web_fetch(request);
        std::printf("ok=%d\nstatus=%d\nerror=%s\nbody=%s\n", answer.ok ? 1 : 0, answer.status,
                    answer.error.toUtf8().constData(), answer.body.constData());
    } else if (mode == "pin" && argc >= 6) {
        const pin_result result =
            verify_pin(argv[2], argv[3], argv[4], argv[5], QString::fromLocal8Bit(arg(6).c_str()));
        const char* names[] = {"valid", "invalid", "failed"};
        std::printf("verdict=%s\nreason=%s\n", names[static_cast<int>(result.verdict)],
                    result.reason.toUtf8().constData());
    } else if (mode == "check" && argc >= 4) {
        printed_prompts prompts;
        prompts.answers = argv[3];
        const version_settings settings{"true", argv[2], "http://download.invalid/get",
                                        "true", "lab",   arg(4)};
        const auto outcome = run_version_check(settings, prompts);
        std::printf("outcome=%s\n",
                    outcome == version_outcome::go_on ? "go_on" : "exit_for_download");
    } else {
        std::fprintf(stderr, "usage: web_probe get|pin|check ...\n");
        return 2;
    }
    return 0;
}
