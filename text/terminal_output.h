#pragma once

#include <cstdio>
#include <string_view>

namespace vantrel {

// What the programs write to their standard output and error. Once a write
// to a stream has failed, because its reader went away (EPIPE: SIGPIPE is
// ignored) or its terminal hung up (EIO), nothing more is written to it:
// the program goes on to the end of its units without that output, rather
// than trying again at every line.

// `text` as the operator reads it, its control characters escaped
// (EscapeControls): it may quote a box, a device or a server.
void WriteText(std::FILE* stream, std::string_view text);
// `bytes` as they are: the program's own terminal sequences, and JSON,
// which escapes control characters itself.
void WriteBytes(std::FILE* stream, std::string_view bytes);
void FlushOutput(std::FILE* stream);

}  // namespace vantrel
