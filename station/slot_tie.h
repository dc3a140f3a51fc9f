#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ports/detected_port.h"

namespace vantrel {

// What tells one serial device from another: a USB adapter by its serial
// number (without one, by the socket it is plugged into), any other device
// by the node its name leads to.
struct DeviceIdentity {
    std::string key;
    std::string now;  // "adapter A10K3BQ", "/dev/pts/7": what it is now
    std::string was;  // "A10K3BQ", "/dev/pts/5": what it was, in short

    bool operator==(const DeviceIdentity& other) const { return key == other.key; }
};

// The device `path` leads to now, told apart with what discovery found;
// nothing when it leads nowhere.
std::optional<DeviceIdentity> IdentifyDevice(const std::string& path,
                                             const std::vector<DetectedPort>& ports);

// What a slot is tied to, by the name it was given. A by-path name is a
// socket: whatever adapter is plugged into it is the slot's. Any other
// name (a by-id link, a kernel name such as /dev/ttyUSB3, a link of the
// operator's own) is tied to the device it opened first since the slot was
// started, since the kernel may give that name to another device (a
// renumbered adapter after a replug, a reused pseudo-terminal).
class SlotTie {
  public:
    // `givenPath` empty: a PORT number, which the port map decides.
    explicit SlotTie(std::string givenPath);

    // After each open: the first one ties the slot.
    void Opened(const std::vector<DetectedPort>& ports);
    // Before a reopen: why the device the name leads to now is not this
    // slot's ("/dev/ttyUSB3 is now adapter FT9X2 (was A10K3BQ): not this
    // slot's"); empty when it is, or when it leads nowhere (the open will
    // say why).
    std::string Refusal(const std::vector<DetectedPort>& ports) const;
    // For a slot given a kernel name whose device has a stable link: which
    // one to give instead. Empty otherwise.
    std::string Advice(const std::vector<DetectedPort>& ports) const;

  private:
    const std::string m_path;
    std::optional<DeviceIdentity> m_tiedTo;
};

}  // namespace vantrel
