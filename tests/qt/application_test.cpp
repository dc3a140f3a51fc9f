// The application object: its icon and desktop entry, and a start-up that
// runs the main window modally and ends with it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "tests/support/pty_peer.h"
#include "ui/qt/updater_app.h"
#include "ui/qt/updater_window.h"

namespace vantrel {
namespace {

TEST(Application, StartUpRunsTheMainWindowModallyAndEndsWithIt) {
    test::PtyPeer box(1);
    auto* app = dynamic_cast<CUpdaterApp*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->desktopFileName(), "vantrel");
    EXPECT_FALSE(QApplication::windowIcon().pixmap(32, 32).isNull())
        << "the SVG icon is drawn by Qt's SVG icon engine (Debian libqt6svg6)";
    struct Seen {
        QString title;
        bool modal = false;
        bool icon = false;
    };
    std::vector<Seen> seen;
    // Runs inside the window's modal loop: looks at it and presses Escape.
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<UpdaterWindow*>(widget);
                window && window->isVisible()) {
                seen.push_back({window->windowTitle(), window->isModal(),
                                !window->windowIcon().pixmap(32, 32).isNull()});
                QTest::keyClick(window, Qt::Key_Escape);
            }
        }
    });
    EXPECT_EQ(app->InitInstance(), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "[QRN7700] Vantrel (20090720-1)");
    EXPECT_TRUE(seen[0].modal);
    EXPECT_TRUE(seen[0].icon);
}

}  // namespace
}  // namespace vantrel
