#include "records/record_store_factory.h"

#include "records/postgres_record_store.h"
#include "records/sqlite_record_store.h"

namespace vantrel {

std::unique_ptr<RecordStore> OpenRecordStore(const RecordTarget& target, RecordAccess access) {
    const bool reading = access == RecordAccess::kRead;
    if (target.server) {
        return std::make_unique<PostgresRecordStore>(
            *target.server,
            reading ? PostgresRecordStore::Mode::kExisting : PostgresRecordStore::Mode::kCreate);
    }
    return std::make_unique<SqliteRecordStore>(
        target.localFile,
        reading ? SqliteRecordStore::Mode::kReadOnly : SqliteRecordStore::Mode::kCreate);
}

}  // namespace vantrel
