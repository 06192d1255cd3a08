// The service in the notification area. Run twice: on the offscreen platform, which
// has none (the service starts and prints as before, without an icon), and by
// scripts/with-tray.sh on an X display with a system tray (NORVEXA_TRAY_EXPECTED):
// the icon is docked there with its tip, a printed job raises one notification, and
// the menu's "Kilépés" ends the service.
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/NotificationArea.h"
#include "intake/paths.h"
#include "tests/forms/fault_support.h"

namespace {

using namespace nx::test;

// The notifications on the screen: Qt shows them as balloon windows where the
// desktop has no notification service of its own.
int balloonsShown() {
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && QByteArray(w->metaObject()->className()) == "QBalloonTip") ++shown;
    return shown;
}

TEST(NotificationArea, TheIconShowsTheStateAPrintedJobIsToldOnceAndKilepesEndsTheService) {
    const bool expected = std::getenv("NORVEXA_TRAY_EXPECTED") != nullptr;
    Env env;
    NotificationArea* tray = env.program->notificationArea();
    env.drive.write(nx::paths::kJobCandidates[0], "SZAMLA\x0c\r\nMASODIK\r\n");
    if (!expected) {
        // No notification area: no icon, and the job prints as it always did.
        EXPECT_EQ(tray, nullptr);
        env.cycle();
        EXPECT_TRUE(env.printed());
        EXPECT_FALSE(env.program->terminationRequested());
        return;
    }
    ASSERT_NE(tray, nullptr) << "the desktop's notification area was not found";
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray->icon()->geometry().width() > 0; }, 5000))
        << "the icon was not docked in the tray";
    EXPECT_TRUE(tray->icon()->isVisible());

    env.cycle();
    ASSERT_TRUE(env.printed());
    EXPECT_TRUE(tray->icon()->toolTip().startsWith(QStringLiteral("Norvexa: figyel")));
    EXPECT_EQ(tray->raised(), 1);
    EXPECT_EQ(tray->lastMessage(), QStringLiteral("WNYOMTAT.TXT: 2 oldal, ") + QString::fromStdString(env.pdf));
    EXPECT_TRUE(QTest::qWaitFor([] { return balloonsShown() == 1; }, 3000)) << balloonsShown();
    env.cycle();  // nothing new: no second notification
    EXPECT_EQ(tray->raised(), 1);

    const QList<QAction*> items = tray->menu()->actions();
    QStringList captions;
    for (QAction* a : items)
        if (!a->isSeparator()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Megnyitás"), QStringLiteral("Előzmények"),
                                     QStringLiteral("Kilépés")}));
    EXPECT_FALSE(env.program->terminationRequested());
    items.back()->trigger();
    EXPECT_TRUE(env.program->terminationRequested());
}

}  // namespace
