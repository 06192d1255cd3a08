// The application layer on its own: the title, the guarded dispatcher with the
// termination request, and the activation tracker on plain windows.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>

#include "app/activation.h"
#include "app/dispatcher.h"
#include "platform/title.h"
#include "app/program.h"
#include "platform/files.h"
#include "tests/support/scripted_dialogs.h"

namespace {

using nx::app::ActivationTracker;
using nx::app::AppServices;
using nx::app::GuardedDispatcher;

TEST(ApplicationTitle, FileNameWithoutDirectoryAndExtensionFirstLetterKept) {
    EXPECT_EQ(nx::applicationTitle("/usr/local/bin/norvexa"), "norvexa");
    EXPECT_EQ(nx::applicationTitle("C:\\PROGRAM\\NORVEXA.EXE"), "Norvexa");
    EXPECT_EQ(nx::applicationTitle("./NorVexa.tar.gz"), "Norvexa");
    EXPECT_EQ(nx::applicationTitle("ZTL"), "Ztl");
    EXPECT_EQ(nx::applicationTitle(".hidden"), "");
}

struct DispatchFixture : ::testing::Test {
    nx::test::ScriptedDialogs dialogs;
    AppServices services{dialogs, "Norvexa"};
    GuardedDispatcher dispatcher{services};
    void SetUp() override { services.setDispatcher(&dispatcher); }
};

TEST_F(DispatchFixture, ErrorsOfAHandlerGoToTheErrorBoxAndTheProgramGoesOn) {
    dispatcher.run([] { throw nx::IoError(2); });
    dispatcher.run([] { throw nx::IoError(77); });
    dispatcher.run([] { throw nx::ConvertError("'12 ' is not a valid integer value"); });
    dispatcher.run([] { throw std::runtime_error("Disk full"); });
    bool ran = false;
    dispatcher.run([&] { ran = true; });

    ASSERT_EQ(dialogs.errors.size(), 4u);
    EXPECT_EQ(dialogs.errors[0].title, "Norvexa");
    EXPECT_EQ(dialogs.errors[0].text, "File not found.");
    EXPECT_EQ(dialogs.errors[1].text, "I/O error 77.");
    EXPECT_EQ(dialogs.errors[2].text, "'12 ' is not a valid integer value.");
    EXPECT_EQ(dialogs.errors[3].text, "Disk full.");
    EXPECT_TRUE(ran);
    EXPECT_FALSE(dispatcher.busy());
}

TEST_F(DispatchFixture, TerminationAskedInAHandlerEndsTheLoopOnlyAfterTheHandler) {
    bool afterRequest = false;
    bool loopEnded = false;
    QTimer::singleShot(0, [&] {
        dispatcher.run([&] {
            services.requestTermination();
            EXPECT_TRUE(dispatcher.busy());
            // A box shown after the request is not swept away by the quit.
            QEventLoop nested;
            QTimer::singleShot(30, &nested, &QEventLoop::quit);
            nested.exec();
            afterRequest = true;
        });
    });
    QTimer::singleShot(2000, [&] { if (!loopEnded) QCoreApplication::exit(1); });
    const int rc = QCoreApplication::exec();
    loopEnded = true;
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(afterRequest);
    EXPECT_TRUE(services.terminationRequested());
}

TEST_F(DispatchFixture, TerminateNowLeavesAModalLoopOfARunningHandler) {
    bool nestedLeft = false;
    QTimer::singleShot(0, [&] {
        dispatcher.run([&] {
            QEventLoop nested;  // a message box waiting for the user
            QTimer::singleShot(10, [&] { services.terminateNow(); });
            QTimer::singleShot(3000, &nested, &QEventLoop::quit);
            QElapsedTimer t;
            t.start();
            nested.exec();
            nestedLeft = t.elapsed() < 2000;
        });
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(nestedLeft);
}

// Plain windows under the tracker, each counting its activations.
struct TrackerFixture : ::testing::Test {
    nx::test::ScriptedDialogs dialogs;
    AppServices services{dialogs, "Norvexa"};
    GuardedDispatcher dispatcher{services};
    ActivationTracker tracker{dispatcher};
    QWidget a, b;
    QDialog modal;
    int activeA = 0, activeB = 0, activeModal = 0;

    void SetUp() override {
        a.setWindowTitle("a");
        b.setWindowTitle("b");
        a.resize(200, 100);
        b.resize(200, 100);
        tracker.track(&a, [this] { ++activeA; });
        tracker.track(&b, [this] { ++activeB; });
        tracker.track(&modal, [this] { ++activeModal; });
    }
    static void focus(QWidget& w) {
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        QTest::qWait(20);
    }
};

TEST_F(TrackerFixture, ShowingAndSwitchingBetweenWindowsActivate) {
    a.show();
    EXPECT_EQ(activeA, 1);  // on show, before any focus change arrives
    focus(a);
    EXPECT_EQ(activeA, 1);  // the focus reaching the shown window is no second one
    b.show();
    focus(b);
    EXPECT_EQ(activeB, 1);
    focus(a);
    EXPECT_EQ(activeA, 2);
    focus(b);
    EXPECT_EQ(activeB, 2);
    EXPECT_EQ(tracker.active(), &b);
    // Showing a window that is already shown is no activation.
    b.show();
    EXPECT_EQ(activeB, 2);
}

TEST_F(TrackerFixture, ReturningFromAnUntrackedModalDialogIsNoActivation) {
    a.show();
    focus(a);
    QDialog box(&a);
    QTimer::singleShot(50, &box, [&] {
        EXPECT_TRUE(box.isActiveWindow());
        box.accept();
    });
    box.exec();
    focus(a);
    EXPECT_EQ(activeA, 1);
}

TEST_F(TrackerFixture, ReturningFromAnotherApplicationIsNoActivation) {
    a.show();
    focus(a);
    // The window system reports no focus window while another program has it, and
    // the same window again when the user comes back.
    emit qGuiApp->focusWindowChanged(nullptr);
    emit qGuiApp->focusWindowChanged(a.windowHandle());
    EXPECT_EQ(activeA, 1);
    // From another program straight to the program's other window: an activation.
    b.show();
    focus(a);
    ASSERT_EQ(activeA, 2);
    emit qGuiApp->focusWindowChanged(nullptr);
    emit qGuiApp->focusWindowChanged(b.windowHandle());
    EXPECT_EQ(activeB, 2);
}

TEST_F(TrackerFixture, ATrackedModalWindowIsActivatedOnShowAndHandsBackSilently) {
    a.show();
    focus(a);
    b.show();
    focus(b);
    ASSERT_EQ(activeB, 1);
    QTimer::singleShot(50, &modal, [&] {
        EXPECT_EQ(tracker.active(), &modal);
        modal.accept();
    });
    modal.exec();
    EXPECT_EQ(activeModal, 1);
    EXPECT_EQ(tracker.active(), &b);
    focus(b);
    EXPECT_EQ(activeB, 1);
    // A second modal showing activates it again.
    QTimer::singleShot(50, &modal, &QDialog::reject);
    modal.exec();
    EXPECT_EQ(activeModal, 2);
    // Moving on to the other window afterwards is an activation as usual.
    focus(a);
    EXPECT_EQ(activeA, 2);
}

TEST_F(TrackerFixture, AnErrorInAnActivationIsReportedAndTrackingGoesOn) {
    QWidget c;
    tracker.track(&c, [] { throw nx::IoError(5); });
    c.show();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].text, "File access denied.");
    EXPECT_EQ(tracker.active(), &c);
}

}  // namespace
