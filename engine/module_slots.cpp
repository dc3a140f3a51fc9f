#include "engine/module_slots.h"

#include <limits>
#include <new>

#include "platform/read_only_file.h"
#include "protocol/blocks.h"

namespace vantrel {

void ModuleSlot::Clear() {
    const std::int32_t keptKind = kind;
    Zero();
    kind = keptKind;
    empty = 1;
}

ModuleSlots::ModuleSlots() {
    ClearSlots();
}

void ModuleSlots::ClearSlots() {
    for (ModuleSlot& slot : m_slots) {
        slot.Clear();
    }
    m_moduleCount = 0;
}

LoadResult ModuleSlots::LoadImageIntoSlot(std::string_view destAddress, std::string_view fileName,
                                          std::int32_t kind) {
    for (ModuleSlot& slot : m_slots) {
        slot.Zero();
    }
    m_moduleCount = 0;
    if (destAddress.empty() || fileName.empty()) {
        return LoadResult::kMissingText;
    }
    ModuleSlot& slot = m_slots[0];
    slot.destAddress = destAddress;
    slot.fileName = fileName;

    ReadOnlyFile file;
    if (!file.Open(slot.fileName)) {
        return LoadResult::kCannotOpen;
    }
    const std::int64_t length = file.SeekToEnd();
    // Lengths travel as 32-bit numbers, and the buffer holds one byte more.
    if (length < 0 || length >= std::numeric_limits<std::uint32_t>::max()) {
        return LoadResult::kNoMemory;
    }
    try {
        slot.data.assign(static_cast<std::size_t>(length) + 1, 0);
    } catch (const std::bad_alloc&) {
        return LoadResult::kNoMemory;
    }
    file.SeekToStart();
    // A file that shrank since its size was taken is the module as it now
    // reads; the zero byte stays behind the image.
    const std::size_t read = file.Read({slot.data.data(), static_cast<std::size_t>(length)});
    slot.data.resize(read + 1);

    slot.empty = 0;
    slot.imageLength = static_cast<std::uint32_t>(read);
    slot.kind = kind;
    slot.blockCount = BlocksOf(slot.imageLength);
    slot.blocksSent = 0;
    slot.bytesSent = 0;
    slot.selected = 1;
    m_moduleCount = 1;
    return LoadResult::kLoaded;
}

std::uint32_t ModuleSlots::TotalBlocks() const {
    std::uint32_t total = 0;
    for (const ModuleSlot& slot : m_slots) {
        if (slot.selected != 0) {
            total += BlocksOf(slot.imageLength);
        }
    }
    return total;
}

ModuleSlot* ModuleSlots::FirstSelectedSlot() {
    for (ModuleSlot& slot : m_slots) {
        if (slot.selected != 0) {
            return &slot;
        }
    }
    return nullptr;
}

}  // namespace vantrel
