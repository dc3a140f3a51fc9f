#pragma once

#include <memory>
#include <string>
#include <vector>

#include "records/record_columns.h"
#include "records/record_store.h"
#include "records/record_target.h"

namespace pqxx {
class transaction_base;
}

namespace vantrel {

// Records on a PostgreSQL server that every station of a line writes into,
// in the table vantrel_units (created with vantrel_schema and
// vantrel_schema_revision when missing).
// A record whose id the server has already is left alone, so a record sent
// again after its answer was lost is harmless.
class PostgresRecordStore final : public RecordStore {
  public:
    enum class Mode {
        kCreate,  // create the tables when missing
        // Only read, changing nothing: a server without the tables holds no
        // records, and tables of an older schema are read as they are.
        kExisting,
    };
    static constexpr int kSchemaVersion = kRecordSchemaVersion;

    // Connects; a server that cannot be reached throws a RecordStoreError
    // that is Unreachable().
    explicit PostgresRecordStore(const RecordServer& server, Mode mode = Mode::kCreate);
    ~PostgresRecordStore() override;
    PostgresRecordStore(const PostgresRecordStore&) = delete;
    PostgresRecordStore& operator=(const PostgresRecordStore&) = delete;

    void Write(const UnitRecord& record) override;
    void ForEachLatest(const RecordFilter& filter,
                       const std::function<void(const UnitRecord&)>& each) override;

  private:
    struct Connection;

    struct Tables {
        bool exist = false;
        int version = 0;   // the number writers check; 0 when none is kept
        int revision = 0;  // of the columns there
    };
    Tables Look(pqxx::transaction_base& transaction) const;
    // Creates the tables, or adds the columns that tables of an older
    // revision lack, in one transaction that waits little for its locks.
    void Upgrade();
    // Builds the indexes that are missing or were left unfinished.
    void BuildIndexes();
    void RefuseNewer(int version) const;
    template <typename Action>
    auto Guarded(const char* doing, Action action);

    std::string m_name;
    std::unique_ptr<Connection> m_connection;
    bool m_hasTables = false;
    int m_revision = kRecordSchemaRevision;  // that of the server's tables
};

}  // namespace vantrel
