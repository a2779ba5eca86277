// CVXLControl: the logic half of the phone control. It owns one engine object
// and its event sink, logs on to the call manager, places, answers and hangs
// up calls, and derives everything the phone shows from four state variables:
// the call state, the call-manager state, the directory state and the error.
//
// Everything here runs on the GUI thread; engine events arrive there as
// queued calls from the sink. The window, the container events and the script
// bridge belong to the automation class, which overrides the virtual
// operations (the base versions do nothing, except PostPlaceCall and the
// dialog, which work without a window).
#pragma once

#include <voxline/voxline.h>

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "log/control_log.h"
#include "parameters/control_parameters.h"
#include "state/call_states.h"
#include "state/control_timers.h"
#include "state/engine_loader.h"
#include "state/sink_event.h"

class QWidget;

namespace kestrel {

class callback_sink;
class event_mailbox;

// What a control is built on. Each member left empty gets the real thing:
// the engine library, single-shot QTimers, VXLAX.log in the engine directory,
// the echo delay from the key store.
struct control_environment {
    engine_factory create_engine;
    std::unique_ptr<control_timers> timers;
    std::string log_file;
    std::optional<int32_t> echo_delay;
};

// Parts of the control the layout names; the automation class maps them to
// rectangles.
enum class control_area { whole, display, status, button };

// What the control's dialogs share; the caption is the dialog template's until
// the settings are first prepared.
struct dialog_settings {
    std::string button = "OK";
    std::string font;  // a face name; empty keeps the window's font
};

class CVXLControl {
  public:
    explicit CVXLControl(control_environment environment = {});
    virtual ~CVXLControl();
    CVXLControl(const CVXLControl&) = delete;
    CVXLControl& operator=(const CVXLControl&) = delete;

    // Engine and call-manager session.
    int32_t GetVocoder(int32_t vocoder);
    void ReleaseVocoder();
    int32_t ConfigureCallManager();
    int32_t LogonToCallManager();
    int32_t DisconnectFromCallManager(int32_t iProvideStatus);

    // Calls.
    int32_t PlaceCall();
    int32_t Hangup();
    int32_t AnswerRingingCall();
    // Hangs up, logs off and releases the engine; runs once.
    void Destroy();

    // States.
    void SetCallState(int32_t state, const char* parameter = nullptr);
    void SetCallManagerState(int32_t state, bool reconnect);
    void SetLDAPState(int32_t state);
    void SetErrorState(int32_t error);
    int32_t TranslateErrorCode(int32_t hr, const char* name);
    std::string GetStatusMessage() const;
    std::string GetButtonMessage() const;

    // Timers 123 (reconnect) and 124 (soft error).
    void OnTimer(int id);
    void WaitToAutoReconnect();
    void CallBackStatus(int32_t iStatus, int32_t iStatusParameter);

    // Microphone level capture on the configured engine, outside calls; the
    // levels come back through MicLevelChanged.
    int32_t StartMicLevel();
    int32_t StopMicLevel();

    // Parameters: the single entry point for changes, which starts the log-on
    // once the set is complete and re-reads the settings after set-up.
    void SetParameterValue(const std::string& name, const std::string& value);
    // Re-reads the settings from the table, selecting the vocoder (the window
    // adds the look).
    virtual void ReadHTMLParameters();
    // The first layout pass: read the parameters, then log on (and, outside
    // browser mode, dial PhoneNumber). Runs once.
    void InitialSetup();

    // One engine event, on the GUI thread; events of a detached sink do nothing.
    void OnSinkEvent(const sink_event& event);

    // Read access for the automation class, tools and tests.
    int32_t call_state() const { return m_eCurCallState; }
    int32_t call_manager_state() const { return m_eCurCallManagerState; }
    int32_t ldap_state() const { return m_eCurLDAPState; }
    int32_t error() const { return m_nError; }
    int32_t reconnect_timeout() const { return m_nAutoReconnectTimeout; }
    int32_t vocoder() const { return m_eVocoder; }
    int32_t echo_delay() const { return m_nEchoDelay; }
    bool browser_mode() const { return m_bBrowserMode; }
    bool waiting_to_connect() const { return m_bWaitingToConnect; }
    bool initial_setup_complete() const { return m_bInitialSetupComplete; }
    bool has_engine() const { return m_pVXL != nullptr; }
    const std::string& engine_class() const { return m_engine_class; }
    const std::string& current_call_manager() const { return m_csCurrentCallManager; }
    const std::string& custom_message() const { return m_csCustomMessage; }
    const std::string& display_text() const { return m_csDisplayText; }
    const std::string& local_ip() const { return m_csLocalIP; }
    control_log& log() { return m_log; }
    control_parameters& parameters() { return m_parameters; }
    const control_settings& settings() const { return m_settings; }
    const dialog_settings& dialog_texts() const { return m_dialog_settings; }

