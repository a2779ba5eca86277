// The main window on the fake control, with an application folder the lab
// wrote, its messages recorded and its login scripted.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>

#include "app_settings.h"
#include "control_loader.h"
#include "dressing.h"
#include "lab_launcher.h"
#include "main_window.h"

namespace voxline::test {

inline constexpr const char* LAB_ADDRESS = "127.0.98.1";

class WindowTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ::setenv("KESTREL_CONTROL", FAKE_CONTROL, 1);
        s_template = std::make_unique<temp_folder>();
        s_tls = std::make_unique<temp_folder>();
        ASSERT_TRUE(lab_settings(*s_template, LAB_ADDRESS, s_tls->path()));
    }
    static void TearDownTestSuite() {
        s_template.reset();
        s_tls.reset();
    }

    void SetUp() override {
        std::filesystem::copy(s_template->path(), folder.path(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        settings = dialdeck::app_settings::load(folder.path());
        ASSERT_TRUE(settings);
        set("UpdateEnable", "false");
        // No pictures from the network here.
        for (const char* ad : {"Ad001", "Ad002"}) ASSERT_TRUE(settings->write("Ads", ad, ""));
        set("LDAP", std::string("0,") + LAB_ADDRESS + ",1");
    }

    void set(const char* key, const std::string& value) {
        ASSERT_TRUE(settings->write("Dialdeck", key, value));
    }
    // Changes some comma fields of a setting; a size of 0 keeps the count.
    void set_fields(const char* key, std::vector<std::pair<size_t, std::string>> changed,
                    size_t size = 0) {
        auto f = dialdeck::split_fields(settings->dialdeck(key));
        if (size) f.resize(size, "0");
        for (auto& [index, value] : changed) f.at(index) = value;
        std::string text;
        for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
        set(key, text);
    }

    dialdeck::startup_outcome start() {
        const auto loaded = dialdeck::load_control("");
        EXPECT_TRUE(loaded.control) << loaded.error;
        dialdeck::window_services services;
        services.message = [this](QWidget*, const dialdeck::window_message& m) {
            messages.push_back(m);
        };
        services.login = [this](QWidget*, dialdeck::app_settings& s) {
            ++login_calls;
            if (!login_state.empty()) s.write("Dialdeck", "State", login_state);
            return login;
        };
        window = std::make_unique<dialdeck::MainWindow>(
            *settings, std::make_unique<dialdeck::phone_control>(loaded.control), services);
        return window->start();
    }

    std::string property(const char* name) { return window->control().get(name); }
    std::string command(const char* name, const char* parameter = "") {
        char* out = nullptr;
        window->control().raw()->ExecuteCommand(name, parameter, "", &out);
        std::string text = out ? out : "";
        std::free(out);
        return text;
    }
    // The control reports a call state; the window handles it once the call returns.
    void fire(int state) {
        command("state", std::to_string(state).c_str());
        QCoreApplication::sendPostedEvents();
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) window->tick();
    }
    std::string duration() { return window->duration_label()->text().toStdString(); }

    static inline std::unique_ptr<temp_folder> s_template;
    static inline std::unique_ptr<temp_folder> s_tls;
    temp_folder folder;
    std::optional<dialdeck::app_settings> settings;
    std::vector<dialdeck::window_message> messages;
    dialdeck::login_outcome login = dialdeck::login_outcome::no_login;
    std::string login_state;
    int login_calls = 0;
    std::unique_ptr<dialdeck::MainWindow> window;
};

}  // namespace voxline::test
