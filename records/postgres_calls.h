#pragma once

// What both halves of PostgresRecordStore share: its connection, and how a
// call to the server becomes a RecordStoreError.
#include <pqxx/pqxx>
#include <string>

#include "records/postgres_record_store.h"

namespace vantrel {

// How long one statement may take on the server: a locked table or a
// server too busy to answer costs this, and then a warning, rather than a
// spool that silently stops.
constexpr int kStatementTimeoutSeconds = 20;

// Whether an SQL error is the server going away or stalling rather than
// it refusing the request: connection errors (08), shutdown (57P), a lack
// of resources (53), a statement that ran out of time (57014) and a lock
// not had in time (55P03), each of which may pass.
inline bool IsTransient(const std::string& state) {
    return state.starts_with("08") || state.starts_with("57P") || state.starts_with("53") ||
           state == "57014" || state == "55P03";
}

// libpq's messages span lines with tabs; one line reads better in a log.
inline std::string OneLine(const char* message) {
    std::string line;
    bool space = false;
    for (const char* c = message; *c; ++c) {
        if (*c == '\n' || *c == '\t' || *c == ' ') {
            space = !line.empty();
            continue;
        }
        if (space) {
            line += ' ';
            space = false;
        }
        line += *c;
    }
    return line;
}

struct PostgresRecordStore::Connection {
    explicit Connection(const std::string& conninfo) : connection(conninfo) {}
    pqxx::connection connection;
};

template <typename Action>
auto PostgresRecordStore::Guarded(const char* doing, Action action) {
    const auto fail = [&](const char* message, bool unreachable) {
        return RecordStoreError(
            std::string(doing) + " the record server " + m_name + ": " + OneLine(message),
            unreachable);
    };
    try {
        return action();
    } catch (const pqxx::broken_connection& error) {
        throw fail(error.what(), true);
    } catch (const pqxx::in_doubt_error& error) {
        throw fail(error.what(), true);
    } catch (const pqxx::sql_error& error) {
        throw fail(error.what(), IsTransient(error.sqlstate()));
    } catch (const pqxx::failure& error) {
        // What libpqxx reports without an SQL state, such as a connection
        // that closed while a statement ran.
        throw fail(error.what(), true);
    } catch (const std::exception& error) {
        // A value libpqxx could not convert, or no memory: nothing a retry
        // on a new connection would mend.
        throw fail(error.what(), false);
    }
}

}  // namespace vantrel
