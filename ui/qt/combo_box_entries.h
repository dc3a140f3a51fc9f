#pragma once

#include <QComboBox>
#include <QString>

namespace vantrel {

// List operations of a drop-down combo box with an editable text field.

// Inserts `text` before the first entry that sorts after it, ignoring case,
// as a sorted list keeps its entries.
void InsertSorted(QComboBox& box, const QString& text);

// The entry that the text field names (ignoring case), or -1 when the
// operator typed something that is no entry.
int MatchingEntry(const QComboBox& box);

// Selects the first entry that begins with `text` (ignoring case); when
// none does, shows `text` in the field with no entry selected.
void SelectStringOrSetText(QComboBox& box, const QString& text);

}  // namespace vantrel
