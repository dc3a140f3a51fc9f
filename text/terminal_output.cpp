#include "text/terminal_output.h"

#include "text/control_escape.h"

namespace vantrel {

void WriteText(std::FILE* stream, std::string_view text) {
    WriteBytes(stream, EscapeControls(text));
}

// The stream's error indicator stays set after a failed write: it is what
// says that the stream is gone.
void WriteBytes(std::FILE* stream, std::string_view bytes) {
    if (std::ferror(stream) == 0) {
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    }
}

void FlushOutput(std::FILE* stream) {
    if (std::ferror(stream) == 0) {
        std::fflush(stream);
    }
}

}  // namespace vantrel
