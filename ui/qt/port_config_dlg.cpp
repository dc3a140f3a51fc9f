#include "ui/qt/port_config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <algorithm>
#include <iterator>

#include "ui/qt/combo_box_entries.h"

namespace vantrel {
namespace {

constexpr const char* kBaudRates[] = {"4800", "9600", "14400", "19200", "38400", "57600", "115200"};

struct TextDefault {
    int id;
    int value;  // shown as its decimal text
};

// Parity 0 is no entry's beginning, so the box shows "0" with nothing
// selected; stop bits 1 selects "1", the first entry that begins with it.
constexpr TextDefault kTextDefaults[] = {
    {kIdBaudRate, 115200}, {kIdDataBits, 8},          {kIdParity, 0},
    {kIdStopBits, 1},      {kIdSendBufferSize, 4096},
};

// "Clear To Send changed state" and "Character was received".
constexpr int kEventsCheckedByDefault[] = {kIdDetectBreak + 1, kIdDetectBreak + 6};

}  // namespace

CPortConfigDlg::CPortConfigDlg(QWidget* parent)
    : QDialog(parent), m_controls(BuildDialog(*this, PortConfigTemplate())) {
    auto* baudRate = m_controls.Get<QComboBox>(kIdBaudRate);
    for (const char* rate : kBaudRates) {
        baudRate->addItem(QString::fromLatin1(rate));
    }
    ShowDefaults();
    connect(m_controls.Get<QPushButton>(kIdConfigOk), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(m_controls.Get<QPushButton>(kIdConfigCancel), &QPushButton::clicked, this,
            &QDialog::reject);
}

void CPortConfigDlg::ShowDefaults() {
    for (const TextDefault& setting : kTextDefaults) {
        SelectStringOrSetText(*m_controls.Get<QComboBox>(setting.id),
                              QString::number(setting.value));
    }
    for (int id = kIdDetectBreak; id <= kIdLastEvent; ++id) {
        const bool checked =
            std::ranges::find(kEventsCheckedByDefault, id) != std::end(kEventsCheckedByDefault);
        m_controls.Get<QCheckBox>(id)->setChecked(checked);
    }
}

}  // namespace vantrel
