#include "platform/qt/raw_print.h"

#include <QFile>
#include <QPrinterInfo>
#include <QProcess>

#if defined(Q_OS_WIN)
#include <windows.h>
#include <winspool.h>
#endif

namespace nx::qt {

namespace {

constexpr int kSubmitTimeoutMs = 60000;

}  // namespace

bool printerExists(const QString& name) {
    return !name.isEmpty() && QPrinterInfo::availablePrinterNames().contains(name);
}

#if defined(Q_OS_WIN)

QString sendRaw(const QString& name, const QString& hostPath, const QString& title) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) return hostPath + QStringLiteral(": ") + file.errorString();
    std::wstring printerName = name.toStdWString();
    HANDLE printer = nullptr;
    if (!OpenPrinterW(printerName.data(), &printer, nullptr))
        return QStringLiteral("%1: the printer cannot be opened (%2)").arg(name).arg(GetLastError());
    std::wstring docName = title.toStdWString();
    std::wstring dataType = L"RAW";
    DOC_INFO_1W info{docName.data(), nullptr, dataType.data()};
    QString why;
    if (StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info)) == 0) {
        why = QStringLiteral("%1: the job cannot be begun (%2)").arg(name).arg(GetLastError());
    } else {
        // The whole job, then the spooler prints it; a failure half-way abandons it.
        while (why.isEmpty() && !file.atEnd()) {
            const QByteArray block = file.read(64 * 1024);
            DWORD written = 0;
            if (block.isEmpty() && file.error() != QFileDevice::NoError) {
                why = hostPath + QStringLiteral(": ") + file.errorString();
            } else if (!block.isEmpty() &&
                       (!WritePrinter(printer, const_cast<char*>(block.constData()),
                                      static_cast<DWORD>(block.size()), &written) ||
                        written != static_cast<DWORD>(block.size()))) {
                why = QStringLiteral("%1: the job cannot be written (%2)").arg(name).arg(GetLastError());
            }
        }
        if (!why.isEmpty()) {
            AbortPrinter(printer);
        } else if (!EndDocPrinter(printer)) {
            why = QStringLiteral("%1: the job cannot be ended (%2)").arg(name).arg(GetLastError());
        }
    }
    ClosePrinter(printer);
    return why;
}

#else

QString sendRaw(const QString& name, const QString& hostPath, const QString& title) {
    if (!QFile::exists(hostPath)) return hostPath + QStringLiteral(": the file is gone");
    QProcess lp;
    lp.setProcessChannelMode(QProcess::MergedChannels);
    lp.start(QStringLiteral("lp"), {QStringLiteral("-d"), name, QStringLiteral("-t"), title, QStringLiteral("-o"),
                                    QStringLiteral("raw"), QStringLiteral("--"), hostPath});
    if (!lp.waitForStarted(kSubmitTimeoutMs)) return QStringLiteral("lp cannot be started (package cups-client)");
    if (!lp.waitForFinished(kSubmitTimeoutMs)) {
        lp.kill();
        lp.waitForFinished(1000);
        return QStringLiteral("%1: the scheduler did not take the job in time").arg(name);
    }
    if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0)
        return QStringLiteral("%1: %2").arg(name, QString::fromLocal8Bit(lp.readAll()).trimmed());
    return {};
}

#endif

}  // namespace nx::qt
