// The "Előzmények" window: the jobs the service took, newest first, each printed
// again ("Újranyomtatás", whole or the pages named) or opened in the preview.
#pragma once

#include <QDialog>
#include <vector>

#include "forms/Globals.h"
#include "intake/history.h"

class QPushButton;
class QTreeWidget;

class TElozmenyek : public QDialog {
public:
    TElozmenyek(Globals& g, QWidget* parent);

    QTreeWidget* Lista;
    QPushButton* Ujranyomtatas;
    QPushButton* Elonezet;
    QPushButton* Bezaras;

    // Reads the history again and lists it, the selection kept on the same job.
    void refresh();

    void UjranyomtatasClick(QObject* sender);
    void ElonezetClick(QObject* sender);

private:
    // The selected job; null when none is selected (told to the user).
    const nx::HistoryEntry* selected();

    Globals& g_;
    std::vector<nx::HistoryEntry> entries_;  // newest first, as listed
};

// Adds the entry to the history: a history that cannot be written is told once
// (the job itself went on), the open "Előzmények" window shows it, and the
// notification area says what became of it.
void recordJob(Globals& g, nx::HistoryEntry entry);
