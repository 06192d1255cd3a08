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

// Two services on one drive C would print every job twice: the second start says
// that the service already runs on the drive and ends, and the first goes on with
// its marker and settings untouched.
TEST(ServiceProcess, ASecondStartOnTheSameDriveEndsWithItsMessage) {
    const QString binary = serviceBinary();
    if (binary.isEmpty()) GTEST_SKIP() << "the norvexa executable is not built";
    nx::test::TempDrive drive;
    drive.mkdir("c:\\talvera");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("NORVEXA_DRIVE_C");
    const QStringList args = {"--drive-c", QString::fromStdString(drive.root().string())};

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(binary, args);
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(waitFor([&] { return drive.exists("c:\\norvexa\\norvexa.akt"); }, 10000));
    drive.write("c:\\norvexa\\config.dta", std::string(28, '\x07'));  // as a user's settings
    drive.write("c:\\norvexa\\norvexa.akt", "ELSO\r\n");

    QProcess second;
    env.insert("NORVEXA_DRIVE_C", QString::fromStdString(drive.root().string()));  // the same drive
    second.setProcessEnvironment(env);
    second.start(binary, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    second.setReadChannel(QProcess::StandardError);
    std::string said;
    while (said.find("meghajt") == std::string::npos || said.back() != '\n') {
        if (!second.waitForReadyRead(10000)) break;
        said += second.readAllStandardError().toStdString();
    }
    EXPECT_NE(said.find("m\xc3\xa1r fut a C: meghajt\xc3\xb3n (" + drive.root().string() + ")"),
              std::string::npos)
        << said;
    EXPECT_EQ(second.state(), QProcess::Running);  // its message waits for OK
    ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);

    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(drive.read("c:\\norvexa\\norvexa.akt"), "ELSO\r\n");
    EXPECT_EQ(drive.read("c:\\norvexa\\config.dta"), std::string(28, '\x07'));

    // Once the first has ended, a new start on the drive is its service.
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    QProcess third;
    third.setProcessEnvironment(env);
    third.start(binary, {});
    ASSERT_TRUE(third.waitForStarted(5000));
    EXPECT_TRUE(waitFor([&] { return drive.exists("c:\\norvexa\\norvexa.akt"); }, 10000));
    ::kill(static_cast<pid_t>(third.processId()), SIGTERM);
    EXPECT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(third.exitCode(), 0);
}

}  // namespace
