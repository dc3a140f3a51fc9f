#include "station/qt/slot_tile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "cli/unit_labels.h"
#include "station/transfer_figures.h"
#include "ui/qt/widget_text.h"

namespace vantrel {
namespace {

// Background and text of the state, by colour: strong enough to tell apart
// across a room, text dark or light as the background needs.
const char* StateStyle(SlotColour colour) {
    switch (colour) {
        case SlotColour::kIdle:
            return "background:#cfd8dc; color:#102027;";
        case SlotColour::kBusy:
            return "background:#1565c0; color:white;";
        case SlotColour::kGood:
            return "background:#2e7d32; color:white;";
        case SlotColour::kBad:
            return "background:#c62828; color:white;";
        case SlotColour::kWarning:
            return "background:#ef6c00; color:white;";
        case SlotColour::kOff:
            break;
    }
    return "background:#757575; color:white;";
}

QLabel* Label(QWidget* parent, const char* name, int pointSizeDelta, bool bold) {
    auto* label = NewPlainLabel(QString(), parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + pointSizeDelta);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

SlotTile::SlotTile(const QString& name, bool askSerial, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("slot:") + name);
    setFrameShape(QFrame::StyledPanel);
    // Never squeezed below what it needs to show: the tiles scroll instead.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    setLineWidth(2);
    auto* layout = new QVBoxLayout(this);

    auto* nameLabel = Label(this, "name", 10, true);
    nameLabel->setText(name);
    layout->addWidget(nameLabel);
    m_state = Label(this, "state", 8, true);
    m_state->setAlignment(Qt::AlignCenter);
    m_state->setMargin(6);
    layout->addWidget(m_state);
    m_detail = Label(this, "detail", 0, false);
    m_detail->setWordWrap(true);
    layout->addWidget(m_detail);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setFormat(QStringLiteral("%v/%m blocks  %p %"));
    m_progress->setMinimumHeight(28);
    layout->addWidget(m_progress);
    m_transfer = Label(this, "transfer", 1, false);
    layout->addWidget(m_transfer);
    m_last = Label(this, "last", 1, false);
    m_last->setWordWrap(true);
    layout->addWidget(m_last);
    m_counts = Label(this, "counts", 2, true);
    layout->addWidget(m_counts);
    m_device = Label(this, "device", -1, false);
    m_device->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_device);

    if (askSerial) {
        m_serial = new QLineEdit(this);
        m_serial->setObjectName(QStringLiteral("serial"));
        m_serial->setPlaceholderText(QStringLiteral("box serial number: type or scan"));
        m_serial->setMaxLength(static_cast<int>(kMaxLabelCharacters));
        layout->addWidget(m_serial);
        m_serialRefusal = Label(this, "serialRefusal", 0, true);
        m_serialRefusal->setWordWrap(true);
        m_serialRefusal->setStyleSheet(QStringLiteral("color:#c62828;"));
        m_serialRefusal->hide();
        layout->addWidget(m_serialRefusal);
        connect(m_serial, &QLineEdit::textChanged, this, &SlotTile::CheckSerial);
    }
    auto* buttons = new QHBoxLayout;
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("start"));
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setObjectName(QStringLiteral("stop"));
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    layout->addLayout(buttons);
    layout->addStretch();
    connect(m_start, &QPushButton::clicked, this, &SlotTile::startPressed);
    connect(m_stop, &QPushButton::clicked, this, &SlotTile::stopPressed);
    SetSelected(false);
}

void SlotTile::Show(const PortSnapshot& port, const SlotFace& face, const UnitCounts& tally,
                    bool running) {
    m_state->setText(Qs(face.state));
    if (face.colour != m_colour) {
        m_colour = face.colour;
        m_state->setStyleSheet(QString::fromLatin1(StateStyle(face.colour)));
    }
    m_detail->setText(Qs(face.detail));
    m_detail->setToolTip(PlainToolTip(Qs(face.detail)));
    m_progress->setMaximum(static_cast<int>(std::max<std::uint32_t>(port.blocksTotal, 1)));
    m_progress->setValue(static_cast<int>(port.blocksDone));
    m_progress->setTextVisible(port.blocksTotal > 0);
    m_transfer->setText(Qs(TransferText(port)));
    m_last->setText(face.lastResult.empty() ? QString() : Qs("last: " + face.lastResult));
    m_counts->setText(Qs(tally.Text()));
    m_device->setText(Qs(port.device));
    setToolTip(
        PlainToolTip(Qs(port.advice.empty() ? port.device : port.device + "\n" + port.advice)));
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
}

void SlotTile::SetSelected(bool selected) {
    m_selected = selected;
    setStyleSheet(selected
                      ? QStringLiteral("vantrel--SlotTile { border: 3px solid #1565c0; }")
                      : QStringLiteral("vantrel--SlotTile { border: 3px solid transparent; }"));
}

QString SlotTile::BoxSerial() const {
    return m_serial != nullptr && m_serialRefusal->isHidden() ? m_serial->text().trimmed()
                                                              : QString();
}

void SlotTile::CheckSerial() {
    const std::string wrong =
        CheckLabelText(m_serial->text().trimmed().toStdString(), kMaxLabelCharacters);
    m_serialRefusal->setText(Qs("Serial number not taken: " + wrong));
    m_serialRefusal->setHidden(wrong.empty());
}

void SlotTile::ClearBoxSerial() {
    if (m_serial != nullptr) {
        m_serial->clear();
    }
}

void SlotTile::mousePressEvent(QMouseEvent* event) {
    emit selected();
    QFrame::mousePressEvent(event);
}

}  // namespace vantrel
