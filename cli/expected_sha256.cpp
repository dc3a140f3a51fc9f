#include "cli/expected_sha256.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <variant>
#include <vector>

namespace vantrel {
namespace {

constexpr std::size_t kDigestLength = 64;
// Far more than the lines of any release; a larger file is not one.
constexpr std::uintmax_t kMaxSumsFileSize = 1 << 20;
// How much of a digest a sentence shows; the expected one follows in full.
constexpr std::size_t kShownDigits = 12;

bool IsDigest(std::string_view text) {
    return text.size() == kDigestLength && std::ranges::all_of(text, [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// One line of sha256sum's output: "DIGEST  NAME", or "DIGEST *NAME" for a
// file read in binary mode.
struct SumsLine {
    std::string digest;
    std::string name;
};

std::optional<SumsLine> ParseSumsLine(std::string_view line) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (line.size() < kDigestLength + 3 || !IsDigest(line.substr(0, kDigestLength)) ||
        line[kDigestLength] != ' ' ||
        (line[kDigestLength + 1] != ' ' && line[kDigestLength + 1] != '*')) {
        return std::nullopt;
    }
    return SumsLine{Lower(line.substr(0, kDigestLength)),
                    std::string(line.substr(kDigestLength + 2))};
}

// What `given` expects of the image, or why it expects nothing.
struct ExpectedSha256 {
    std::string digest;  // 64 lower-case hex digits; empty when `error` says why
    std::string error;
};

ExpectedSha256 Refusal(std::string error) {
    return {{}, std::move(error)};
}

// Keeps `text` when it is 64 hex digits or names a regular file; the file
// is read once IMAGE is known.
std::string CheckExpectedSha256(const std::string& text, std::optional<std::string>& out) {
    if (!IsDigest(text) && !IsRegularFile(text)) {
        return "'" + text + "' is neither 64 hex digits nor a file of SHA-256 sums";
    }
    out = text;
    return {};
}

// The sums in the sha256sum file `path`, or why it has none to give.
std::variant<std::vector<SumsLine>, std::string> ReadSumsFile(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::ifstream file(path);
    if (error || !file) {
        return path + " cannot be read";
    }
    if (size > kMaxSumsFileSize) {
        return path + " is too large for a file of SHA-256 sums";
    }
    std::vector<SumsLine> lines;
    int number = 0;
    for (std::string text; std::getline(file, text);) {
        ++number;
        if (text.empty() || text == "\r") {
            continue;
        }
        auto line = ParseSumsLine(text);
        if (!line) {
            return path + " line " + std::to_string(number) +
                   " is not \"DIGEST  NAME\" as sha256sum writes it";
        }
        lines.push_back(std::move(*line));
    }
    if (lines.empty()) {
        return path + " holds no SHA-256 sum";
    }
    return lines;
}

// The digest itself, or the one the sha256sum file `given` has for `image`.
ExpectedSha256 DigestFor(const std::string& given, const std::string& image) {
    if (IsDigest(given)) {
        return {Lower(given), {}};
    }
    auto read = ReadSumsFile(given);
    if (const auto* error = std::get_if<std::string>(&read)) {
        return Refusal(*error);
    }
    const auto& lines = std::get<std::vector<SumsLine>>(read);
    const std::filesystem::path base = std::filesystem::path(image).filename();
    std::optional<std::string> found;
    for (const SumsLine& line : lines) {
        if (std::filesystem::path(line.name).filename() != base) {
            continue;
        }
        if (found && *found != line.digest) {
            return Refusal(given + " gives " + base.string() + " two different sums");
        }
        found = line.digest;
    }
    if (!found && lines.size() == 1) {
        found = lines.front().digest;
    }
    return found ? ExpectedSha256{*found, {}}
                 : Refusal(given + " has no line for " + base.string());
}

}  // namespace

CLI::Option* AddExpectSha256Option(CLI::App& app, std::optional<std::string>& given) {
    return AddCheckedOption(
        app, "--expect-sha256", "DIGEST",
        "refuse IMAGE unless its SHA-256 is DIGEST: 64 hex digits, or a file as sha256sum "
        "writes it, with a line for IMAGE's name (or a single line)",
        [&given](const std::string& v) { return CheckExpectedSha256(v, given); });
}

std::optional<CommandLineExit> LookUpExpectedSha256(std::string_view program,
                                                    const std::optional<std::string>& given,
                                                    const std::string& image,
                                                    std::optional<std::string>& expected) {
    if (!given) {
        return std::nullopt;
    }
    const ExpectedSha256 found = DigestFor(*given, image);
    if (!found.error.empty()) {
        return UsageError(program, "--expect-sha256: " + found.error);
    }
    expected = found.digest;
    return std::nullopt;
}

std::string Sha256Mismatch(const std::string& image, const std::string& expected,
                           const std::string& actual) {
    if (actual == expected) {
        return {};
    }
    return image + " is not the expected image: its SHA-256 is " + actual.substr(0, kShownDigits) +
           "..., not " + expected.substr(0, kShownDigits) + "... (expected " + expected + ")";
}

}  // namespace vantrel
