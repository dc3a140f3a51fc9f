#pragma once

#include <span>
#include <string_view>

#include "ui/qt/dialog_units.h"

namespace vantrel {

// Static texts and frames that nothing addresses.
inline constexpr int kNoControlId = -1;

enum class ControlKind {
    kPushButton,         // Enter presses it while it has the focus
    kDefaultPushButton,  // the dialog's OK: Enter presses it
    kGroupBox,           // a frame behind the controls it frames
    kLabel,
    kIcon,         // the application icon
    kLineEdit,     // single line, scrolls horizontally
    kLogPane,      // multi-line, both scroll bars, no word wrap
    kComboBox,     // drop-down with an editable text field
    kProgressBar,  // smooth, without a text
    kCheckBox,     // checks itself when clicked
};

// The styles that matter, or-ed together.
enum ControlStyle : unsigned {
    kStyleNone = 0,
    kAlignRight = 1u << 0,   // text right-aligned
    kAlignCentre = 1u << 1,  // text centred both ways
    kSunken = 1u << 2,       // sunken edge
    kReadOnly = 1u << 3,
    kSorted = 1u << 4,  // list entries kept in case-insensitive order
};

struct ControlTemplate {
    constexpr ControlTemplate(int id, ControlKind kind, std::string_view text, DialogRect rect,
                              unsigned style = kStyleNone,
                              std::span<const std::string_view> entries = {})
        : id(id), kind(kind), text(text), rect(rect), style(style), entries(entries) {}

    int id;
    ControlKind kind;
    std::string_view text;
    // A combo box's height is that of the box with its list dropped.
    DialogRect rect;
    unsigned style;
    std::span<const std::string_view> entries;  // a combo box's list as the template gives it
};

struct DialogTemplate {
    std::string_view caption;
    int width = 0;  // client size in dialog units
    int height = 0;
    std::span<const ControlTemplate> controls;  // in tab order
};

// Controls of the port configuration dialog; identifiers are per dialog.
enum PortConfigControlId : int {
    kIdConfigOk = 1,
    kIdConfigCancel = 2,
    kIdBaudRate = 1008,
    kIdParity = 1009,
    kIdDataBits = 1010,
    kIdBaudRateLabel = 1012,
    kIdParityLabel = 1013,
    kIdDataBitsLabel = 1014,
    kIdStopBits = 1016,
    kIdStopBitsLabel = 1017,
    kIdSendBufferSize = 1018,
    kIdSendBufferSizeLabel = 1019,
    kIdEventsLabel = 1022,
    kIdDetectBreak = 1037,  // the first of nine event check boxes, 1037 to 1045
    kIdLastEvent = 1045,
};

// The About box's one addressed control.
enum AboutControlId : int {
    kIdAboutOk = 1,
};

const DialogTemplate& MainWindowTemplate();  // dialog 102
const DialogTemplate& PortConfigTemplate();  // dialog 130
const DialogTemplate& AboutTemplate();       // dialog 100

}  // namespace vantrel
