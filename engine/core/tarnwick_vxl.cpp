#include "core/tarnwick_vxl.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "core/call_control.h"
#include "core/statistics_text.h"
#include "util/log_queue.h"
#include "util/vxl_log.h"

namespace voxline {

std::atomic<CTarnwickVXL*> gTarnwickVXL{nullptr};

namespace {

constexpr size_t MAX_NUMBER_LENGTH = 150;
constexpr int THREAD_WAIT_MS = 5000;

// Every command method reports an escaped exception the same way.
template <typename Body>
int32_t guarded(const char* failure_line, Body&& body) {
    try {
        return body();
    } catch (...) {
        VXL_LOG(LOG_ERROR, "%s", failure_line);
        return VXL_E_UNEXPECTED;
    }
}

}  // namespace

CTarnwickVXL::CTarnwickVXL() {
    log_queue_acquire();
    m_wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_instance_lock.try_take();
}

CTarnwickVXL::~CTarnwickVXL() {
    if (m_mic_wizard.running()) m_mic_wizard.stop();
    {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        if (m_flags.logged_on)
            m_flags.logoff = true;
        else
            m_flags.stop = true;
    }
    stop_call_thread();
    {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        m_pending_number.clear();
        m_has_pending_number = false;
        m_pending_digits.clear();
        m_proxy_list.clear();
        m_has_proxy = false;
    }
    CTarnwickVXL* self = this;
    gTarnwickVXL.compare_exchange_strong(self, nullptr);
    try {
        release_call_control();
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception releasing call control object from ~CTarnwickVXL");
    }
    log_queue_release();
    m_instance_lock.release();
    if (m_wake_fd >= 0) close(m_wake_fd);
    VXL_LOG(LOG_INFO, "Exiting ~CTarnwickVXL");
}

// Two bounded waits, the second after forcing the stop; a call thread that
// still runs then would use a freed engine, so the process ends instead.
void CTarnwickVXL::stop_call_thread() {
    if (!m_thread.joinable()) return;
    auto wait_for_end = [this] {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(THREAD_WAIT_MS);
        while (m_thread_running.load()) {
            wake_call_thread();
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    };
    try {
        if (wait_for_end()) {
            VXL_LOG(LOG_INFO, "Call thread terminated.");
        } else {
            VXL_LOG(LOG_ERROR,
                    "Wait for call thread termination timed out.  Attempting to force call thread "
                    "to terminate by setting m_disconnected");
            {
                std::lock_guard<std::recursive_mutex> lock(m_method_lock);
                m_flags.stop = true;
            }
            if (wait_for_end()) {
                VXL_LOG(LOG_INFO, "Call thread terminated.");
            } else {
                VXL_LOG(LOG_ERROR,
                        "Wait for forced call thread termination timed out.  Terminating process");
                _exit(1);
            }
        }
        m_thread.join();
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception in ~CTarnwickVXL waiting for call thread termination");
    }
}

void CTarnwickVXL::release_call_control() {
    std::lock_guard<std::recursive_mutex> lock(m_method_lock);
    if (m_call_control) m_call_control->release();
    m_call_control = nullptr;
}

uint32_t CTarnwickVXL::AddRef() {
    return ++m_references;
}

uint32_t CTarnwickVXL::Release() {
    uint32_t left = --m_references;
    if (left == 0) delete this;
    return left;
}

void CTarnwickVXL::wake_call_thread() {
    if (m_wake_fd < 0) return;
    uint64_t one = 1;
    ssize_t written = write(m_wake_fd, &one, sizeof one);
    (void)written;  // a full counter already means "wake up"
}

void CTarnwickVXL::drain_wake_descriptor() {
    uint64_t count = 0;
    while (m_wake_fd >= 0 && read(m_wake_fd, &count, sizeof count) > 0) {
    }
}

bool CTarnwickVXL::take_pending_number(std::string* number) {
    if (!m_has_pending_number) return false;
    *number = std::move(m_pending_number);
    m_pending_number.clear();
    m_has_pending_number = false;
    return true;
}

void CTarnwickVXL::drop_pending_number() {
    m_pending_number.clear();
    m_has_pending_number = false;
}

bool CTarnwickVXL::take_pending_digits(std::string* digits) {
    if (m_pending_digits.empty()) return false;
    *digits = m_pending_digits;
    m_pending_digits.clear();
    return true;
}

// ---------------------------------------------------------------------------

int32_t CTarnwickVXL::LogonToCallAgent() {
    return guarded("Exception encountered in LogonToCallAgent", [&] {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        VXL_LOG(LOG_ALWAYS, "Inside LogonToCallAgent");
        if (m_thread_running.load() || !m_call_control) {
            VXL_LOG(LOG_INFO, "Application invoked LogonToCallAgent () while already logged on.");
            return VXL_E_REQUEST_NOT_ALLOWED;
        }
        m_flags.roll_over = false;
        if (m_thread.joinable()) m_thread.join();  // an earlier session's thread has ended
        drain_wake_descriptor();
        m_thread_running.store(true);
        try {
            m_thread = std::thread(call_thread_proc, this);
        } catch (...) {
            m_thread_running.store(false);
            return VXL_E_FAIL;
        }
        m_flags.logoff_notice_sent = false;
        return VXL_S_OK;
    });
}

int32_t CTarnwickVXL::LogoffFromCallAgent(int32_t /*iProvideStatus*/) {
    return guarded("Exception encountered in LogoffFromCallAgent", [&] {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        VXL_LOG(LOG_ALWAYS, "Inside LogoffFromCallAgent");
        if (!m_flags.logged_on || !m_thread_running.load() || !m_call_control) {
            VXL_LOG(LOG_INFO, "Application invoked LogoffFromCallAgent () while not logged on.");
            return VXL_E_REQUEST_NOT_ALLOWED;
        }
        m_flags.logoff = true;
        wake_call_thread();
        return VXL_S_OK;
    });
}

int32_t CTarnwickVXL::Call(const char* szPhoneNumber) {
    return guarded("Exception encountered in Call", [&] { return call(szPhoneNumber); });
}

int32_t CTarnwickVXL::call(const char* number) {
    std::lock_guard<std::recursive_mutex> lock(m_method_lock);
    VXL_LOG(LOG_ALWAYS, "Inside Call");
    if (!m_thread_running.load() || !m_call_control) {
        VXL_LOG(LOG_INFO, "Application invoked Call () while not logged into call agent.");
        return VXL_E_REQUEST_NOT_ALLOWED;
    }
    if (m_call_control->in_call() || m_call_control->ringing()) {
        VXL_LOG(LOG_INFO, "Application invoked Call () while already on a call.");
        return VXL_E_REQUEST_NOT_ALLOWED;
    }
    if (!number || !*number || strlen(number) > MAX_NUMBER_LENGTH) {
        VXL_LOG(LOG_ERROR, "Application invoked Call () with an invalid number [%s]",
                number ? number : "NULL");
        return VXL_E_INVALID_NUMBER;
    }
    std::string cleaned;
    for (const char* p = number; *p; ++p) {
        if (*p == ' ' || *p == '-') continue;
        if (*p < '0' || *p > '9') {
            VXL_LOG(LOG_ERROR, "Application invoked Call () with an invalid number [%s]", number);
            return VXL_E_INVALID_NUMBER;
        }
        cleaned += *p;
    }
    m_pending_number = cleaned;
    m_has_pending_number = true;
    m_flags.rearm_onhook();
    wake_call_thread();
    return VXL_S_OK;
}

int32_t CTarnwickVXL::SendDigits(const char* szDigits) {
    return guarded("Exception encountered in SendDigits", [&] { return send_digits(szDigits); });
}

int32_t CTarnwickVXL::send_digits(const char* digits) {
    std::lock_guard<std::recursive_mutex> lock(m_method_lock);
    VXL_LOG(LOG_ALWAYS, "Inside SendDigits");
    if (!m_flags.logged_on || !m_thread_running.load() || !m_call_control) {
        VXL_LOG(LOG_INFO, "Application attempted to send digits while no call in progress");
        return VXL_E_REQUEST_NOT_ALLOWED;
    }
    if (!digits) {
        VXL_LOG(LOG_INFO, "NULL passed into SendDigits");
        return VXL_S_OK;
    }
    m_pending_digits += digits;
    wake_call_thread();
    return VXL_S_OK;
}

int32_t CTarnwickVXL::Hangup() {
    return guarded("Exception encountered in Hangup", [&] {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        VXL_LOG(LOG_ALWAYS, "Inside Hangup");
        if (!m_thread_running.load()) {
            VXL_LOG(LOG_INFO, "Application invoked Hangup () invoked while no call in progress.");
            return VXL_S_NOTHING_TO_DO;
        }
        if (!m_call_control) {
            VXL_LOG(LOG_ERROR, "Call control is NULL in Hangup ()");
            return VXL_E_FAIL;
        }
        m_flags.hangup = true;
        wake_call_thread();
        return VXL_S_OK;
    });
}

int32_t CTarnwickVXL::Answer() {
    return guarded("Exception encountered in Answer", [&] {
        std::lock_guard<std::recursive_mutex> lock(m_method_lock);
        VXL_LOG(LOG_ALWAYS, "Inside Answer");
        if (!m_thread_running.load()) {
            VXL_LOG(LOG_INFO,
                    "Application invoked Answer () while call control thread is not active.");
            return VXL_S_NOTHING_TO_DO;
        }
        if (!m_call_control) {
            VXL_LOG(LOG_ERROR, "Call control is NULL in Answer ()");
            return VXL_E_FAIL;
        }
        m_flags.rearm_onhook();
        m_flags.answer = true;
        wake_call_thread();
        return VXL_S_OK;
    });
}

int32_t CTarnwickVXL::GetStatistics(int32_t, int32_t, char* szStatistics) {
    VXL_LOG(LOG_ALWAYS, "Inside GetStatistics");
    if (!szStatistics) return VXL_S_OK;
    szStatistics[0] = '\0';
    if (!format_statistics_text(szStatistics, VOXLINE_STATISTICS_BUFFER_SIZE))
        VXL_LOG(LOG_INFO, "get_statistics_string failed");
    return VXL_S_OK;
}

int32_t CTarnwickVXL::GenericCommand(int32_t iCommand, int32_t iParam1, int32_t iParam2,
                                     const char* szParam3, const char*, int32_t*, char*) {
    try {
        VXL_LOG(LOG_ALWAYS, "Inside GenericCommand (%d,%d,%d)", iCommand, iParam1, iParam2);
        switch (iCommand) {
            case VXL_COMMAND_SEND_DIGITS:
                return SendDigits(szParam3);
            case VXL_COMMAND_BEEP:
                return SendDigits("@");
            case VXL_COMMAND_START_MIC_WIZARD:
                return m_mic_wizard.start();
            case VXL_COMMAND_STOP_MIC_WIZARD:
                m_mic_wizard.stop();
                return VXL_S_OK;
            case VXL_COMMAND_SET_ECHO_CANCELLER_DELAY: {
                std::lock_guard<std::recursive_mutex> lock(m_method_lock);
                VXL_LOG(LOG_ALWAYS, "Set echo canceller delay to %d ms", iParam1);
                if (m_call_control) m_call_control->set_echo_delay(iParam1);
                return VXL_S_OK;
            }
            case VXL_COMMAND_SET_PROXY: {
                std::lock_guard<std::recursive_mutex> lock(m_method_lock);
                m_has_proxy = szParam3 != nullptr;
                m_proxy_list = szParam3 ? szParam3 : "";
                m_proxy_port = szParam3 ? iParam1 : 0;
                return VXL_S_OK;
            }
            case VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_SAMPLE_SIZE_IN_MS:
                VXL_LOG(LOG_INFO,
                        "VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_SAMPLE_SIZE_IN_MS not implemented");
                return VXL_E_NOTIMPL;
            case VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_BUFFER_POOL_SIZE_IN_MS:
                VXL_LOG(LOG_INFO,
                        "VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_BUFFER_POOL_SIZE_IN_MS not "
                        "implemented");
                return VXL_E_NOTIMPL;
            case VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_QUEUE_SIZE_IN_MS:
                VXL_LOG(LOG_INFO,
                        "VXL_COMMAND_SET_MINIMUM_AUDIO_OUTPUT_QUEUE_SIZE_IN_MS not implemented");
                return VXL_E_NOTIMPL;
            case VXL_COMMAND_SET_SIGNAL_STRENGTH_INTERVAL: {
                std::lock_guard<std::recursive_mutex> lock(m_method_lock);
                m_signal_strength_interval_ms = iParam1;
                return VXL_S_OK;
            }
            default:
                VXL_LOG(LOG_INFO, "Unsupported GenericCommand (%d) not processed.", iCommand);
                return VXL_E_NOTIMPL;
        }
    } catch (...) {
        VXL_LOG(LOG_ERROR, "Exception encountered in GenericCommand (%d)", iCommand);
        return VXL_E_UNEXPECTED;
    }
}

}  // namespace voxline
