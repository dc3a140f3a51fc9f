#include "serial/modem_lines.h"

#include <sys/ioctl.h>

namespace vantrel {

void RaiseModemLines(int device) {
    const int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(device, TIOCMBIS, &lines);
}

void DropModemLines(int device) {
    const int dtr = TIOCM_DTR;
    ::ioctl(device, TIOCMBIC, &dtr);
    const int rts = TIOCM_RTS;
    ::ioctl(device, TIOCMBIC, &rts);
}

}  // namespace vantrel
