#pragma once

#include <cstddef>
#include <cstdio>

#include "records/record_target.h"
#include "records/unit_recorder.h"

namespace vantrel {

// Tells on `err`, each line after "`program`: ", where the units are that
// a closed recorder left: those in a file of their own (an error, with the
// command that brings them into the record file), those in no file at all
// (an error, and their records as JSON lines), those spooled for the
// server (a notice). Returns how many are not in the record file.
std::size_t ReportRecorderEnding(const RecorderProgress& left, const RecordTarget& target,
                                 const char* program, std::FILE* err);

}  // namespace vantrel
