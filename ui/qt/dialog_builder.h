#pragma once

#include <QDialog>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "ui/qt/dialog_template.h"

namespace vantrel {

// The controls that a dialog template made, looked up by identifier. They
// are children of their dialog and owned here, so the dialog class must hold
// this object as a member: the controls go before the dialog does.
class DialogControls {
  public:
    // The control with that identifier, or null.
    QWidget* Find(int id) const;
    template <typename Widget>
    Widget* Get(int id) const {
        return qobject_cast<Widget*>(Find(id));
    }
    // Its row of the template, or null.
    const ControlTemplate* TemplateOf(int id) const;

  private:
    friend DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& layout);

    struct Control {
        QWidget* widget;
        const ControlTemplate* layout;
    };

    std::vector<std::unique_ptr<QWidget>> m_owned;
    std::map<int, Control> m_byId;
};

// Lays the template out on `dialog`: the caption, the dialog font, a fixed
// client size without minimize and maximize boxes, and each control with its
// identifier as object name ("id1034"), at its place converted from dialog
// units, in tab order, with the keyboard focus on the first that takes it.
DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& layout);

}  // namespace vantrel
