#pragma once

#include <string>

namespace vantrel {

struct StableLinks {
    std::string byId;    // under /dev/serial/by-id, or empty
    std::string byPath;  // under /dev/serial/by-path, or empty
};

// The links naming `device`: first those udev listed in `devlinks` (its
// space-separated DEVLINKS, empty when there is no udev database), then any
// other link in the two directories, in name order. Only a link that leads
// to the device itself counts, so a stale database entry, a dangling link or
// one left pointing at another node is passed over.
StableLinks FindStableLinks(const std::string& device, const std::string& devlinks);

}  // namespace vantrel
