#pragma once

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
    // `key` is the unit's port (one unit at a time on each); `name` says
    // which unit it is: "A1 (/dev/ttyUSB0), since 14:03:22 UTC".
    void Begin(const std::string& key, std::string name);
    void End(const std::string& key);
    std::vector<std::string> Names() const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_units;
};

}  // namespace vantrel
