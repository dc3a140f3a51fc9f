#include "station/qt/station_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "station/qt/station_header.h"
#include "station/slot_face.h"
#include "ui/qt/log_pane.h"
#include "ui/qt/modal_dialogs.h"
#include "ui/qt/widget_text.h"

namespace vantrel {
namespace {

// Tiles and totals are drawn again this often; events arrive as they happen.
constexpr int kRefreshMs = 250;
constexpr std::size_t kRecentUnits = 20;

int GridColumns(std::size_t tiles) {
    if (tiles <= 2) {
        return static_cast<int>(std::max<std::size_t>(tiles, 1));
    }
    return tiles <= 4 ? 2 : tiles <= 9 ? 3 : 4;
}

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A line waits for box after box on every slot.
std::vector<PortRunnerConfig> Looping(std::vector<PortRunnerConfig> ports) {
    for (PortRunnerConfig& port : ports) {
        port.loop = true;
    }
    return ports;
}

}  // namespace

StationWindow::StationWindow(StationSetup& setup, StationWindowOptions options, QWidget* parent)
    : QMainWindow(parent),
      m_setup(setup),
      m_options(options),
      m_line(
          Looping(setup.config.ports),
          [this](std::size_t index, StationEvent event) {
              // From the port's thread onto the window's.
              QMetaObject::invokeMethod(
                  this, [this, index, event = std::move(event)] { OnEvent(index, event); },
                  Qt::QueuedConnection);
          },
          [this](std::size_t index, const UnitRecord& unit) { OnUnitEnded(index, unit); }) {
    setWindowTitle(QStringLiteral("Vantrel Station"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    m_header = new StationHeader(setup.image, setup.labels, central);
    top->addWidget(m_header, 1);
    auto* startAll = new QPushButton(QStringLiteral("Start all"), central);
    startAll->setObjectName(QStringLiteral("startAll"));
    auto* stopAll = new QPushButton(QStringLiteral("Stop all"), central);
    stopAll->setObjectName(QStringLiteral("stopAll"));
    top->addWidget(startAll, 0, Qt::AlignTop);
    top->addWidget(stopAll, 0, Qt::AlignTop);
    layout->addLayout(top);
    connect(startAll, &QPushButton::clicked, this, &StationWindow::StartAll);
    connect(stopAll, &QPushButton::clicked, this, &StationWindow::StopAll);

    auto* splitter = new QSplitter(Qt::Vertical, central);
    auto* tiles = new QWidget;
    auto* grid = new QGridLayout(tiles);
    const int columns = GridColumns(setup.config.ports.size());
    for (const PortRunnerConfig& config : setup.config.ports) {
        Slot slot;
        slot.label = config.label;
        slot.tile = new SlotTile(Qs(config.label), options.askSerial, tiles);
        const std::size_t index = m_slots.size();
        grid->addWidget(slot.tile, static_cast<int>(index) / columns,
                        static_cast<int>(index) % columns);
        connect(slot.tile, &SlotTile::startPressed, this, [this, index] { StartSlot(index); });
        connect(slot.tile, &SlotTile::stopPressed, this, [this, index] { StopSlot(index); });
        connect(slot.tile, &SlotTile::selected, this, [this, index] { Select(index); });
        m_slots.push_back(std::move(slot));
    }
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(tiles);
    splitter->addWidget(scroll);

    auto* detail = new QWidget;
    auto* detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    m_selectedTitle = NewPlainLabel(QStringLiteral("Click a slot to see its unit's log."), detail);
    m_selectedTitle->setObjectName(QStringLiteral("selectedTitle"));
    detailLayout->addWidget(m_selectedTitle);
    auto* detailSplitter = new QSplitter(Qt::Horizontal, detail);
    m_log = new LogPane(detailSplitter);
    m_log->setObjectName(QStringLiteral("unitLog"));
    m_units = new QTreeWidget(detailSplitter);
    m_units->setObjectName(QStringLiteral("recentUnits"));
    m_units->setRootIsDecorated(false);
    m_units->setHeaderLabels({QStringLiteral("Ended"), QStringLiteral("Result"),
                              QStringLiteral("Blocks"), QStringLiteral("Time"),
                              QStringLiteral("Box serial"), QStringLiteral("Reason")});
    detailLayout->addWidget(detailSplitter, 1);
    splitter->addWidget(detail);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    m_refresh = new QTimer(this);
    connect(m_refresh, &QTimer::timeout, this, &StationWindow::Refresh);
    connect(m_refresh, &QTimer::timeout, this, &StationWindow::CloseOnceStopped);
    m_refresh->start(kRefreshMs);
    Refresh();
}

StationWindow::~StationWindow() {
    StopAndAwaitAll();
}

void StationWindow::StartSlot(std::size_t index) {
    // No new unit starts on any slot once the window is stopping.
    if (m_stoppingBySignal || !m_line.Start(index)) {
        return;
    }
    m_slots.at(index).stopped = false;
    if (m_selected == index) {
        ShowSelectedLog(true);
    }
    Refresh();
}

void StationWindow::StopSlot(std::size_t index) {
    if (m_line.HasPort(index)) {
        m_line.Stop(index);
        m_slots.at(index).stopped = true;
    }
}

void StationWindow::StartAll() {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        StartSlot(index);
    }
}

void StationWindow::StopAll() {
    if (!AnyBoxUnderWay()) {
        CancelAll();
        return;
    }
    QMessageBox question(QMessageBox::Question, windowTitle(),
                         QStringLiteral("Boxes are being updated. Finish them and take no new "
                                        "box, or cancel them now?"),
                         QMessageBox::NoButton, this);
    QPushButton* finish =
        question.addButton(QStringLiteral("Finish them"), QMessageBox::AcceptRole);
    QPushButton* cancel =
        question.addButton(QStringLiteral("Cancel them now"), QMessageBox::DestructiveRole);
    question.addButton(QMessageBox::Cancel);
    question.setDefaultButton(finish);
    question.exec();
    if (question.clickedButton() == finish) {
        FinishAll();
    } else if (question.clickedButton() == cancel) {
        CancelAll();
    }
}

void StationWindow::FinishAll() {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        if (m_line.HasPort(index)) {
            m_line.Finish(index);
            m_slots[index].stopped = true;
            m_slots[index].finishing = true;
        }
    }
    Refresh();
}

void StationWindow::CancelAll() {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        StopSlot(index);
    }
}

