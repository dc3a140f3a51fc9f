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

}  // namespace

StationWindow::StationWindow(StationSetup& setup, StationWindowOptions options, QWidget* parent)
    : QMainWindow(parent), m_setup(setup), m_options(options) {
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
    for (PortRunnerConfig config : setup.config.ports) {
        // A line waits for box after box on every slot.
        config.loop = true;
        config.detectPorts = [this] { return m_discovery.Detect(); };
        Slot slot;
        slot.lastSeen.label = config.label;
        slot.lastSeen.device = config.device ? config.device->path : "";
        slot.tile = new SlotTile(Qs(config.label), options.askSerial, tiles);
        slot.config = std::move(config);
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
    Slot& slot = m_slots.at(index);
    if (slot.runner && !slot.runner->Finished()) {
        return;
    }
    if (slot.runner) {
        slot.runner->Join();
    }
    if (!m_imageChange.empty() || m_stoppingBySignal) {
        return;  // no new unit starts on any slot
    }
    slot.stopped = false;
    slot.runner = std::make_unique<PortRunner>(slot.config, [this, index](StationEvent event) {
        // From the port's thread onto the window's.
        QMetaObject::invokeMethod(
            this, [this, index, event = std::move(event)] { OnEvent(index, event); },
            Qt::QueuedConnection);
    });
    slot.runner->Start();
    if (m_selected == index) {
        ShowSelectedLog(true);
    }
    Refresh();
}

void StationWindow::StopSlot(std::size_t index) {
    Slot& slot = m_slots.at(index);
    if (slot.runner) {
        slot.runner->RequestStop();
        slot.stopped = true;
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
    for (Slot& slot : m_slots) {
        if (slot.runner) {
            slot.runner->FinishAndStop();
            slot.stopped = true;
            slot.finishing = true;
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
        for (Slot& slot : m_slots) {
            slot.unitAtStop = BoxUnderWay(slot);
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
    const bool anyRunning = std::any_of(m_slots.begin(), m_slots.end(),
                                        [](const Slot& slot) { return slot.runner != nullptr; });
    if (m_stoppingBySignal && !anyRunning && isVisible()) {
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
    for (Slot& slot : m_slots) {
        if (slot.runner) {
            slot.runner->Join();
        }
    }
    // What the ports told before they ended, ended units above all, is
    // still queued for this thread: recorded now, not lost with the window.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    Refresh();
}

bool StationWindow::BoxUnderWay(const Slot& slot) const {
    return slot.runner && !slot.runner->Finished() &&
           slot.runner->Snapshot().phase == PortPhase::kUpdating;
}

bool StationWindow::AnyBoxUnderWay() const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [this](const Slot& slot) { return BoxUnderWay(slot); });
}

void StationWindow::OnEvent(std::size_t index, const StationEvent& event) {
    Slot& slot = m_slots.at(index);
    switch (event.kind) {
        case StationEvent::Kind::kBoot:
            slot.held.reset();
            m_underWay.Begin(slot.config.label, event.device, event.time);
            break;
        case StationEvent::Kind::kUnitEnd:
            OnUnitEnded(slot, *event.unit);
            if (m_selected == index) {
                ShowSelectedUnits();
            }
            break;
        case StationEvent::Kind::kImageChanged:
            // No slot starts a unit with bytes other than those checked at
            // the start of the shift.
            if (m_imageChange.empty()) {
                m_imageChange = event.text;
                for (Slot& other : m_slots) {
                    if (other.runner) {
                        other.runner->HaltNewUnits(event.text);
                    }
                }
            }
            break;
        default:
            break;  // the tile shows it at the next refresh
    }
}

void StationWindow::OnUnitEnded(Slot& slot, UnitRecord unit) {
    if (m_options.askSerial) {
        unit.boxSerial = slot.tile->BoxSerial().toStdString();
        slot.tile->ClearBoxSerial();
    }
    if (m_setup.recorder) {
        m_setup.recorder->Record(unit);
    }
    m_underWay.End(slot.config.label);
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
    for (Slot& slot : m_slots) {
        if (slot.runner && slot.runner->Finished()) {
            slot.runner->Join();
            slot.lastSeen = slot.runner->Snapshot();
            slot.lastLog = slot.runner->UnitLog();
            slot.runner.reset();
            slot.finishing = false;
        }
        const PortSnapshot port =
            ShownPort(slot.runner ? slot.runner->Snapshot() : slot.lastSeen, slot.held);
        const bool stopped = slot.stopped && !slot.runner;
        slot.tile->Show(port, FaceOf(port, slot.held, stopped), slot.tally, slot.runner != nullptr);
    }
    const auto now = ShiftTally::Clock::now();
    m_header->ShowTotals(m_tally, now);
    m_header->ShowBanner(BannerText());
    ShowSelectedLog(false);
}

std::string StationWindow::BannerText() const {
    std::string text;
    auto add = [&text](const std::string& line) { text += (text.empty() ? "" : "\n") + line; };
    if (!m_imageChange.empty()) {
        add("The image changed: " + m_imageChange + ".");
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
    m_selectedTitle->setText(Qs(slot.config.label + " — " + slot.tile->toolTip().toStdString()));
    ShowSelectedLog(true);
    ShowSelectedUnits();
}

void StationWindow::ShowSelectedLog(bool always) {
    if (!m_selected) {
        return;
    }
    const Slot& slot = m_slots[*m_selected];
    std::string text;
    if (slot.runner) {
        const std::uint64_t changes = slot.runner->UnitLogChanges();
        if (!always && changes == m_logShown) {
            return;
        }
        m_logShown = changes;
        text = slot.runner->UnitLog();
    } else if (always) {
        text = slot.lastLog;
    } else {
        return;
    }
    m_log->Clear();
    m_log->Append(text);
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
