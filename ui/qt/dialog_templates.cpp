// The three dialog templates: every control with its identifier, text,
// position and size in dialog units and style, in tab order.
#include "ui/control_ids.h"
#include "ui/qt/dialog_template.h"

namespace vantrel {
namespace {

using K = ControlKind;

constexpr ControlTemplate kMainWindowControls[] = {
    {kIdExit, K::kPushButton, "Exit", {158, 301, 59, 14}},
    {kNoControlId, K::kGroupBox, "Select modules", {7, 42, 211, 254}},
    {kIdPortSelector, K::kComboBox, "", {15, 20, 85, 72}, kSorted},
    {kNoControlId, K::kLabel, "Dest address", {13, 55, 47, 8}, kAlignRight},
    {kIdDestAddress, K::kLineEdit, "", {69, 53, 90, 12}, kReadOnly},
    {kNoControlId, K::kLabel, "filename", {13, 76, 47, 8}, kAlignRight},
    {kIdFileName, K::kLineEdit, "", {69, 75, 141, 12}, kReadOnly},
    {kIdProgress, K::kProgressBar, "", {7, 338, 211, 12}},
    {kIdStatusCaption, K::kLabel, "Status", {7, 320, 25, 13}, kAlignCentre | kSunken},
    {kIdStatusLine, K::kLabel, "", {34, 320, 184, 13}, kAlignCentre | kSunken},
    {kIdCommPortGroup, K::kGroupBox, "Comm Port", {7, 8, 211, 32}},
    {kIdStart, K::kPushButton, "Start", {7, 301, 65, 14}},
    {kIdCancel, K::kPushButton, "Cancel", {82, 301, 65, 14}},
    {kIdOpenImage, K::kPushButton, "Open", {165, 52, 47, 13}},
    {kIdConfiguration, K::kPushButton, "Configuration", {109, 20, 47, 14}},
    {kIdLogPane, K::kLogPane, "", {13, 112, 205, 175}, kReadOnly},
    {kIdClear, K::kPushButton, "Clear", {12, 95, 47, 14}},
    {kIdOpenPort, K::kPushButton, "Open", {165, 20, 47, 14}},
};

constexpr std::string_view kParityEntries[] = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::string_view kDataBitsEntries[] = {"8", "7"};
constexpr std::string_view kStopBitsEntries[] = {"1", "1.5", "2"};
constexpr std::string_view kSendBufferEntries[] = {"255", "512", "1024", "2048", "4096"};

constexpr DialogRect kSettingBox(int y) {
    return {71, y, 103, 72};
}
constexpr DialogRect kEventBox(int y) {
    return {71, y, 144, 8};
}

constexpr ControlTemplate kPortConfigControls[] = {
    {kIdConfigOk, K::kDefaultPushButton, "OK", {118, 220, 50, 14}},
    {kIdConfigCancel, K::kPushButton, "Cancel", {169, 220, 50, 14}},
    {kIdBaudRate, K::kComboBox, "", kSettingBox(20)},
    {kIdParity, K::kComboBox, "", kSettingBox(34), kAlignRight, kParityEntries},
    {kIdDataBits, K::kComboBox, "", kSettingBox(48), kAlignRight, kDataBitsEntries},
    {kIdBaudRateLabel, K::kLabel, "BaudRate", {8, 22, 58, 8}, kAlignRight},
    {kIdParityLabel, K::kLabel, "Parity", {8, 37, 58, 8}, kAlignRight},
    {kIdDataBitsLabel, K::kLabel, "Data Bits", {8, 51, 58, 8}, kAlignRight},
    {kIdStopBits, K::kComboBox, "", kSettingBox(62), kAlignRight, kStopBitsEntries},
    {kIdStopBitsLabel, K::kLabel, "Stop Bits", {8, 64, 58, 8}, kAlignRight},
    {kNoControlId, K::kGroupBox, "Static", {7, 7, 213, 205}},
    {kIdSendBufferSize, K::kComboBox, "", kSettingBox(76), kAlignRight, kSendBufferEntries},
    {kIdSendBufferSizeLabel, K::kLabel, "Send Buffer Size", {8, 78, 58, 8}, kAlignRight},
    {kIdDetectBreak, K::kCheckBox, "Detect break on input", kEventBox(99)},
    {kIdEventsLabel, K::kLabel, "Events", {14, 98, 52, 8}, kAlignRight},
    {kIdDetectBreak + 1, K::kCheckBox, "Clear To Send changed state", kEventBox(111)},
    {kIdDetectBreak + 2, K::kCheckBox, "Data Set Ready changed state", kEventBox(123)},
    {kIdDetectBreak + 3, K::kCheckBox, "Line status error occurred", kEventBox(135)},
    {kIdDetectBreak + 4, K::kCheckBox, "Ring detected", kEventBox(147)},
    {kIdDetectBreak + 5, K::kCheckBox, "Receive Line Signal changed state", kEventBox(159)},
    {kIdDetectBreak + 6, K::kCheckBox, "Character was received", kEventBox(171)},
    {kIdDetectBreak + 7, K::kCheckBox, "Event character was received", kEventBox(183)},
    {kIdDetectBreak + 8, K::kCheckBox, "Last character in output buffer was send", kEventBox(195)},
};

constexpr ControlTemplate kAboutControls[] = {
    {kNoControlId, K::kIcon, "", {11, 17, 20, 20}},
    {kNoControlId, K::kLabel, "Vantrel version 1.0", {36, 13, 119, 8}},
    {kIdAboutOk, K::kDefaultPushButton, "OK", {178, 7, 50, 14}},
};

}  // namespace

const DialogTemplate& MainWindowTemplate() {
    static constexpr DialogTemplate kTemplate{"[QRN7700] Vantrel (20090720-1)", 225, 361,
                                              kMainWindowControls};
    return kTemplate;
}

const DialogTemplate& PortConfigTemplate() {
    static constexpr DialogTemplate kTemplate{"Port Configuration", 227, 241, kPortConfigControls};
    return kTemplate;
}

const DialogTemplate& AboutTemplate() {
    static constexpr DialogTemplate kTemplate{"About Vantrel", 235, 55, kAboutControls};
    return kTemplate;
}

}  // namespace vantrel
