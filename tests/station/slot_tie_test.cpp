// What a slot accepts when its name leads to a device again, with USB
// adapters as discovery describes them and plain files as their nodes.
#include "station/slot_tie.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

DetectedPort Adapter(const std::string& node, std::string serial, std::string socket) {
    DetectedPort port;
    port.device = node;
    port.kind = PortKind::kUsb;
    port.vendorId = "0403";
    port.productId = "6001";
    port.serial = std::move(serial);
    port.physicalPath = std::move(socket);
    return port;
}

TEST(SlotTie, AReopenTakesOnlyTheDeviceTheSlotOpenedFirst) {
    const struct {
        const char* name;
        DetectedPort then;  // what it led to at the first open
        DetectedPort now;   // what it leads to at the reopen
        const char* refusal;
    } cases[] = {
        {"the same adapter, renumbered in another socket", Adapter("a", "A10K3BQ", "usb-0:2"),
         Adapter("b", "A10K3BQ", "usb-0:3"), ""},
        {"another adapter under the old name", Adapter("a", "A10K3BQ", "usb-0:2"),
         Adapter("b", "FT9X2", "usb-0:2"), " is now adapter FT9X2 (was A10K3BQ): not this slot's"},
        {"adapters without a serial number are told apart by their socket",
         Adapter("a", "", "usb-0:2"), Adapter("b", "", "usb-0:3"),
         " is now the adapter in usb-0:3 (was the one in usb-0:2): not this slot's"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        DetectedPort then = c.then;
        DetectedPort now = c.now;
        then.device = dir.Write(then.device, "");
        now.device = dir.Write(now.device, "");
        // The slot's name, a link as a kernel name is one for the test.
        const std::string link = dir.File("ttyUSB3");
        std::filesystem::create_symlink(then.device, link);
        SlotTie tie(link);
        tie.Opened({then});
        EXPECT_EQ(tie.Refusal({then}), "") << "the device it opened";
        std::filesystem::remove(link);
        std::filesystem::create_symlink(now.device, link);
        const std::string expected = *c.refusal == '\0' ? "" : link + c.refusal;
        EXPECT_EQ(tie.Refusal({now}), expected);
    }
}

}  // namespace
}  // namespace vantrel
