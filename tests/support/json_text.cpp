#include "tests/support/json_text.h"

namespace vantrel::test {

nlohmann::json ParseJson(const std::string& text, bool allowExceptions) {
    return nlohmann::json::parse(text, nullptr, allowExceptions);
}

std::string JsonText(const nlohmann::json& value, int indent) {
    return value.dump(indent);
}

}  // namespace vantrel::test
