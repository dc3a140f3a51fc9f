// Renders the window idle and in the middle of an update to PNG files: the
// README's screenshot comes from here. Run it with VANTREL_SCREENSHOT_DIR set
// (tools/take-screenshots.sh) to keep the files; otherwise they go to a
// temporary directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "tests/qt/scripted_dialogs.h"
#include "tests/support/image_maker.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "ui/control_ids.h"
#include "ui/qt/updater_window.h"

namespace vantrel {
namespace {

constexpr int kSilentBlock = 260;  // the box never answers it: the update stops there

// Saves the window's client area as `name`.png and reads the file back.
QImage Shoot(UpdaterWindow& window, const QString& directory, const QString& name) {
    const QString path = directory + "/" + name + ".png";
    QImage shot(window.size(), QImage::Format_RGB32);
    window.render(&shot);
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
    return QImage(path);
}

// Whether the progress bar is drawn filled at `fraction` of its width.
QRgb BarColourAt(const QImage& shot, const QProgressBar& bar, double fraction) {
    const QRect place = bar.geometry();
    return shot.pixel(place.x() + static_cast<int>(place.width() * fraction), place.center().y());
}

TEST(Screenshot, IdleAndInTheMiddleOfAnUpdate) {
    test::TempDir scratch;
    const char* kept = std::getenv("VANTREL_SCREENSHOT_DIR");
    const QString directory =
        QString::fromLocal8Bit(kept != nullptr ? kept : scratch.Path().c_str());

    PeerOptions options;
    options.silentFrames = {{FrameSelector::Frame::kBlock, kSilentBlock}};
    test::StandIn box(options);
    box.Run();
    // Chosen from the working directory, so the picture shows no temporary
    // folder.
    scratch.Write("sample-appl.bin", test::MakeImageBytes({"APPL", 590848}));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(scratch.Path().string())));
    test::ScriptedDialogs dialogs;
    dialogs.files.push_back(QStringLiteral("sample-appl.bin"));
    auto window = std::make_unique<UpdaterWindow>(dialogs);
    auto control = [&](int id) {
        return window->findChild<QWidget*>(QStringLiteral("id%1").arg(id));
    };
    auto* bar = qobject_cast<QProgressBar*>(control(kIdProgress));
    // Shown, so the log pane lays out and scrolls as the operator sees it.
    window->show();
    qobject_cast<QPushButton*>(control(kIdOpenImage))->click();

    const QImage idle = Shoot(*window, directory, "vantrel-idle");
    qobject_cast<QPushButton*>(control(kIdStart))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() == kSilentBlock; }, 60'000));
    EXPECT_EQ(qobject_cast<QLabel*>(control(kIdStatusLine))->text(),
              "Updating modules...[Module - SW : 260/577]");
    control(kIdCancel)->setFocus();  // where the operator's next press goes
    const QImage updating = Shoot(*window, directory, "vantrel-updating");

    ASSERT_EQ(idle.size(), window->size());
    ASSERT_EQ(updating.size(), idle.size());
    EXPECT_EQ(BarColourAt(idle, *bar, 0.2), BarColourAt(idle, *bar, 0.8)) << "an empty bar";
    EXPECT_NE(BarColourAt(updating, *bar, 0.2), BarColourAt(updating, *bar, 0.8))
        << "a bar filled to 45 per cent";

    qobject_cast<QPushButton*>(control(kIdCancel))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->Logic().Core().SessionRunning(); }, 10'000));
    QDir::setCurrent(before);
}

}  // namespace
}  // namespace vantrel
