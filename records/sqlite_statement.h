#pragma once

#include <sqlite3.h>

#include <string>

#include "records/sqlite_record_store.h"

namespace vantrel {

// A prepared statement, finalized when it goes.
class SqliteRecordStore::Statement {
  public:
    Statement(const SqliteRecordStore& store, const std::string& sql) : m_store(store) {
        const int code = sqlite3_prepare_v2(store.m_db, sql.c_str(), -1, &m_statement, nullptr);
        if (code != SQLITE_OK) {
            store.Fail("cannot read", code);
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const std::string& text) {
        Check(sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                                SQLITE_STATIC));
    }
    void Bind(int index, sqlite3_int64 value) {
        Check(sqlite3_bind_int64(m_statement, index, value));
    }
    void Bind(int index, double value) { Check(sqlite3_bind_double(m_statement, index, value)); }
    void BindNull(int index) { Check(sqlite3_bind_null(m_statement, index)); }

    // True while a row has come.
    bool Step(const char* doing) {
        const int code = sqlite3_step(m_statement);
        if (code == SQLITE_ROW) {
            return true;
        }
        if (code != SQLITE_DONE) {
            m_store.Fail(doing, code);
        }
        return false;
    }

    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(size))
                    : std::string();
    }
    sqlite3_int64 Int(int column) const { return sqlite3_column_int64(m_statement, column); }
    double Real(int column) const { return sqlite3_column_double(m_statement, column); }

  private:
    void Check(int code) const {
        if (code != SQLITE_OK) {
            m_store.Fail("cannot use", code);
        }
    }

    const SqliteRecordStore& m_store;
    sqlite3_stmt* m_statement = nullptr;
};

}  // namespace vantrel
