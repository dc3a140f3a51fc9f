#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace vantrel::test {

// JSON read and written here, once for every test: the library's parser and
// writer take many seconds to compile in each test file that would use them.

// The value `text` holds; throws as nlohmann::json::parse does when it is not
// JSON, or gives a discarded value when `allowExceptions` is false.
nlohmann::json ParseJson(const std::string& text, bool allowExceptions = true);

// `value` as text, on one line or indented by `indent` spaces.
std::string JsonText(const nlohmann::json& value, int indent = -1);

}  // namespace vantrel::test
