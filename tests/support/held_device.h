#pragma once

#include <sys/types.h>

#include <string>

namespace vantrel::test {

// Another process holding a device open, as a terminal program left running
// would, until Release() or destruction. The constructor returns once the
// child has tried to open it.
class HeldDevice {
  public:
    enum class Lock {
        kNone,       // just an open descriptor
        kExclusive,  // also the exclusive flock() a serial tool takes
    };

    // Throws when no child can be started.
    explicit HeldDevice(const std::string& path, Lock lock = Lock::kNone);
    ~HeldDevice();
    HeldDevice(const HeldDevice&) = delete;
    HeldDevice& operator=(const HeldDevice&) = delete;

    // True when the child has the device open, locked if asked.
    bool Held() const { return m_held; }
    // Stays valid after Release(), to compare with what was reported.
    pid_t Pid() const { return m_pid; }

    // Lets the child close the device and exit; true once it has been
    // reaped, so the device is free again. Later calls repeat the answer.
    bool Release();

  private:
    pid_t m_pid = -1;
    int m_releaseFd = -1;  // the child exits when this closes
    bool m_held = false;
    bool m_released = false;
    bool m_reaped = false;
};

}  // namespace vantrel::test
