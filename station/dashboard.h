#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "station/port_snapshot.h"

namespace vantrel {

// The rows of a station's dashboard: one per port (label, device, phase
// with its reason, a progress bar with blocks, per cent, kB/s and time
// left, frames sent again, and in a loop the units done, failed and
// stopped), then a total row, then `notice` when there is one (the shift
// is ending). Each row fits `width` columns of a terminal, control
// characters in the ports' texts escaped; a narrow terminal drops the
// device first, then the rate, time left and counters, then shortens the
// bar and the label (in its middle), keeping each port's label, phase and
// blocks with per cent.
std::vector<std::string> DashboardRows(const std::vector<PortSnapshot>& ports, bool loop,
                                       std::size_t width, std::string_view notice = {});

// What redraws `rows` in place of the `shownBefore` rows drawn last time:
// the cursor goes up to the first of them, and each line is cleared before
// it is written.
std::string RedrawSequence(std::size_t shownBefore, const std::vector<std::string>& rows);

// What clears the screen and draws `rows` from its top: after a resize, when
// the rows drawn before may have been wrapped over more lines.
std::string DrawAfreshSequence(const std::vector<std::string>& rows);

}  // namespace vantrel