  protected:
    // Virtual operations the automation class supplies.
    virtual void InvalidateRect(control_area area);
    virtual QWidget* GetHwnd();
    // Places the call after the current event has returned (a queued call).
    virtual void PostPlaceCall();
    // The container's load answer for a ","-joined list; nothing when it failed.
    virtual std::optional<std::string> GetCurrentLoadPercentagesOfCallManagers(
        const std::string& list);
    virtual std::string GetCallerIDNameFromNumber(const std::string& number);
    virtual void ChangeQuillonState(int32_t state, const std::string& parameter1,
                                    const std::string& parameter2);
    virtual void WriteJavaConsoleMessage(int32_t type, const std::string& source,
                                         const std::string& message);
    virtual std::string ExecuteJavaScriptCommand(const std::string& command);
    // Runs in the initial set-up before it completes: version report, mixer,
    // sliders, the local address.
    virtual void PrepareInitialSetup() {}
    // Takes the dialogs' button caption (misc entry 6) and font (the first
    // display font); done on the first successful configuration and on Shift+F6.
    void PrepareDialogSettings();
    // Records a dialled number in the redial list.
    virtual void RecordDialledNumber(const std::string& /*number*/) {}
    // Shows the audio-device-in-use dialog without waiting for it.
    virtual void ShowAudioDeviceInUseDialog(const std::string& title, const std::string& text,
                                            const std::string& button);
    // Ends the session: closes the window holding the control.
    virtual void CloseParentWindow();
    // A microphone level (0..100) the engine measured.
    virtual void MicLevelChanged(int32_t /*level*/) {}

    // The engine for the keys (digits, beep) and the statistics dump; null without one.
    ITarnwickVXL* engine() const { return m_pVXL; }
    void SetLocalIP(std::string address) { m_csLocalIP = std::move(address); }
    void SetDisplayText(std::string text) { m_csDisplayText = std::move(text); }
    void SetCustomMessage(std::string text) { m_csCustomMessage = std::move(text); }

    // Entry of a message list, empty when out of range.
    static std::string entry(const std::vector<std::string>& list, int index);

  private:
    // Takes over the settings just read: modes, flags and the vocoder.
    void apply_settings();
    void attach_new_sink();
    void detach_sink();
    int32_t create_engine(int32_t vocoder);
    void tone_event(int32_t tone);
    void disconnected_event(int32_t reason);
    void generic_event(int32_t event, int32_t parameter);
    void sound_device_failed(int32_t result);
    std::string call_text(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    // Declared first: the parameters log through it.
    control_log m_log;
    control_parameters m_parameters;
    control_settings m_settings;
    engine_factory m_create_engine;
    std::unique_ptr<control_timers> m_timers;
    QObject m_receiver;  // queued calls land here, on the GUI thread
    std::shared_ptr<event_mailbox> m_mailbox;

    int32_t m_eCurCallState = CALLSTATE_NO_SERVER;
    int32_t m_eCurCallManagerState = CMSTATE_NONE;
    int32_t m_eCurLDAPState = 0;
    int32_t m_nError = -1;
    bool m_bWaitingToConnect = false;
    bool m_bInitialSetupComplete = false;
    ITarnwickVXL* m_pVXL = nullptr;
    callback_sink* m_pCallback = nullptr;
    uint64_t m_sink_generation = 0;  // of m_pCallback; 0: none attached
    uint64_t m_last_generation = 0;
    std::string m_engine_class;  // the class that created m_pVXL
    int32_t m_eVocoder = -1;
    int32_t m_nAutoReconnectTimeout = 5000;
    int32_t m_nSoftErrorTimeout = 7000;
    bool m_bCallAgentRejected = false;
    bool m_bDialogSettingsPrepared = false;
    dialog_settings m_dialog_settings;
    std::string m_csCurrentCallManager;
    std::string m_csIncommingCallerIDName;
    std::string m_csIncommingCallerIDNumber;
    std::string m_csOutgoingCallerIDName;
    std::string m_csOutgoingCallerIDNumber;
    std::string m_csDisplayText;
    std::string m_csCustomMessage;
    std::string m_csLocalIP;
    int32_t m_nEchoDelay = -1;
    bool m_bBrowserMode = true;
    bool m_bEndSessionOnHangup = false;
    bool m_bNotDestroying = true;
    bool m_destroyed = false;
};

}  // namespace kestrel
