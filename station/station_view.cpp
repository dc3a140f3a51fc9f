#include "station/station_view.h"

namespace vantrel {

StationView::StationView(std::string image) : m_image(std::move(image)) {}

void StationView::SetText(int id, std::string_view text) {
    m_texts[id] = std::string(text);
}

std::string StationView::GetText(int id) {
    const auto found = m_texts.find(id);
    return found != m_texts.end() ? found->second : std::string();
}

void StationView::AddComboEntry(int id, std::string_view text) {
    m_comboEntries[id].emplace_back(text);
}

void StationView::SetComboSelection(int id, int index) {
    m_comboSelection[id] = index;
}

int StationView::ComboSelection(int id) {
    const auto found = m_comboSelection.find(id);
    return found != m_comboSelection.end() ? found->second : -1;
}

std::optional<std::string> StationView::ChooseFileToOpen(std::span<const FileFilter>) {
    return m_image;
}

}  // namespace vantrel
