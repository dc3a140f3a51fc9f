#pragma once

#include <umockdev.h>

#include <string>

namespace vantrel::test {

// A umockdev test bed that libudev, /sys and /dev see instead of the real
// ones while it lives (the program runs under umockdev-wrapper). Devices come
// from files in tests/ports/devices, in umockdev-record's format plus two
// things umockdev itself leaves out: '#' comment lines, and S: lines, which
// become links under the bed's /dev as udev would make them.
//
// Device nodes there are given contents ("N: ttyUSB0=00"): a node left to
// umockdev's default is a link to a pty outside the bed, and the preload's
// realpath() breaks on those.
// Whether libumockdev's preload library is in this process; without it the
// real /sys shows through any test bed.
bool UnderUmockdevPreload();

class Testbed {
  public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Adds the devices of tests/ports/devices/<name>; false with a message
    // on standard error when the file is missing or malformed.
    bool Load(const std::string& name);
    // A link under the bed's /dev, `link` and `target` relative to /dev.
    void AddDevLink(const std::string& link, const std::string& target);
    // Replaces a sysfs attribute of the device at `devpath` ("/devices/...").
    void SetAttribute(const std::string& devpath, const std::string& name,
                      const std::string& value);

  private:
    UMockdevTestbed* m_bed;
    std::string m_root;
};

}  // namespace vantrel::test
