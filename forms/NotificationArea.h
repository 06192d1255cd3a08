// The service in the desktop's notification area: its icon with the state as the
// tip, a menu ("Megnyitás", "Előzmények", "Kilépés") and a notification for each job
// printed or failed. Made only where the desktop has a notification area.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "intake/history.h"

class QMenu;
class QSystemTrayIcon;

class NotificationArea : public QObject {
public:
    struct Actions {
        std::function<void()> open;     // "Megnyitás": the main window
        std::function<void()> history;  // "Előzmények"
        std::function<void()> quit;     // "Kilépés": as "Program befejezése"
    };

    explicit NotificationArea(Actions actions, QObject* parent = nullptr);
    ~NotificationArea() override;

    // Whether the desktop has a notification area now.
    static bool available();

    // The tip: "Norvexa: figyel" and the printer's name.
    void setPrinter(const QString& printer);
    // A notification of a job printed ("SZAMLA.PRN: 3 oldal, HP_LaserJet") or failed
    // (its message).
    void jobDone(const nx::HistoryEntry& entry);

    QSystemTrayIcon* icon() const { return icon_.get(); }
    QMenu* menu() const { return menu_.get(); }
    // The text of the last notification, and how many were raised.
    const QString& lastMessage() const { return last_; }
    int raised() const { return raised_; }

private:
    Actions actions_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QString printer_;
    QString last_;
    int raised_ = 0;
};
