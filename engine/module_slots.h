#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr std::size_t kSlotCount = 4;

// One module to be written. A slot is cleared (empty, not selected, no
// data), zeroed (every field 0) or loaded (data present, selected).
struct ModuleSlot {
    std::uint32_t empty = 0;  // non-zero: no header or block is built from the slot
    std::int32_t kind = 0;
    std::string fileName;  // full path; blocks the box sends back are stored here too
    // The whole file and one zero byte behind it; empty when the slot holds no image.
    std::vector<std::uint8_t> data;
    std::uint32_t imageLength = 0;
    std::uint32_t blockCount = 0;
    std::uint32_t blocksSent = 0;  // blocks acknowledged; the number of the next block
    std::uint32_t bytesSent = 0;   // offset of the next block in `data`
    std::string destAddress;       // as shown in the "Dest address" box
    std::uint32_t selected = 0;

    // Cleared: empty, no data, counters and texts emptied; `kind` is kept.
    void Clear();
    // Zeroed: every field 0 and the data released.
    void Zero() { *this = ModuleSlot{}; }
};

enum class LoadResult {
    kLoaded,
    kMissingText,  // the address or the file-name box is empty
    kCannotOpen,   // the named file cannot be read
    kNoMemory,     // the image does not fit in memory
};

// The window's four module slots, of which only the first is ever filled,
// and the count of modules still to be written.
class ModuleSlots {
  public:
    ModuleSlots();

    // Fills the first slot from the file as it is now (no header or size
    // check); the module count becomes 1 on success, 0 otherwise.
    LoadResult LoadImageIntoSlot(std::string_view destAddress, std::string_view fileName,
                                 std::int32_t kind);
    void ClearSlots();

    std::uint32_t ModuleCount() const { return m_moduleCount; }
    // One module fewer to write; the count never wraps below 0.
    void DecrementModuleCount() {
        if (m_moduleCount > 0) {
            --m_moduleCount;
        }
    }
    // Sum of the block counts of the selected slots, computed from their lengths.
    std::uint32_t TotalBlocks() const;
    ModuleSlot* FirstSelectedSlot();

    ModuleSlot& operator[](std::size_t index) { return m_slots.at(index); }
    const ModuleSlot& operator[](std::size_t index) const { return m_slots.at(index); }

  private:
    std::array<ModuleSlot, kSlotCount> m_slots;
    std::uint32_t m_moduleCount = 0;
};

}  // namespace vantrel