void StationWindow::OnStopSignal(StopStep step) {
    if (!m_stoppingBySignal) {
        m_stoppingBySignal = true;
        for (std::size_t index = 0; index < m_slots.size(); ++index) {
            m_slots[index].unitAtStop = BoxUnderWay(index);
        }
    }
    CloseModalDialogs(nullptr);
    if (step == StopStep::kFinishUnderWay) {
        FinishAll();
    } else {
        CancelAll();
    }
    // After the dialogs' loops have returned.
    QMetaObject::invokeMethod(this, &StationWindow::CloseOnceStopped, Qt::QueuedConnection);
}

void StationWindow::CloseOnceStopped() {
    // Once Refresh has let go of every ended port and shown its end.
    bool anyPort = false;
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        anyPort = anyPort || m_line.HasPort(index);
    }
    if (m_stoppingBySignal && !anyPort && isVisible()) {
        close();
    }
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (AnyBoxUnderWay() &&
        QMessageBox::question(this, windowTitle(),
                              QStringLiteral("Boxes are being updated. Stop them and close?\n"
                                             "Each unit under way is cancelled and recorded.")) !=
            QMessageBox::Yes) {
        event->ignore();
        return;
    }
    StopAndAwaitAll();
    event->accept();
}

void StationWindow::StopAndAwaitAll() {
    CancelAll();
    m_line.AwaitAll();
    // What the ports told before they ended, ended units above all, is
    // still queued for this thread: recorded now, not lost with the window.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    Refresh();
}

bool StationWindow::BoxUnderWay(std::size_t index) const {
    return m_line.Running(index) && m_line.Snapshot(index).phase == PortPhase::kUpdating;
}

bool StationWindow::AnyBoxUnderWay() const {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        if (BoxUnderWay(index)) {
            return true;
        }
    }
    return false;
}

void StationWindow::OnEvent(std::size_t index, const StationEvent& event) {
    m_line.Take(index, event);
    if (event.kind == StationEvent::Kind::kBoot) {
        m_slots.at(index).held.reset();
    } else if (event.kind == StationEvent::Kind::kUnitEnd && m_selected == index) {
        ShowSelectedUnits();
    }
    // Anything else the tile shows at the next refresh.
}

