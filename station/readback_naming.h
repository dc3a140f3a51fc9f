#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace vantrel {

// "20261209T054500.123Z": a UTC time as a file name takes it; two units on
// one port are never started in the same millisecond.
std::string CompactUtcTime(std::chrono::system_clock::time_point time);

// "PORT_1-20261209T054500.123Z.bin", "dev_ttyUSB0-...": the file that keeps what
// the box on `label` sent back during a unit started at `start`.
std::string ReadbackFileName(std::string_view label, std::chrono::system_clock::time_point start);

}  // namespace vantrel
