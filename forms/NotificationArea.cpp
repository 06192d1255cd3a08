#include "forms/NotificationArea.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

QString u8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A sheet with lines of print on it, drawn here so that no image file is needed.
QIcon sheetIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(6, 2, 20, 27);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    for (int y = 8; y <= 24; y += 4) p.drawLine(9, y, y == 24 ? 17 : 23, y);
    return QIcon(pixmap);
}

}  // namespace

NotificationArea::NotificationArea(Actions actions, QObject* parent)
    : QObject(parent), actions_(std::move(actions)), menu_(std::make_unique<QMenu>()) {
    auto add = [this](const QString& text, const std::function<void()>& action) {
        connect(menu_->addAction(text), &QAction::triggered, this, [action] {
            if (action) action();
        });
    };
    add(QStringLiteral("Megnyitás"), actions_.open);
    add(QStringLiteral("Előzmények"), actions_.history);
    menu_->addSeparator();
    add(QStringLiteral("Kilépés"), actions_.quit);

    icon_ = std::make_unique<QSystemTrayIcon>(sheetIcon());
    icon_->setContextMenu(menu_.get());
    setPrinter({});
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if ((why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) && actions_.open) actions_.open();
    });
    icon_->show();
}

NotificationArea::~NotificationArea() { icon_->hide(); }

bool NotificationArea::available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void NotificationArea::setPrinter(const QString& printer) {
    if (printer == printer_ && !icon_->toolTip().isEmpty()) return;
    printer_ = printer;
    QString tip = QStringLiteral("Norvexa: figyel");
    if (!printer.isEmpty()) tip += QLatin1Char('\n') + printer;
    icon_->setToolTip(tip);
}

void NotificationArea::jobDone(const nx::HistoryEntry& entry) {
    const std::string& source = entry.source;
    const std::size_t slash = source.find_last_of("\\/");
    const QString name = u8(slash == std::string::npos ? source : source.substr(slash + 1));
    const bool failed = entry.result == nx::HistoryEntry::Result::Failed;
    last_ = failed ? name + QStringLiteral(": ") + u8(entry.message)
                   : QStringLiteral("%1: %2 oldal, %3").arg(name).arg(entry.pages).arg(u8(entry.printer));
    ++raised_;
    icon_->showMessage(QStringLiteral("Norvexa"), last_,
                       failed ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, 8000);
}
