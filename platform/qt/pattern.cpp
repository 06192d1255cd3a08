#include "platform/qt/pattern.h"

#include <QRegularExpression>
#include <QString>
#include <QtGlobal>

namespace nx::qt {

namespace {

// Set while a match runs: Qt warns when the engine stops a match at its limit.
thread_local bool* stoppedFlag = nullptr;
QtMessageHandler previousHandler = nullptr;

void noteStop(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (stoppedFlag && message.contains(QLatin1String("QRegularExpression"))) {
        *stoppedFlag = true;
        return;
    }
    if (previousHandler) previousHandler(type, context, message);
}

class QtMatcher final : public LineMatcher {
public:
    explicit QtMatcher(QRegularExpression re) : re_(std::move(re)) {}
    std::optional<std::string> firstMatch(std::string_view line) override {
        if (gaveUp_) return std::nullopt;
        bool stopped = false;
        stoppedFlag = &stopped;
        previousHandler = qInstallMessageHandler(noteStop);
        const QRegularExpressionMatch m =
            re_.match(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        qInstallMessageHandler(previousHandler);
        stoppedFlag = nullptr;
        if (stopped) {
            gaveUp_ = true;
            return std::nullopt;
        }
        if (!m.hasMatch()) return std::nullopt;
        return (re_.captureCount() >= 1 ? m.captured(1) : m.captured(0)).toStdString();
    }
    bool gaveUp() const override { return gaveUp_; }

private:
    QRegularExpression re_;
    bool gaveUp_ = false;
};

}  // namespace

std::unique_ptr<LineMatcher> compilePattern(const std::string& pattern, std::string& why) {
    QRegularExpression re(QString::fromStdString(pattern), QRegularExpression::UseUnicodePropertiesOption);
    if (!re.isValid()) {
        why = re.errorString().toStdString() + " (" + std::to_string(re.patternErrorOffset()) + ". karakter)";
        return nullptr;
    }
    re.optimize();
    return std::make_unique<QtMatcher>(std::move(re));
}

}  // namespace nx::qt
