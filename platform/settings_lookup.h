#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Which settings file a program reads, and the ones it looked at first.
struct SettingsLookup {
    std::string path;                // the file read
    std::vector<std::string> tried;  // every candidate, in the order looked at
    bool found = false;              // false: none could be read; `path` reads as empty
};

// The value of an environment variable, nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
using FileReadable = std::function<bool(const std::string& path)>;

// "Vantrel.ini" beside the executable first, as a copied-around tool keeps
// it; on an installed system the user's $XDG_CONFIG_HOME/vantrel/Vantrel.ini
// (~/.config when unset, empty or not absolute), then the machine's
// /etc/vantrel/Vantrel.ini. The first readable one is read; with none, the
// file beside the executable, which reads as empty.
SettingsLookup LookUpSettingsFile(std::string_view executableDirectory,
                                  const EnvironmentLookup& environment,
                                  const FileReadable& readable);

// The lookup for this process: its executable, its environment, its files.
SettingsLookup LookUpSettingsFile();

}  // namespace vantrel
