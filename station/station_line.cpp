#include "station/station_line.h"

#include <algorithm>

namespace vantrel {

StationLine::StationLine(std::vector<PortRunnerConfig> ports, Deliver deliver, UnitEnded ended)
    : m_deliver(std::move(deliver)), m_ended(std::move(ended)) {
    for (PortRunnerConfig& config : ports) {
        config.detectPorts = [this] { return m_discovery.Detect(); };
        Slot slot;
        slot.lastSeen.label = config.label;
        slot.lastSeen.device = config.device ? config.device->path : "";
        slot.config = std::move(config);
        m_slots.push_back(std::move(slot));
    }
}

StationLine::~StationLine() {
    StopAll();
    AwaitAll();
}

bool StationLine::Start(std::size_t index) {
    Slot& slot = m_slots.at(index);
    if (Running(index) || !m_imageChange.empty()) {
        return false;
    }
    Collect(index);
    slot.runner = std::make_unique<PortRunner>(
        slot.config, [this, index](StationEvent event) { m_deliver(index, std::move(event)); });
    slot.runner->Start();
    return true;
}

void StationLine::Stop(std::size_t index) {
    if (PortRunner* runner = m_slots.at(index).runner.get()) {
        runner->RequestStop();
    }
}

void StationLine::Finish(std::size_t index) {
    if (PortRunner* runner = m_slots.at(index).runner.get()) {
        runner->FinishAndStop();
    }
}

void StationLine::StopAll() {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        Stop(index);
    }
}

void StationLine::FinishAll() {
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        Finish(index);
    }
}

void StationLine::AwaitAll() {
    for (Slot& slot : m_slots) {
        if (slot.runner) {
            slot.runner->Join();
        }
    }
}

bool StationLine::Take(std::size_t index, const StationEvent& event) {
    const Slot& slot = m_slots.at(index);
    switch (event.kind) {
        case StationEvent::Kind::kBoot:
            m_underWay.Begin(slot.config.label, event.device, event.time);
            return false;
        case StationEvent::Kind::kUnitEnd:
            m_ended(index, *event.unit);
            m_underWay.End(slot.config.label);
            return false;
        case StationEvent::Kind::kImageChanged:
            if (!m_imageChange.empty()) {
                return false;
            }
            // No slot starts a unit with bytes other than those checked at
            // the start of the shift.
            m_imageChange = event.text;
            for (Slot& other : m_slots) {
                if (other.runner) {
                    other.runner->HaltNewUnits(event.text);
                }
            }
            return true;
        default:
            return false;
    }
}

bool StationLine::Running(std::size_t index) const {
    const Slot& slot = m_slots.at(index);
    return slot.runner && !slot.runner->Finished();
}

bool StationLine::AllEnded() const {
    return std::none_of(m_slots.begin(), m_slots.end(),
                        [](const Slot& slot) { return slot.runner && !slot.runner->Finished(); });
}

bool StationLine::Collect(std::size_t index) {
    Slot& slot = m_slots.at(index);
    if (!slot.runner || !slot.runner->Finished()) {
        return false;
    }
    slot.runner->Join();
    slot.lastSeen = slot.runner->Snapshot();
    slot.lastLog = slot.runner->UnitLog();
    slot.lastLogChanges = slot.runner->UnitLogChanges();
    slot.runner.reset();
    return true;
}

PortSnapshot StationLine::Snapshot(std::size_t index) const {
    const Slot& slot = m_slots.at(index);
    return slot.runner ? slot.runner->Snapshot() : slot.lastSeen;
}

std::string StationLine::UnitLog(std::size_t index) const {
    const Slot& slot = m_slots.at(index);
    return slot.runner ? slot.runner->UnitLog() : slot.lastLog;
}

std::uint64_t StationLine::UnitLogChanges(std::size_t index) const {
    const Slot& slot = m_slots.at(index);
    return slot.runner ? slot.runner->UnitLogChanges() : slot.lastLogChanges;
}

}  // namespace vantrel
