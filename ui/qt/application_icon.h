#pragma once

#include <QIcon>

namespace vantrel {

// The application icon (icon resource 128), drawn from its SVG by Qt's SVG
// icon engine (Debian libqt6svg6); null without that engine.
QIcon ApplicationIcon();

}  // namespace vantrel
