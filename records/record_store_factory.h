#pragma once

#include <memory>

#include "records/record_store.h"
#include "records/record_target.h"

namespace vantrel {

enum class RecordAccess {
    kRecord,  // create the file or tables when missing, upgrade older ones
    kRead,    // change nothing: also a read-only file, and older tables as they are
};

// The store that holds the target's records: its server when it names one,
// else its local file. Errors are RecordStoreErrors naming the store.
std::unique_ptr<RecordStore> OpenRecordStore(const RecordTarget& target, RecordAccess access);

}  // namespace vantrel
