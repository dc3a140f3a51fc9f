#pragma once

#include <span>
#include <string>

#include "records/unit_record.h"

namespace vantrel {

// Units that could not be written into the record file, kept in a file of
// their own until `vantrel-records --import` brings them in: one JSON
// object a line, as `vantrel-records --json` gives each unit. The file is
// made at the first Append, with a name no other run shares. One thread at
// a time.
class UnrecordedFile {
  public:
    explicit UnrecordedFile(std::string folder);
    ~UnrecordedFile();
    UnrecordedFile(const UnrecordedFile&) = delete;
    UnrecordedFile& operator=(const UnrecordedFile&) = delete;

    // Appends the records and waits until they are on the disk; a
    // RecordStoreError naming the file when they are not, and then the
    // file is as it was.
    void Append(std::span<const UnitRecord> records);
    // Removes the file, once each unit in it is in the record file; the
    // next Append makes a new one.
    void Remove();
    // Empty until the first Append has made the file.
    const std::string& Path() const { return m_path; }

  private:
    void Create();

    std::string m_folder;
    std::string m_path;
    int m_fd = -1;
    bool m_cutShort = false;  // the file ends in part of a line
};

}  // namespace vantrel
