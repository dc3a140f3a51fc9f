#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vantrel {

// The units a program has begun and not yet handed to its recorder, each
// named for a message, so that a program ended at once can say which units
// are not recorded. Any thread; the front end keeps it as its units begin
// and end.
class UnitsUnderWay {
  public:
    // A unit on `port` (one at a time on each), named for a message as
    // "A1 (/dev/ttyUSB0), since 2026-12-10T14:03:22Z".
    void Begin(const std::string& port, const std::string& device,
               std::chrono::system_clock::time_point since);
    void End(const std::string& port);
    std::vector<std::string> Names() const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_units;
};

}  // namespace vantrel
