#pragma once

class QWidget;

namespace vantrel {

// Closes every modal dialog open above `keep` (a message box, a question,
// a file dialog), each as its Cancel or Escape would: their modal loops
// return once the caller's event handling does.
void CloseModalDialogs(const QWidget* keep);

}  // namespace vantrel
