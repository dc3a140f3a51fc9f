#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vantrel {

// A PostgreSQL server that the stations of a line share.
struct RecordServer {
    // What libpq is given: the URL's settings, with time limits on connecting
    // and on a silent network unless the URL sets its own.
    std::string conninfo;
    // postgresql://user@host:port/dbname, without any password: for messages,
    // and to tell one server's spooled records from another's.
    std::string name;
};

// Where units are recorded.
struct RecordTarget {
    // The SQLite file: the records themselves, or with a server this
    // station's copy of each and the spool of those the server has yet to
    // get.
    std::string localFile;
    std::optional<RecordServer> server;
};

// The value of --record (nothing when not given): a path or sqlite:PATH
// names the SQLite file; a postgresql:// or postgres:// URL names a server,
// spooled through `defaultFile`, as is the file when no value is given.
// The error text, beginning with `valueName` (where the value came from),
// for a value that names neither, or a URL libpq cannot parse.
std::variant<RecordTarget, std::string> ParseRecordTarget(std::optional<std::string_view> value,
                                                          const std::string& defaultFile,
                                                          std::string_view valueName = "--record");

// $XDG_DATA_HOME/vantrel/records.sqlite, or ~/.local/share/... when that is
// unset, empty or relative; empty when there is no home either.
std::string DefaultRecordFile(const char* xdgDataHome, const char* home);
// The same, from this process's environment (and the password database when
// HOME is unset).
std::string DefaultRecordFile();

// Where units that could not be written into the record file are kept:
// $XDG_STATE_HOME/vantrel/unrecorded, or ~/.local/state/... when that is
// unset, empty or relative; empty when there is no home either. A folder
// of its own, so that what keeps the record file from being written (a
// full disk, a read-only mount) need not keep these from it too.
std::string DefaultUnrecordedFolder(const char* xdgStateHome, const char* home);
std::string DefaultUnrecordedFolder();

}  // namespace vantrel
