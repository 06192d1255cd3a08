// The built service as a process: a signal ends it as the exit button does, also
// while its first message still waits for OK, so the settings are saved and the
// presence marker is gone.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <functional>
#include <csignal>
#include <gtest/gtest.h>

#include "tests/support/temp_drive.h"

namespace {

// The service is built beside the test tree: <build>/bin/norvexa.
QString serviceBinary() {
    QDir dir(QCoreApplication::applicationDirPath());
    return QFileInfo(dir.absoluteFilePath("../../bin/norvexa")).canonicalFilePath();
}

bool waitFor(const std::function<bool()>& condition, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (condition()) return true;
        QThread::msleep(20);
    }
    return condition();
}

class ServiceProcess : public ::testing::TestWithParam<int> {};

TEST_P(ServiceProcess, ASignalSavesTheSettingsAndRemovesTheMarker) {
    const QString binary = serviceBinary();
    if (binary.isEmpty()) GTEST_SKIP() << "the norvexa executable is not built";
    nx::test::TempDrive drive;

    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("NORVEXA_DRIVE_C");
    service.setProcessEnvironment(env);
    service.start(binary, {"--drive-c", QString::fromStdString(drive.root().string())});
    ASSERT_TRUE(service.waitForStarted(5000));

    ASSERT_TRUE(waitFor([&] { return drive.exists("c:\\norvexa\\norvexa.akt"); }, 10000))
        << service.readAllStandardError().toStdString();
    QThread::msleep(300);  // the first message is up and waits for OK
    ::kill(static_cast<pid_t>(service.processId()), GetParam());

    ASSERT_TRUE(service.waitForFinished(10000)) << "the service did not end";
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 0);
    EXPECT_FALSE(drive.exists("c:\\norvexa\\norvexa.akt"));
    EXPECT_EQ(drive.read("c:\\norvexa\\config.dta").size(), 28u);
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, ServiceProcess, ::testing::Values(SIGTERM, SIGINT));

}  // namespace
