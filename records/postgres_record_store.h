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
// in the table vantrel_units (created with vantrel_schema when missing).
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
    std::vector<UnitRecord> Latest(const RecordFilter& filter) override;

  private:
    struct Connection;

    // Creates the tables, or adds the columns that tables of an older
    // schema lack.
    void CreateTables();
    int SchemaVersion(pqxx::transaction_base& transaction) const;
    void RefuseNewer(int version) const;
    template <typename Action>
    auto Guarded(const char* doing, Action action);

    std::string m_name;
    std::unique_ptr<Connection> m_connection;
    bool m_hasTables = false;
    int m_schema = kSchemaVersion;  // that of the server's tables
};

}  // namespace vantrel
