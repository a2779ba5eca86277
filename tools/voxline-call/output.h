// Standard output shared by the event thread and the main loop: whole lines,
// flushed at once, never interleaved.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace voxline_call {

class output {
  public:
    void line(const std::string& text) {
        std::lock_guard<std::mutex> guard(m_lock);
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

  private:
    std::mutex m_lock;
};

}  // namespace voxline_call
