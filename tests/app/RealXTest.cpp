// Behaviour that only a real X server shows: keys as the X keyboard sends them, and a window
// manager's frame around the main window. Run by with-x.sh; skipped on any other platform.
#include "TAboutForm.h"
#include "QtUserDialogs.h"
#include "TMainForm.h"

#include <QGuiApplication>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool OnX()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Keys typed through the X server's test extension, as a keyboard types them, into `window`.
bool TypeKeys(QWidget& window, const QString& keys)
{
    const QString id = QString::number(window.winId());
    return QProcess::execute("xdotool", {"windowfocus", "--sync", id}) == 0
           && QProcess::execute("xdotool", {"key", "--clearmodifiers", keys}) == 0;
}

TEST(RealX, TheAboutBoxTurnsItsTabsBothWaysFromTheKeyboard)
{
    if (!OnX())
        GTEST_SKIP() << "needs an X server";
    TAboutForm about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    // X sends Shift+Tab as ISO_Left_Tab; the tabs turn back however Qt reports its Shift. With
    // two tabs each key turns to the other one.
    for (const char* keys : {"ctrl+Tab", "ctrl+shift+Tab", "ctrl+Prior", "ctrl+shift+Tab", "ctrl+Next"}) {
        SCOPED_TRACE(keys);
        const int other = 1 - about.PageControl1->currentIndex();
        ASSERT_TRUE(TypeKeys(about, keys));
        EXPECT_TRUE(QTest::qWaitFor([&] { return about.PageControl1->currentIndex() == other; }, 3000));
    }
}

// The folder chooser opens on the folder above the start folder with the start folder chosen, so
// that Return takes it without listing what it holds.
TEST(RealX, ReturnInTheFolderChooserTakesTheStartFolder)
{
    if (!OnX())
        GTEST_SKIP() << "needs an X server";
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("Music Out/inner"));
    const QString start = root.filePath("Music Out");
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog && !(QTest::qWaitForWindowExposed(dialog) && TypeKeys(*dialog, "Return")))
            dialog->reject();
    });
    QtUserDialogs dialogs;
    EXPECT_EQ(dialogs.ChooseFolder(nullptr, "Extract Tracks To Directory", start), start);
}

// Under a window manager the stored bounds are the outer frame; each start must put the frame
// where it was and save it unchanged, from a fresh home as from stored bounds.
TEST(RealX, TheWindowComesBackAtTheSizeItWasSaved)
{
    if (!OnX() || qEnvironmentVariableIsEmpty("VARNEL_TEST_WM"))
        GTEST_SKIP() << "needs an X server with a window manager";
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel");
    const auto bounds = [&] {
        store.sync();
        return QRect(store.value("x").toInt(), store.value("y").toInt(), store.value("w").toInt(),
                     store.value("h").toInt());
    };
    const auto startAndExit = [] {
        TMainForm form;
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        // Framed once the window manager has said how wide its frame is.
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry().size() != form.size(); }, 5000));
        QTest::qWait(300);
        form.ActionFileExit->trigger();
    };
    for (const QRect& stored : {QRect(), QRect(100, 80, 1152, 675)}) {
        store.clear();
        store.setValue("FirstRun", "0");
        if (!stored.isNull()) {
            store.setValue("x", QString::number(stored.x()));
            store.setValue("y", QString::number(stored.y()));
            store.setValue("w", QString::number(stored.width()));
            store.setValue("h", QString::number(stored.height()));
        }
        store.sync();
        startAndExit();
        const QRect first = bounds();
        if (!stored.isNull()) {
            EXPECT_EQ(first, stored);
        }
        for (int start = 0; start < 2; ++start) {
            startAndExit();
            EXPECT_EQ(bounds(), first) << "start " << start + 2;
        }
    }
}

} // namespace
