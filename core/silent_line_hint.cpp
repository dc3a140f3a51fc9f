#include "core/silent_line_hint.h"

namespace vantrel {
namespace {

// Whole seconds as "10 s"; anything shorter or between as "250 ms".
std::string Duration(std::chrono::milliseconds span) {
    if (span.count() % 1000 == 0 && span.count() > 0) {
        return std::to_string(span.count() / 1000) + " s";
    }
    return std::to_string(span.count()) + " ms";
}

}  // namespace

std::string SilentLineHint(std::string_view device, std::chrono::milliseconds silence) {
    return "Nothing has arrived on " + std::string(device) + " for " + Duration(silence) +
           ". Check that the box is powered and in its boot loader, that the cable is a "
           "null-modem cable, and that this is the right port.";
}

}  // namespace vantrel
