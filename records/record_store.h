#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/unit_record.h"

namespace vantrel {

// Which records a listing shows.
struct RecordFilter {
    std::optional<UnitRecord::Clock::time_point> since;  // units started at or after
    std::optional<UnitOutcome> outcome;
    std::optional<UnitCause> cause;
    std::string port;       // a port label, device or stable name; empty for any
    std::size_t limit = 0;  // the newest this many; 0 for all
    // Each the whole of the field; empty for any.
    std::string workOrder;
    std::string operatorName;
    std::string boxSerial;
};

// What a store could not do, in words that name the file or server.
class RecordStoreError : public std::runtime_error {
  public:
    // `unreachable`: the server could not be reached or the connection
    // broke; the same request may succeed later.
    RecordStoreError(const std::string& message, bool unreachable = false)
        : std::runtime_error(message), m_unreachable(unreachable) {}
    bool Unreachable() const { return m_unreachable; }

  private:
    bool m_unreachable;
};

// A place that keeps unit records. Writing a record whose id is already
// there changes nothing, so a record sent twice is kept once. One thread
// at a time; errors are thrown as RecordStoreError.
class RecordStore {
  public:
    virtual ~RecordStore() = default;

    virtual void Write(const UnitRecord& record) = 0;
    // Gives `each` the records the filter takes, newest first (by start),
    // one at a time: what a listing holds does not grow with the store.
    // Leaves out the records this version cannot read (an outcome a newer
    // one wrote): LeftOut() tells how many.
    virtual void ForEachLatest(const RecordFilter& filter,
                               const std::function<void(const UnitRecord&)>& each) = 0;
    // The same records, all at once.
    std::vector<UnitRecord> Latest(const RecordFilter& filter) {
        std::vector<UnitRecord> records;
        ForEachLatest(filter, [&](const UnitRecord& record) { records.push_back(record); });
        return records;
    }
    // The records the last listing left out.
    std::size_t LeftOut() const { return m_leftOut; }

  protected:
    std::size_t m_leftOut = 0;
};

}  // namespace vantrel