void StationWindow::OnUnitEnded(std::size_t index, UnitRecord unit) {
    Slot& slot = m_slots.at(index);
    if (m_options.askSerial) {
        unit.boxSerial = slot.tile->BoxSerial().toStdString();
        slot.tile->ClearBoxSerial();
    }
    if (m_setup.recorder) {
        m_setup.recorder->Record(unit);
    }
    if (slot.unitAtStop && unit.outcome != UnitOutcome::kCompleted) {
        m_exitStatus = 1;
    }
    slot.unitAtStop = false;
    m_tally.Count(unit);
    slot.tally.Count(unit.outcome);
    unit.log.clear();
    slot.recent.push_front(unit);
    if (slot.recent.size() > kRecentUnits) {
        slot.recent.pop_back();
    }
    slot.held = std::move(unit);
}

void StationWindow::Refresh() {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        Slot& slot = m_slots[index];
        if (m_line.Collect(index)) {
            slot.finishing = false;
        }
        const bool running = m_line.HasPort(index);
        const PortSnapshot port = ShownPort(m_line.Snapshot(index), slot.held);
        slot.tile->Show(port, FaceOf(port, slot.held, slot.stopped && !running), slot.tally,
                        running);
    }
    const auto now = ShiftTally::Clock::now();
    m_header->ShowTotals(m_tally, now);
    m_header->ShowBanner(BannerText());
    ShowSelectedLog(false);
}

std::string StationWindow::BannerText() const {
    std::string text;
    auto add = [&text](const std::string& line) { text += (text.empty() ? "" : "\n") + line; };
    if (!m_line.ImageChange().empty()) {
        add("The image changed: " + m_line.ImageChange() + ".");
    }
    if (std::any_of(m_slots.begin(), m_slots.end(),
                    [](const Slot& slot) { return slot.finishing; })) {
        add("Finishing the units under way; no new box is taken.");
    }
    if (m_setup.recorder) {
        const RecorderProgress progress = m_setup.recorder->Status();
        if (progress.serverUnreachable) {
            add("The record server cannot be reached: units are kept in " +
                m_setup.recordTarget.localFile + " and sent when it can.");
        }
        const std::size_t held = progress.spooled + progress.NotInFile();
        if (held > 0) {
            add(std::to_string(held) + (held == 1 ? " record is" : " records are") +
                " held back, not yet in the record store.");
        }
    } else {
        add("Recording is off: no unit of this shift is recorded.");
    }
    return text;
}

void StationWindow::Select(std::size_t index) {
    if (m_selected) {
        m_slots[*m_selected].tile->SetSelected(false);
    }
    m_selected = index;
    Slot& slot = m_slots[index];
    slot.tile->SetSelected(true);
    m_selectedTitle->setText(Qs(slot.label + " — " + slot.tile->toolTip().toStdString()));
    ShowSelectedLog(true);
    ShowSelectedUnits();
}

void StationWindow::ShowSelectedLog(bool always) {
    if (!m_selected) {
        return;
    }
    const std::size_t index = *m_selected;
    const std::uint64_t changes = m_line.UnitLogChanges(index);
    if (!always && changes == m_logShown) {
        return;
    }
    m_logShown = changes;
    m_log->Clear();
    m_log->Append(m_line.UnitLog(index));
}

void StationWindow::ShowSelectedUnits() {
    m_units->clear();
    if (!m_selected) {
        return;
    }
    for (const UnitRecord& unit : m_slots[*m_selected].recent) {
        const auto ended = QDateTime::fromSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::seconds>(unit.end.time_since_epoch()).count());
        auto* item = new QTreeWidgetItem(m_units);
        item->setText(0, ended.toString(QStringLiteral("HH:mm:ss")));
        item->setText(1, Qs(std::string(OutcomeName(unit.outcome))));
        item->setText(2,
                      QStringLiteral("%1/%2").arg(unit.blocksAcknowledged).arg(unit.blocksInImage));
        item->setText(3,
                      Qs(ClockText(std::chrono::duration<double>(unit.end - unit.start).count())));
        item->setText(4, Qs(unit.boxSerial));
        item->setText(5, Qs(unit.reason));
    }
    m_units->header()->resizeSections(QHeaderView::ResizeToContents);
}

}  // namespace vantrel
