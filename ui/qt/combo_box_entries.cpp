#include "ui/qt/combo_box_entries.h"

namespace vantrel {

void InsertSorted(QComboBox& box, const QString& text) {
    int index = 0;
    while (index < box.count() &&
           QString::compare(box.itemText(index), text, Qt::CaseInsensitive) <= 0) {
        ++index;
    }
    box.insertItem(index, text);
}

int MatchingEntry(const QComboBox& box) {
    const QString text = box.currentText();
    const int current = box.currentIndex();
    if (current >= 0 && box.itemText(current) == text) {
        return current;
    }
    return box.findText(text, Qt::MatchFixedString);
}

void SelectStringOrSetText(QComboBox& box, const QString& text) {
    const int index = box.findText(text, Qt::MatchStartsWith);
    box.setCurrentIndex(index);
    if (index < 0) {
        box.setEditText(text);
    }
}

}  // namespace vantrel
