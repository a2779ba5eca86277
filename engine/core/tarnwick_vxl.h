// CTarnwickVXL: the engine object behind ITarnwickVXL. Command methods only
// check preconditions and record requests under the method lock; the call
// thread does the work and raises the events.
#pragma once

#include <voxline/voxline.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "core/call_parameters.h"
#include "core/mic_wizard.h"
#include "platform/instance_lock.h"

namespace voxline {

class call_control;
class CTarnwickVXL;
void call_thread_proc(CTarnwickVXL* engine);

// Requests recorded by the command methods and consumed by the call thread,
// all under the method lock.
struct request_flags {
    bool logged_on = false;
    bool roll_over = false;
    bool logoff = false;
    bool hangup = false;
    bool onhook_sent = false;
    bool answer = false;
    bool stop = false;  // m_disconnected: leave mgcp_main
    bool dynamic_info_pending = false;
    bool logoff_notice_sent = false;

    // A call or answer needs its own on-hook later. A hang-up still waiting for the call thread
    // after the on-hook went out only repeats that one: it must not end the new call.
    void rearm_onhook() {
        if (onhook_sent) hangup = false;
        onhook_sent = false;
    }
};

class CTarnwickVXL final : public ITarnwickVXL {
  public:
    CTarnwickVXL();
    ~CTarnwickVXL();

    uint32_t AddRef() override;
    uint32_t Release() override;

    int32_t ConfigureCallParameters(
        const char* szLocalIP, const char* szCallerIDNumber, const char* szCallerIDName,
        const char* szCallAgentIP, int32_t iCallAgentMGCPPort, int32_t iLocalMGCPPort,
        int32_t vocoderType, int32_t iSamplesPerRtpPacket, int32_t iMinimumAudioInputSampleSizeInMs,
        int32_t iMinimumJittterBufferSizeInMs, int32_t iMinimumJitterBufferThresholdInMs,
        IVXLCallback* pStatusCallback, int32_t iCallAgentMGCPXmitPort,
        int32_t iCallAgentNATInfoPort, const char* szExtension, const char* szAccount,
        const char* szPin, int32_t iFlags, int32_t iMGCPAuditTimeout, int32_t iReserved1,
        int32_t iReserved2, const char* szReserved1, const char* szReserved2) override;
    int32_t LogonToCallAgent() override;
    int32_t Call(const char* szPhoneNumber) override;
    int32_t SendDigits(const char* szDigits) override;
    int32_t Hangup() override;
    int32_t LogoffFromCallAgent(int32_t iProvideStatus) override;
    int32_t Answer() override;
    int32_t GetStatistics(int32_t iStatisticsType, int32_t iUnusedFlags,
                          char* szStatistics) override;
    int32_t GenericCommand(int32_t iCommand, int32_t iParam1, int32_t iParam2, const char* szParam3,
                           const char* szParam4, int32_t* iInOutParam1,
                           char* szInOutParam2) override;

    // --- for the call thread and the MGCP callbacks ---
    std::recursive_mutex& method_lock() { return m_method_lock; }
    request_flags& flags() { return m_flags; }          // method lock held
    call_control* control() { return m_call_control; }  // method lock held
    bool call_thread_running() const { return m_thread_running.load(); }
    // Pending work, taken under the method lock.
    bool take_pending_number(std::string* number);
    bool has_pending_number() const { return m_has_pending_number; }
    void drop_pending_number();
    bool take_pending_digits(std::string* digits);
    // Wakes the call thread so a new request is acted on at once.
    void wake_call_thread();
    int wake_descriptor() const { return m_wake_fd; }
    void drain_wake_descriptor();

  private:
    // The configuration itself, once the arguments are one record.
    int32_t configure(call_parameters parameters, IVXLCallback* callback);
    int32_t call(const char* number);
    int32_t send_digits(const char* digits);
    void stop_call_thread();
    void release_call_control();

    std::atomic<uint32_t> m_references{1};
    std::recursive_mutex m_method_lock;
    request_flags m_flags;
    std::string m_pending_number;
    bool m_has_pending_number = false;
    std::string m_pending_digits;
    call_control* m_call_control = nullptr;

    std::thread m_thread;
    std::atomic<bool> m_thread_running{false};
    int m_wake_fd = -1;

    // Settings of earlier generic commands, used by the next configuration.
    std::string m_proxy_list;
    bool m_has_proxy = false;
    int32_t m_proxy_port = 0;
    int32_t m_signal_strength_interval_ms = 0;

    instance_lock m_instance_lock;
    mic_wizard m_mic_wizard;

    friend void call_thread_proc(CTarnwickVXL* engine);
};

// The engine object whose call thread runs the endpoint (gTarnwickVXL).
extern std::atomic<CTarnwickVXL*> gTarnwickVXL;

}  // namespace voxline
