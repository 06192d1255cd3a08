// Every file operation of the service's own files made to fail, one at a time: the
// two plain-text exports of the preview, the settings load and save with the
// presence marker, and the mail window's sender data. After each run the message is
// the one for the code, nothing hangs, and what stays on disk is what the failure
// left, never a file locked against the next try.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/dispatcher.h"
#include "forms/MailKuldoFormUnit.h"
#include "tests/forms/fault_support.h"

namespace {

using namespace nx::test;
using nx::FileOp;

constexpr std::string_view kJob = "A1 B\r\n\x0c" "C2\r\n";
const std::string kPlain = "A1 B\r\n\x0c" "C2\r\n";  // the export of that job
constexpr std::string_view kExport = "c:\\norvexa\\eredmeny.txt";
constexpr std::string_view kAttachment = "c:\\norvexa\\kuldes.txt";
constexpr std::string_view kSender = "C:\\Norvexa\\sajattxt.txt";
constexpr std::string_view kConfig = "C:\\NORVEXA\\CONFIG.DTA";
constexpr std::string_view kMarker = "C:\\NORVEXA\\NORVEXA.AKT";

QString textFor(const FileCall& c) { return ioText(faultCode(c.op)); }

std::string fileOr(const TempDrive& drive, std::string_view dos, const char* missing = "<none>") {
    return drive.exists(dos) ? drive.read(dos) : std::string(missing);
}

TEST(FileFaults, BothExports) {
    Sweep s;
    s.name = "file export and mail export";
    // The mail window's own data file has a sweep of its own.
    s.filter = [](const std::string& path) { return !pathHas(path, "sajattxt"); };
    s.run = [](FaultPlan& plan) {
        Env env;
        env.drive.write(kHostJob, kJob);
        env.main().AzonnalNyomtat->setChecked(false);
        // The text file alone, as without the PDF (the PDF's failures have a test of
        // their own).
        env.g().MailKuldoForm->PdfMelleklet->setChecked(false);
        env.cycle();  // the job in the preview, its working copy bound for the exports
        bool mailShown = false;
        bool stuck = false;
        Outcome o = runSteps(
            env, plan,
            {{"file", [](Env& e) { e.preview().FilebaNyomtatGomb->click(); }},
             {"mail", [&](Env& e) {
                  TMailKuldoForm& mail = *e.g().MailKuldoForm;
                  QTimer::singleShot(0, &mail, [&] {
                      mailShown = mail.isVisible();
                      if (mailShown) mail.MegseGomb->click();
                  });
                  e.preview().MailbeGomb->click();
                  QCoreApplication::processEvents();
              }}});
        (void)stuck;
        o.facts["mailShown"] = mailShown ? "yes" : "no";
        o.facts["file"] = fileOr(env.drive, kExport);
        o.facts["mail"] = fileOr(env.drive, kAttachment);
        // Whatever failed, nothing stays open or locked: both exports work again.
        env.dialogs.messages.clear();
        env.preview().FilebaNyomtatGomb->click();
        QTimer::singleShot(0, env.g().MailKuldoForm,
                           [&env] { env.g().MailKuldoForm->MegseGomb->click(); });
        env.preview().MailbeGomb->click();
        o.facts["again"] = env.drive.read(kExport) + "|" + env.drive.read(kAttachment) + "|" +
                           std::to_string(env.dialogs.messages.size());
        return o;
    };
    const std::string again = kPlain + "|" + kPlain + "|1";
    const QString done = QStringLiteral("A mentés megtörtént.");
    s.clean = [=](const Outcome& o) {
        Expect e;
        e.messages = {done};
        e.armed = false;
        e.jobKept = true;
        verify(e, o);
        EXPECT_EQ(o.facts.at("mailShown"), "yes");
        EXPECT_EQ(o.facts.at("file"), kPlain);
        EXPECT_EQ(o.facts.at("mail"), kPlain);
        EXPECT_EQ(o.facts.at("again"), again);
    };
    s.check = [=](const FileCall& c, const FaultPlan&, const Outcome& o) {
        Expect e;
        e.armed = false;   // the preview of a watch cycle keeps the watch off
        e.jobKept = true;  // exporting does not consume the job
        bool fileDone = true, mailDone = true;
        if (c.phase == "file" && pathHas(c.path, "eredmeny") && c.op == FileOp::Create) {
            e.messages = {QStringLiteral("C:\\norvexa\\eredmeny.txt IO hiba: 5")};
            fileDone = false;
        } else if (c.phase == "file") {
            e.errors = {textFor(c)};
            fileDone = false;
        } else if (c.phase == "mail" && pathHas(c.path, "kuldes") && c.op == FileOp::Create) {
            e.messages = {done, QStringLiteral("C:\\NORVEXA\\KULDES.TXT IO hiba: 5")};
            mailDone = false;
        } else if (c.phase == "mail") {
            e.messages = {done};
            e.errors = {textFor(c)};
            mailDone = false;
        } else {
            ADD_FAILURE() << "a call nobody expected";
        }
        verify(e, o);
        EXPECT_EQ(o.facts.at("mailShown"), mailDone ? "yes" : "no");
        if (fileDone) {
            EXPECT_EQ(o.facts.at("file"), kPlain);
        }
        if (mailDone) {
            EXPECT_EQ(o.facts.at("mail"), kPlain);
        }
        // A target that could not be created is not there; one that was created
        // holds at most the lines written before the failure.
        if (c.op == FileOp::Create) {
            EXPECT_EQ(o.facts.at(c.phase), "<none>");
        } else {
            EXPECT_EQ(kPlain.rfind(o.facts.at(c.phase), 0), 0u) << o.facts.at(c.phase);
        }
        EXPECT_EQ(o.facts.at("again"), again);
    };
    EXPECT_GT(runSweep(s), 10);
}

// The main window on its own, with the settings file of an earlier run: its
// creation loads the settings and writes the marker, its destruction saves them
// and deletes the marker.
Outcome runSettings(FaultPlan& plan) {
    TempDrive drive;
    ScriptedDialogs dialogs;
    nx::app::AppServices services(dialogs, "Norvexa");
    nx::app::GuardedDispatcher dispatcher(services);
    services.setDispatcher(&dispatcher);
    Globals g(drive.fs(), dialogs, services, dispatcher);

    nx::Settings earlier;
    earlier.normal = 12;
    earlier.leftMargin = 30;
    const auto rec = earlier.encode();
    drive.write(kConfig, std::string(rec.begin(), rec.end()));

    Outcome o;
    {
        ScopedFaultHook hook(drive.fs(), plan);
        plan.setPhase("load");
        QElapsedTimer t;
        t.start();
        auto w = std::make_unique<TNyomtat>(g);
        g.Nyomtat = w.get();
        o.stepMs.push_back(t.elapsed());
        o.facts["loaded"] = std::to_string(g.settings.normal) + "," +
                            std::to_string(g.settings.leftMargin);
        o.facts["marker"] = fileOr(drive, kMarker);
        // The user types a new size and leaves the box.
        w->BetuKiir();
        w->Edit1->setText("14");
        w->Edit1Exit(w->Edit1);
        plan.setPhase("save");
        t.restart();
        w.reset();
        g.Nyomtat = nullptr;
        o.stepMs.push_back(t.elapsed());
    }
    for (const auto& err : dialogs.errors) {
        EXPECT_EQ(err.title, "Norvexa");
        o.errors.push_back(err.text);
    }
    o.messages = dialogs.messages;
    const std::string config = fileOr(drive, kConfig);
    o.facts["config"] = config.size() == nx::Settings::kRecordSize
                            ? std::to_string(static_cast<unsigned char>(config[4])) + "," +
                                  std::to_string(static_cast<unsigned char>(config[16]))
                            : "size " + std::to_string(config.size());
    o.facts["markerAtEnd"] = drive.exists(kMarker) ? "kept" : "gone";
    return o;
}

TEST(FileFaults, SettingsLoadAndSave) {
    Sweep s;
    s.name = "settings load and save";
    s.run = runSettings;
    s.clean = [](const Outcome& o) {
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(o.facts.at("loaded"), "12,30");
        EXPECT_EQ(o.facts.at("marker"), "1.04\r\n");
        EXPECT_EQ(o.facts.at("config"), "14,30");
        EXPECT_EQ(o.facts.at("markerAtEnd"), "gone");
    };
    s.check = [](const FileCall& c, const FaultPlan&, const Outcome& o) {
        const bool onConfig = pathHas(c.path, "config.dta");
        const bool onMarker = pathHas(c.path, "norvexa.akt");
        std::vector<QString> errors = {textFor(c)};
        std::string loaded = "12,30", marker = "1.04\r\n", config = "14,30", markerAtEnd = "gone";
        if (c.phase == "load" && onConfig && c.op == FileOp::Open) {
            errors.clear();  // tried again a moment later
        } else if (c.phase == "load" && onConfig && c.op == FileOp::Read) {
            // The record could not be read: the defaults stay, and the running service
            // still writes its marker. At the end the boxes (defaults, and the
            // changed size) are saved.
            loaded = "11,0";
            config = "14,0";
        } else if (c.phase == "load" && onConfig) {
            // The close after reading: reported, the values read stay.
        } else if (c.phase == "load" && onMarker && c.op == FileOp::Create) {
            // No marker this run, so deleting it at the end finds none.
            marker = "<none>";
            errors.push_back(ioText(nx::kFileNotFound));
        } else if (c.phase == "load" && onMarker && c.op == FileOp::Write) {
            marker = "";  // created, but its line could not be written
        } else if (c.phase == "load" && onMarker) {
            // Closing the marker: reported; its line still reaches the file.
        } else if (c.phase == "save" && onConfig &&
                   (c.op == FileOp::Open || (c.op == FileOp::Write && c.index == 2))) {
            // The open, or the record's write (the second write after the marker's
            // line): the record is written in place, so the earlier one stays.
            config = "12,30";
        } else if (c.phase == "save" && onConfig) {
            // Cutting the file after the record, or closing it: reported, the record
            // is there.
        } else if (c.phase == "save" && onMarker && c.op == FileOp::Delete) {
            markerAtEnd = "kept";
        } else {
            ADD_FAILURE() << "a call nobody expected";
        }
        EXPECT_EQ(o.errors, errors);
        EXPECT_TRUE(o.messages.empty());
        EXPECT_EQ(o.facts.at("loaded"), loaded);
        EXPECT_EQ(o.facts.at("marker"), marker);
        EXPECT_EQ(o.facts.at("config"), config);
        EXPECT_EQ(o.facts.at("markerAtEnd"), markerAtEnd);
    };
    EXPECT_GT(runSweep(s), 8);
}

TEST(FileFaults, SettingsFileThatNeverOpensIsReportedWithinItsBound) {
    FaultPlan plan([](const std::string& path) { return pathHas(path, "config.dta"); });
    plan.failAt(FileOp::Open, 1, nx::kSharingViolation, 1000000);
    const Outcome o = runSettings(plan);
    ASSERT_EQ(o.stepMs.size(), 2u);
    EXPECT_GE(o.stepMs[0], 500);  // tried again for a while
    EXPECT_LT(o.stepMs[0], kHandlerBoundMs);
    // Loading gives up and goes on with the defaults; saving finds the file still
    // held, reports it and leaves it as it was.
    EXPECT_EQ(o.errors, (std::vector<QString>{ioText(nx::kSharingViolation),
                                              ioText(nx::kSharingViolation)}));
    EXPECT_EQ(o.facts.at("loaded"), "11,0");  // the defaults
    EXPECT_EQ(o.facts.at("marker"), "1.04\r\n");
    EXPECT_EQ(o.facts.at("config"), "12,30");
}

// The mail window as the mail export of a previewed job shows it: its activation
// loads the sender data, the user changes the name, "Mégse" closes it and stores
// the data.
Outcome runMailWindow(FaultPlan& plan, const std::string* senderFile) {
    Env env;
    if (senderFile) env.drive.write(kSender, *senderFile);
    // The text file alone: this sweep is about the own data.
    env.g().MailKuldoForm->PdfMelleklet->setChecked(false);
    env.main().show();
    env.drive.write(kHostJob, kJob);
    env.main().AzonnalNyomtat->setChecked(false);
    env.cycle();
    EXPECT_TRUE(env.preview().isVisible());
    QCoreApplication::processEvents();
    env.dialogs.messages.clear();

    TMailKuldoForm& w = *env.g().MailKuldoForm;
    Outcome o;
    bool stuck = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &w, [&] {
        stuck = true;
        w.hide();
    });
    {
        ScopedFaultHook hook(env.g().fs, plan);
        plan.setPhase("activate");
        QElapsedTimer t;
        t.start();
        QTimer::singleShot(0, &w, [&] {
            if (!w.isVisible()) return;
            o.stepMs.push_back(t.elapsed());
            o.facts["boxes"] = w.ESajatMailCim->text().toStdString() + "|" +
                               w.ESajatNev->text().toStdString();
            o.facts["sender"] = fileOr(env.drive, kSender);
            w.ESajatNev->setText(QStringLiteral("Új Név"));
            plan.setPhase("close");
            t.restart();
            w.MegseGomb->click();
        });
        guard.start(static_cast<int>(kHandlerBoundMs));
        env.preview().MailbeGomb->click();
        o.stepMs.push_back(t.elapsed());
        plan.setPhase("after");
        QTest::qWait(50);  // let focus changes after the modal showing arrive
    }
    EXPECT_FALSE(stuck) << "the mail window did not close";
    EXPECT_FALSE(w.isVisible());
    for (const auto& err : env.dialogs.errors) o.errors.push_back(err.text);
    o.messages = env.dialogs.messages;
    o.facts["stored"] = fileOr(env.drive, kSender);
    return o;
}

