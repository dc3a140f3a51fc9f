#include "tests/records/sample_record.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vantrel::test {

UnitRecord SampleRecord(int number, const std::string& station) {
    using namespace std::chrono;
    const std::string n = std::to_string(number);
    UnitRecord record;
    record.id = station + "-unit-" + n;
    record.start =
        sys_days{year{2026} / 12 / 9} + hours{5} + minutes{number} + microseconds{123456};
    record.end = record.start + seconds{42} + microseconds{7};
    record.host = station;
    record.stationName = "line 2 / " + station;
    record.operatorName = number % 2 == 0 ? "Bj\xc3\xb6rn" : "Ana";
    record.workOrder = "WO-" + std::to_string(number % 3);
    record.boxSerial = "QRN7700-" + n;
    record.portLabel = "PORT " + std::to_string(number % 4 + 1);
    record.device = "/dev/ttyUSB" + std::to_string(number % 4);
    record.stableName = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:" + n + ":1.0-port0";
    record.adapterSerial = "A10K" + n;
    record.imagePath = "/srv/images/appl-" + n + ".bin";
    record.imageSha256 = std::string(63, 'a') + static_cast<char>('0' + number % 10);
    record.imageKind = "APPL";
    record.blocksInImage = 577;
    record.blocksAcknowledged = static_cast<std::uint32_t>(500 + number);
    record.framesSentAgain = static_cast<std::uint32_t>(number);
    record.outcome = static_cast<UnitOutcome>(number % 6);
    record.reason = "reason of unit " + n;
    record.seconds = 41.5 + number / 8.0;
    record.toolVersion = "1.0";
    record.log = "Wait for STB BOOT...\n>> Uploading... [" + n + " %]\n";
    record.cause = static_cast<UnitCause>(number % 14);
    return record;
}

void ExpectSameRecord(const UnitRecord& expected, const UnitRecord& actual) {
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.start, expected.start) << actual.id;
    EXPECT_EQ(actual.end, expected.end) << actual.id;
    EXPECT_EQ(actual.host, expected.host) << actual.id;
    EXPECT_EQ(actual.stationName, expected.stationName) << actual.id;
    EXPECT_EQ(actual.operatorName, expected.operatorName) << actual.id;
    EXPECT_EQ(actual.workOrder, expected.workOrder) << actual.id;
    EXPECT_EQ(actual.boxSerial, expected.boxSerial) << actual.id;
    EXPECT_EQ(actual.portLabel, expected.portLabel) << actual.id;
    EXPECT_EQ(actual.device, expected.device) << actual.id;
    EXPECT_EQ(actual.stableName, expected.stableName) << actual.id;
    EXPECT_EQ(actual.adapterSerial, expected.adapterSerial) << actual.id;
    EXPECT_EQ(actual.imagePath, expected.imagePath) << actual.id;
    EXPECT_EQ(actual.imageSha256, expected.imageSha256) << actual.id;
    EXPECT_EQ(actual.imageKind, expected.imageKind) << actual.id;
    EXPECT_EQ(actual.blocksInImage, expected.blocksInImage) << actual.id;
    EXPECT_EQ(actual.blocksAcknowledged, expected.blocksAcknowledged) << actual.id;
    EXPECT_EQ(actual.framesSentAgain, expected.framesSentAgain) << actual.id;
    EXPECT_EQ(actual.outcome, expected.outcome) << actual.id;
    EXPECT_EQ(actual.reason, expected.reason) << actual.id;
    EXPECT_EQ(actual.seconds, expected.seconds) << actual.id;
    EXPECT_EQ(actual.toolVersion, expected.toolVersion) << actual.id;
    EXPECT_EQ(actual.log, expected.log) << actual.id;
    EXPECT_EQ(actual.cause, expected.cause) << actual.id;
}

}  // namespace vantrel::test
