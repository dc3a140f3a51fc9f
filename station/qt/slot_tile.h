#pragma once

#include <QFrame>

#include "station/port_snapshot.h"
#include "station/slot_face.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vantrel {

// One slot of the line, readable from two metres: its name, its state in
// words and colour, a progress bar with blocks, per cent, kB/s and time
// left, frames sent again, the last result, the slot's units done and
// failed, Start and Stop, and (when asked for) the box serial number as
// typed or scanned. Clicking it selects it.
class SlotTile : public QFrame {
    Q_OBJECT

  public:
    SlotTile(const QString& name, bool askSerial, QWidget* parent);

    void Show(const PortSnapshot& port, const SlotFace& face, const UnitCounts& tally,
              bool running);
    void SetSelected(bool selected);
    // The serial number typed for the unit on the slot, trimmed; empty when
    // none is asked or typed, or when the tile refuses it (a control or
    // invisible character, too long): the tile says why as it is typed.
    QString BoxSerial() const;
    // Ready for the next box's serial number.
    void ClearBoxSerial();

  signals:
    void startPressed();
    void stopPressed();
    void selected();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void CheckSerial();

    QLabel* m_state;
    QLabel* m_detail;
    QProgressBar* m_progress;
    QLabel* m_transfer;
    QLabel* m_last;
    QLabel* m_counts;
    QLabel* m_device;
    QLineEdit* m_serial = nullptr;
    QLabel* m_serialRefusal = nullptr;
    QPushButton* m_start;
    QPushButton* m_stop;
    SlotColour m_colour = SlotColour::kOff;
    bool m_selected = false;
};

}  // namespace vantrel
