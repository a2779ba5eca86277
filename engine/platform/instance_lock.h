// The cross-process single-instance lock: an exclusive flock on a file in the
// engine directory, taken without waiting.
#pragma once

namespace voxline {

class instance_lock {
  public:
    instance_lock() = default;
    ~instance_lock() { release(); }
    instance_lock(const instance_lock&) = delete;
    instance_lock& operator=(const instance_lock&) = delete;

    // True when this object holds the lock (already or now).
    bool try_take();
    bool held() const { return m_fd >= 0; }
    void release();

  private:
    int m_fd = -1;
};

}  // namespace voxline
