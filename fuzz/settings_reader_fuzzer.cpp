// The settings-file reader with fuzzed file contents, section, key,
// fallback and capacity, and the loader identifier built from its value.
//
// The input is split with FuzzedDataProvider: section, key and fallback
// from the front, the capacity from the back, the file is what remains.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/loader_identifier.h"
#include "fuzz/fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/profile_reader.h"

namespace vantrel {
namespace {

using fuzz::Require;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    return text;
}

}  // namespace
}  // namespace vantrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    FuzzedDataProvider provider(data, size);
    const std::string section = provider.ConsumeRandomLengthString(64);
    const std::string key = provider.ConsumeRandomLengthString(64);
    const std::string fallback = provider.ConsumeRandomLengthString(64);
    const std::size_t capacity = provider.ConsumeIntegralInRange<std::size_t>(0, 300);
    const std::vector<std::uint8_t> contents = provider.ConsumeRemainingBytes<std::uint8_t>();

    fuzz::ScratchDir::Get().Clear();
    const std::string path = fuzz::ScratchDir::Get().Write("Vantrel.ini", contents);

    // The whole value, then cut as into a buffer of `capacity` bytes.
    const std::string whole =
        ReadProfileString(path, section, key, fallback, std::numeric_limits<std::size_t>::max());
    const std::string value = ReadProfileString(path, section, key, fallback, capacity);
    Require(value.size() < std::max<std::size_t>(capacity, 1), "the value fits its buffer");
    Require(value == whole.substr(0, capacity == 0 ? 0 : capacity - 1), "cut from the front");

    // Names compare without regard to case and surrounding blanks.
    Require(ReadProfileString(path, Upper(section), Upper(key), fallback, capacity) == value,
            "section and key ignore case");
    Require(ReadProfileString(path, " \t" + section + "\r ", "\n" + key + " ", fallback,
                              capacity) == value,
            "section and key ignore surrounding blanks");

    // A missing file gives the fallback, cut the same way.
    const std::string missing = fuzz::ScratchDir::Get().File("missing.ini");
    Require(ReadProfileString(missing, section, key, fallback, capacity) ==
                fallback.substr(0, capacity == 0 ? 0 : capacity - 1),
            "a missing file gives the fallback");

    // The accessor over a buffer of `capacity` characters.
    CIniFile settings;
    settings.SetPath(path);
    std::vector<char> buffer(capacity, '\x7f');
    const int placed = settings.ReadValue(section, key, buffer);
    if (capacity == 0) {
        Require(placed == 0, "nothing placed into no buffer");
    } else {
        const std::string expected = ReadProfileString(path, section, key, "", capacity);
        Require(placed >= 0 && static_cast<std::size_t>(placed) == expected.size(),
                "the count of characters placed");
        Require(std::memcmp(buffer.data(), expected.data(), expected.size()) == 0 &&
                    buffer[expected.size()] == '\0',
                "the value, zero-terminated");
    }

    // The handshake's identifier: fixed first ten bytes, the value's rest
    // behind them, and the last byte always zero.
    std::array<std::uint8_t, kLoaderIdLength + 1> loaderId{};
    loaderId.fill(0xA5);
    FillLoaderId(settings, loaderId);
    Require(std::memcmp(loaderId.data(), "KOSMA_QRN", 10) == 0, "fixed identifier");
    Require(loaderId[kLoaderIdLength] == 0, "the identifier's last byte is zero");
    const std::string version =
        ReadProfileString(path, "LOADER VERSION", "Version", "", kLoaderIdLength);
    for (std::size_t i = 10; i < kLoaderIdLength; ++i) {
        const std::uint8_t expected =
            i < version.size() ? static_cast<std::uint8_t>(version[i]) : 0;
        Require(loaderId[i] == expected, "the value's characters from the eleventh on");
    }

    const std::string directory = DirectoryOfPath(section);
    Require(directory.empty() || (section.starts_with(directory) && directory.back() == '/' &&
                                  section.find('/', directory.size()) == std::string::npos),
            "the directory part ends at the last slash");
    return 0;
}
