// Microphone level capture without a call: a capture thread of its own reads
// the default input device and reports the level as VXL_EVENT_MIC_LEVEL
// whenever it changes.
//
// Owner: the engine object; its destruction stops the capture. start and stop
// may come from any client thread (they take the wizard's own lock), and stop
// may come from inside the level event itself: it then only signals.
#pragma once

#include <voxline/voxline.h>

#include <memory>
#include <mutex>
#include <thread>

namespace voxline {

class mic_wizard {
  public:
    mic_wizard() = default;
    ~mic_wizard();
    mic_wizard(const mic_wizard&) = delete;
    mic_wizard& operator=(const mic_wizard&) = delete;

    // The configuration's event interface (may be null); each run holds it
    // for its length.
    void set_callback(IVXLCallback* callback);
    // 0 when capture runs; 1 when it already ran; a sound-device result code
    // when the input cannot be opened; VXL_E_FAIL without a thread.
    int32_t start();
    void stop();
    bool running();

    struct capture_run;

  private:
    std::mutex m_lock;
    std::shared_ptr<capture_run> m_run;
    std::thread m_thread;
    // A capture stopped from inside its own level event ends on its own; it
    // is joined by the next start, stop or the destructor.
    std::thread m_retired;
    void join_retired();
    IVXLCallback* m_callback = nullptr;
};

}  // namespace voxline
