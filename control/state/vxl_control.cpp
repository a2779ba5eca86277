#include "state/vxl_control.h"

#include <QMetaObject>
#include <QWidget>
#include <cstdarg>
#include <cstdio>

#include "parameters/text_lists.h"
#include "state/audio_in_use_dialog.h"
#include "state/callback_sink.h"
#include "state/echo_delay_store.h"
#include "state/event_mailbox.h"

namespace kestrel {

CVXLControl::CVXLControl(control_environment environment)
    : m_log(std::move(environment.log_file)),
      m_parameters(&m_log),
      m_create_engine(environment.create_engine ? std::move(environment.create_engine)
                                                : library_engine_factory()),
      m_timers(environment.timers ? std::move(environment.timers)
                                  : std::make_unique<qt_control_timers>()) {
    m_log.set_console_sink(
        [this](int32_t level, const std::string& source, const std::string& text) {
            WriteJavaConsoleMessage(level, source, text);
        });
    m_timers->set_expiry([this](int id) { OnTimer(id); });
    m_mailbox = std::make_shared<event_mailbox>(
        &m_receiver, [this](const sink_event& event) { OnSinkEvent(event); });
    m_nEchoDelay = environment.echo_delay ? *environment.echo_delay : stored_echo_delay();
    // The message lists are needed before the first layout pass reads the rest.
    m_settings = m_parameters.read_settings();
}

CVXLControl::~CVXLControl() {
    // The automation class destroys first, with its own virtual operations;
    // this only catches a control that was never destroyed.
    Destroy();
    m_mailbox->close();
    m_log.set_console_sink(nullptr);
}

std::string CVXLControl::entry(const std::vector<std::string>& list, int index) {
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        return {};
    }
    return list[static_cast<size_t>(index)];
}

std::string CVXLControl::call_text(const char* format, ...) const {
    if (!m_log.trace()) {
        return {};
    }
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    return text;
}

// ---------------------------------------------------------------------------
// Parameters and set-up
// ---------------------------------------------------------------------------

void CVXLControl::SetParameterValue(const std::string& name, const std::string& value) {
    set_outcome outcome = m_parameters.SetParameterValue(name, value);
    if (outcome.became_complete) {
        if (!m_bInitialSetupComplete) {
            return;
        }
        if (m_bBrowserMode) {
            ConfigureCallManager();
        } else {
            PlaceCall();
        }
    }
    if (m_bInitialSetupComplete && !m_destroyed) {
        ReadHTMLParameters();
    }
}

void CVXLControl::ReadHTMLParameters() {
    m_settings = m_parameters.read_settings();
    apply_settings();
}

void CVXLControl::apply_settings() {
    // An unspecified Mode keeps whatever mode was chosen before.
    if (!equals_ignoring_case(m_parameters.GetHTMLParameter("Mode"), NOT_SPECIFIED)) {
        m_bBrowserMode = m_settings.browser_mode;
    }
    m_mailbox->browser_mode.store(m_bBrowserMode, std::memory_order_relaxed);
    m_bEndSessionOnHangup = m_settings.allow_simultaneous;
    m_log.set_trace(m_settings.trace);
    GetVocoder(m_settings.vocoder);
}

void CVXLControl::InitialSetup() {
    if (m_bInitialSetupComplete || m_destroyed) {
        return;
    }
    m_settings = m_parameters.read_settings();
    m_log.set_diagnostics(m_settings.diag_at_start);
    apply_settings();
    PrepareInitialSetup();
    m_bInitialSetupComplete = true;
    m_log.LogMessage(LOG_ALWAYS, "Initial Setup Complete");
    if (m_bBrowserMode) {
        ConfigureCallManager();
    } else {
        PlaceCall();
    }
    m_log.LogMessage(LOG_ALWAYS, "Required Setup Complete");
}

// ---------------------------------------------------------------------------
// The sink
// ---------------------------------------------------------------------------

void CVXLControl::attach_new_sink() {
    detach_sink();
    m_sink_generation = ++m_last_generation;
    m_pCallback = new callback_sink(m_mailbox, m_sink_generation);
}

void CVXLControl::detach_sink() {
    if (m_pCallback == nullptr) {
        return;
    }
    m_pCallback->detach();
    m_pCallback->Release();
    m_pCallback = nullptr;
    m_sink_generation = 0;
}

// ---------------------------------------------------------------------------
// Virtual operations: what the control does without a container
// ---------------------------------------------------------------------------

void CVXLControl::InvalidateRect(control_area /*area*/) {}

QWidget* CVXLControl::GetHwnd() {
    return nullptr;
}

void CVXLControl::PostPlaceCall() {
    QMetaObject::invokeMethod(
        &m_receiver,
        [this]() {
            if (!m_destroyed) {
                PlaceCall();
            }
        },
        Qt::QueuedConnection);
}

std::optional<std::string> CVXLControl::GetCurrentLoadPercentagesOfCallManagers(
    const std::string& /*list*/) {
    return std::nullopt;
}

std::string CVXLControl::GetCallerIDNameFromNumber(const std::string& /*number*/) {
    return {};
}

void CVXLControl::ChangeQuillonState(int32_t /*state*/, const std::string& /*parameter1*/,
                                     const std::string& /*parameter2*/) {}

void CVXLControl::WriteJavaConsoleMessage(int32_t /*type*/, const std::string& /*source*/,
                                          const std::string& /*message*/) {}

std::string CVXLControl::ExecuteJavaScriptCommand(const std::string& /*command*/) {
    return {};
}

void CVXLControl::ShowAudioDeviceInUseDialog(const std::string& title, const std::string& text,
                                             const std::string& button) {
    open_audio_in_use_dialog(GetHwnd(), title, text, button, m_dialog_settings.font);
}

void CVXLControl::PrepareDialogSettings() {
    function_trace trace(&m_log, call_text("PrepareDialogSettings()"));
    constexpr int misc_ok = 6;
    m_dialog_settings.button = entry(m_settings.misc_messages, misc_ok);
    const std::string fonts = m_parameters.GetHTMLParameter("DisplayFonts");
    m_dialog_settings.font = fonts.substr(0, fonts.find('|'));
}

void CVXLControl::CloseParentWindow() {
    if (QWidget* window = GetHwnd(); window != nullptr) {
        window->window()->close();
    }
}

}  // namespace kestrel