TEST(FileFaults, MailWindowOwnDataLoadAndStore) {
    const std::string earlier = "kiss.anna@example.hu\r\nKiss Anna\r\n";
    const std::string edited = nx::qt::toCp1250(QStringLiteral("Új Név"));
    int injected = 0;

    Sweep s;
    s.name = "mail window own data (file present)";
    s.filter = [](const std::string& path) { return pathHas(path, "sajattxt"); };
    s.run = [&](FaultPlan& plan) { return runMailWindow(plan, &earlier); };
    s.clean = [&](const Outcome& o) {
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(o.facts.at("boxes"), "kiss.anna@example.hu|Kiss Anna");
        EXPECT_EQ(o.facts.at("stored"), "kiss.anna@example.hu\r\n" + edited + "\r\n");
    };
    s.check = [&](const FileCall& c, const FaultPlan& counted, const Outcome& o) {
        std::vector<QString> errors = {textFor(c)};
        std::string boxes = "kiss.anna@example.hu|Kiss Anna";
        std::string stored = "kiss.anna@example.hu\r\n" + edited + "\r\n";
        const int secondRead = counted.call(FileOp::Read, 2) ? counted.call(FileOp::Read, 2)->seq : -1;
        if (c.phase == "activate" && c.op == FileOp::Open) {
            // A file that cannot be read is written anew from the emptied boxes.
            errors.clear();
            boxes = "|";
            stored = "\r\n" + edited + "\r\n";
            EXPECT_EQ(o.facts.at("sender"), "\r\n\r\n");
        } else if (c.phase == "activate" && c.op == FileOp::Read) {
            // The load stops there; the boxes keep what was read before it.
            boxes = c.seq < secondRead ? "|" : "kiss.anna@example.hu|";
            stored = (c.seq < secondRead ? "" : "kiss.anna@example.hu") + std::string("\r\n") +
                     edited + "\r\n";
        } else if (c.phase == "activate" && c.op == FileOp::Close) {
            // Reported after both lines were read.
        } else if (c.phase == "close" && c.op == FileOp::Create) {
            stored = earlier;  // the window still closes, the file as it was
        } else if (c.phase == "close" && c.op == FileOp::Write) {
            // Created anew: what was written before the failure is all it holds.
            stored = c.index == 1 ? "" : "kiss.anna@example.hu\r\n";
        } else if (c.phase == "close" && c.op == FileOp::Close) {
            // Reported; the two lines still reach the file.
        } else {
            ADD_FAILURE() << "a call nobody expected";
        }
        EXPECT_EQ(o.errors, errors);
        EXPECT_TRUE(o.messages.empty());
        EXPECT_EQ(o.facts.at("boxes"), boxes);
        EXPECT_EQ(o.facts.at("stored"), stored);
    };
    injected += runSweep(s);

    Sweep first;
    first.name = "mail window own data (first use)";
    first.filter = s.filter;
    first.run = [&](FaultPlan& plan) { return runMailWindow(plan, nullptr); };
    first.clean = [&](const Outcome& o) {
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(o.facts.at("boxes"), "|");
        EXPECT_EQ(o.facts.at("sender"), "\r\n\r\n");
        EXPECT_EQ(o.facts.at("stored"), "\r\n" + edited + "\r\n");
    };
    first.check = [&](const FileCall& c, const FaultPlan&, const Outcome& o) {
        // The missing file's open fails with or without a fault, and the activation
        // writes the file from the emptied boxes; closing the window stores them again.
        std::vector<QString> errors = {textFor(c)};
        std::string stored = "\r\n" + edited + "\r\n";
        if (c.phase == "activate" && c.op == FileOp::Open) {
            errors.clear();
        } else if (c.phase == "activate") {
            // Writing the new file failed: reported; closing stores the boxes.
        } else if (c.op == FileOp::Create) {
            stored = "\r\n\r\n";  // as the activation wrote it
        } else if (c.op == FileOp::Write) {
            stored = c.index == 3 ? "" : "\r\n";  // what was written before the failure
        } else if (c.op != FileOp::Close) {
            ADD_FAILURE() << "a call nobody expected";
        }
        EXPECT_EQ(o.errors, errors);
        EXPECT_TRUE(o.messages.empty());
        EXPECT_EQ(o.facts.at("boxes"), "|");
        EXPECT_EQ(o.facts.at("stored"), stored);
    };
    injected += runSweep(first);
    EXPECT_GT(injected, 10);
}

}  // namespace
