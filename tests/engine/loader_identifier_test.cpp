#include "engine/loader_identifier.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

std::string Field(const std::array<std::uint8_t, kLoaderIdLength + 1>& id) {
    return std::string(id.begin(), id.begin() + kLoaderIdLength);
}

std::string Expected(std::string_view tail) {
    std::string field("KOSMA_QRN\0", 10);
    field += tail;
    field.resize(kLoaderIdLength, '\0');
    return field;
}

TEST(FillLoaderId, OnlyCharactersFromTheEleventhOnReachTheWire) {
    const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    const struct {
        const char* name;
        std::string settings;  // empty: no file at all
        std::string field;
    } cases[] = {
        {"no settings file", "", Expected("")},
        {"no section", "[OTHER]\nVersion=ABCDEFGHIJKL\n", Expected("")},
        {"no key", "[LOADER VERSION]\nRevision=ABCDEFGHIJKL\n", Expected("")},
        {"ten characters", "[LOADER VERSION]\nVersion=ABCDEFGHIJ\n", Expected("")},
        {"twelve characters", "[LOADER VERSION]\nVersion=ABCDEFGHIJKL\n", Expected("KL")},
        // Cut to 31 characters before the fixed identifier is written over it.
        {"forty characters", "[LOADER VERSION]\nVersion=" + forty + "\n",
         Expected(forty.substr(10, 21))},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        CIniFile settings;
        settings.SetPath(c.settings.empty() ? dir.File("Vantrel.ini")
                                            : dir.Write("Vantrel.ini", c.settings));
        std::array<std::uint8_t, kLoaderIdLength + 1> id;
        id.fill(0xEE);
        FillLoaderId(settings, id);
        EXPECT_EQ(Field(id), c.field) << c.name;
        EXPECT_EQ(id[kLoaderIdLength], 0) << c.name;
    }
}

}  // namespace
}  // namespace vantrel
