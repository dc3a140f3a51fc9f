#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/command_line.h"

namespace vantrel {

// --expect-sha256: the image must have a given SHA-256, named as 64 hex
// digits (any case) or by a file in sha256sum's format, so that a bench
// never writes an image other than the one released.

// Adds --expect-sha256 DIGEST to `app`; what is given is kept in `given`.
CLI::Option* AddExpectSha256Option(CLI::App& app, std::optional<std::string>& given);

// Once parsed: into `expected` the digest that `given` names for `image`
// (64 lower-case hex digits; from a sha256sum file the line whose name has
// the image's base name, or the only line there is), or the usage error of
// `program` that says why there is none.
std::optional<CommandLineExit> LookUpExpectedSha256(std::string_view program,
                                                    const std::optional<std::string>& given,
                                                    const std::string& image,
                                                    std::optional<std::string>& expected);

// The error that refuses `image`, whose SHA-256 is `actual`, when that is
// not `expected`; empty when it is.
std::string Sha256Mismatch(const std::string& image, const std::string& expected,
                           const std::string& actual);

}  // namespace vantrel
