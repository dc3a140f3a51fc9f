#include "cli/unit_labels.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

std::string Repeat(std::string_view text, std::size_t times) {
    std::string repeated;
    for (std::size_t i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

using Text = std::optional<std::string>;

GivenLabels Given(Text station, Text operatorName = {}, Text workOrder = {}, Text boxSerial = {}) {
    return {std::move(station), std::move(operatorName), std::move(workOrder),
            std::move(boxSerial)};
}

TEST(ReadUnitLabels, OptionsOverSettingsEachValueChecked) {
    const std::string twoByte = Repeat("\xC3\xA9", 200);           // é
    const std::string fourByte = Repeat("\xF0\x9D\x84\x9E", 200);  // U+1D11E, 800 bytes
    const struct {
        const char* name;
        std::string station;  // the [STATION] section's lines
        GivenLabels given;
        UnitLabels expected;               // when accepted
        std::vector<std::string> refused;  // what the error names, when refused
    } cases[] = {
        {"nothing given: the host name", "", {}, {"bench-7", "", "", ""}, {}},
        {"settings alone",
         "StationName=Line 3\nOperator=Anna\nWorkOrder=WO-1\n",
         {},
         {"Line 3", "Anna", "WO-1", ""},
         {}},
        {"an option over its setting",
         "Operator=Anna\nWorkOrder=WO-1\n",
         Given({}, "Bert", {}, "SN-42"),
         {"bench-7", "Bert", "WO-1", "SN-42"},
         {}},
        {"200 two-byte characters given",
         "",
         Given(twoByte, twoByte, twoByte, twoByte),
         {twoByte, twoByte, twoByte, twoByte},
         {}},
        {"200 four-byte characters set",
         "Operator=" + fourByte + "\n",
         {},
         {"bench-7", fourByte, "", ""},
         {}},
        {"201 characters given",
         "",
         Given({}, twoByte + "x"),
         {},
         {"--operator: ", "longer than 200 characters"}},
        {"201 characters set",
         "WorkOrder=" + fourByte + "\xC3\xA9\n",
         {},
         {},
         {"WorkOrder in [STATION] of ", "longer than 200 characters"}},
        {"a tab given", "", Given({}, {}, "WO\t1"), {}, {"--work-order: ", "U+0009"}},
        {"an escape set",
         "StationName=A\x1b[2JB\n",
         {},
         {},
         {"StationName in [STATION] of ", "U+001B"}},
        {"a C1 control given",
         "",
         Given({}, {}, {}, "SN\xC2\x85"),
         {},
         {"--box-serial: ", "U+0085"}},
        {"a cut character given", "", Given("\xC3("), {}, {"--station-name: ", "not valid UTF-8"}},
        {"an overlong form set", "Operator=\xC0\xAF\n", {}, {}, {"Operator in", "UTF-8"}},
        {"a surrogate given", "", Given({}, "\xED\xA0\x80"), {}, {"--operator", "UTF-8"}},
        {"a refused setting under its option",
         "Operator=\x01\n",
         Given({}, "Bert"),
         {"bench-7", "Bert", "", ""},
         {}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        CIniFile settings;
        settings.SetPath(dir.Write("Vantrel.ini",
                                   "[LOADER VERSION]\nVersion=KOSMA_QRN\n"
                                   "[STATION]\n" +
                                       c.station));
        const auto read = ReadUnitLabels(settings, c.given, "bench-7");
        if (c.refused.empty()) {
            ASSERT_TRUE(std::holds_alternative<UnitLabels>(read))
                << c.name << ": " << std::get<std::string>(read);
            const auto& labels = std::get<UnitLabels>(read);
            EXPECT_EQ(labels.stationName, c.expected.stationName) << c.name;
            EXPECT_EQ(labels.operatorName, c.expected.operatorName) << c.name;
            EXPECT_EQ(labels.workOrder, c.expected.workOrder) << c.name;
            EXPECT_EQ(labels.boxSerial, c.expected.boxSerial) << c.name;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.name;
        const std::string& error = std::get<std::string>(read);
        for (const std::string& part : c.refused) {
            EXPECT_NE(error.find(part), std::string::npos) << c.name << ": " << error;
        }
    }
}

}  // namespace
}  // namespace vantrel
