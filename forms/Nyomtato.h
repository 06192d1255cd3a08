// The main window: the service's control panel, the watch timer and its cycle,
// and the printer output of a print-stream file.
#pragma once

#include <QWidget>
#include <chrono>
#include <set>
#include <memory>
#include <string>
#include <string_view>

#include "forms/Globals.h"
#include "forms/MainPanel.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TElozmenyek;

class TNyomtat : public QWidget, public MainPanel {
    Q_OBJECT
public:
    explicit TNyomtat(Globals& g);
    ~TNyomtat() override;

    // Controls, in the order of the window's layout.
    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QPushButton* NyomtSetup;
    QLabel* StaticText1;
    QLineEdit* MaskEdit1;  // left margin
    QLineEdit* MaskEdit2;  // top margin
    QLabel* Label2;
    QLineEdit* Edit1;      // normal size
    QLabel* Label3;
    QLineEdit* Edit2;      // elite size
    QLabel* Label4;
    QLineEdit* Edit3;      // condensed size
    QLabel* Label5;
    QLineEdit* Edit4;      // double size
    QCheckBox* NyomtA3;
    QCheckBox* ValtozoSormagassag;
    QCheckBox* AzonnalNyomtat;
    QPushButton* LegutobbiNyGomb;
    QPushButton* KilepesGomb;
    QLabel* StaticText2;
    QTimer* Timer1;        // the watch timer, used as a one-shot
    // Beyond the window's design: opens "Figyelt mappák", beside "Azonnal nyomtat".
    QPushButton* MappakGomb;
    // Beyond the window's design: opens "Előzmények", beside the version line.
    QPushButton* ElozmenyekGomb;

    // Event handlers (each runs through the dispatcher).
    void FormCreate(QObject* sender);
    void FormActivate(QObject* sender);
    void FormDestroy(QObject* sender);
    void NyomtSetupClick(QObject* sender);
    void KilepesGombClick(QObject* sender);
    void LegutobbiNyGombClick(QObject* sender);
    void MappakGombClick(QObject* sender);
    void ElozmenyekGombClick(QObject* sender);
    void MaskEdit1Exit(QObject* sender);
    void MaskEdit2Exit(QObject* sender);
    void Edit1Exit(QObject* sender);
    void Edit2Exit(QObject* sender);
    void Edit3Exit(QObject* sender);
    void Edit4Exit(QObject* sender);
    void MaskEdit1KeyPress(QObject* sender, char& key);
    void MaskEdit2KeyPress(QObject* sender, char& key);
    void Edit1KeyPress(QObject* sender, char& key);  // shared by Edit1 to Edit4
    void Figyeles(QObject* sender);                  // the watch cycle

    // Fills the six boxes and the check box from the settings record.
    void BetuKiir();
    // Prints the job as one print job on the current printer, or where `route`
    // sends it, and returns the printer and pages; an input/output error aborts the job
    // and reaches the caller.
    nx::Printed Kikuldes(nx::Document& job, const std::set<int>* pages = nullptr,
                  const nx::JobRoute& route = {}) override;
    // Interval 3000 ms, enabled; a timer already running goes on unchanged.
    void armWatch() override;
    // The status label, repainted at once.
    void setStatus(const QString& text) override;
    bool variableLineHeight() const override;
    QWidget* panelWidget() override { return this; }

    bool firstActivationDone() const { return firstActivation_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The construction, step by step.
    void createControls();
    void fitCaptions();     // captions grow where a wider face stands in for the font
    void setTabPath();      // the Tab key's path through the window
    void createWatchTimer();
    void connectHandlers();

    // The job the cycle took, opened as its origin says.
    std::unique_ptr<nx::Document> takenJob(const nx::JobCycle::Decision& next);
    // The cycle's job printed, its route's printer or the service's; kept in the
    // history with what became of it.
    void printTaken(const nx::JobCycle::Decision& next);
    // Takes the job the cycle found and prints, shows or saves it: Another when a
    // folder's job was done with and the burst goes on, Done when the cycle ends
    // here, Stop when it ended already (the preview shows the job, or the program
    // ends).
    enum class Taken { Another, Done, Stop };
    Taken takeOne();
    // The watch again at once: the rest of a burst.
    void armSoon();
    bool burstLook_ = false;
    // How long one cycle takes jobs of a burst before the window is served again.
    std::chrono::milliseconds burstSlice_{1000};

public:
    // A cycle that drives the watch itself (a soak) takes one job a cycle with 0.
    void setBurstSlice(std::chrono::milliseconds slice) { burstSlice_ = slice; }

private:
    // Prints and saves a folder's job as its route says (formats/delivery.h).
    nx::Delivery deliverFolderJob(nx::Document& job, const std::string& jobPath, const nx::WatchedFolder& folder,
                                  std::int64_t takenAt);
    std::set<std::string> toldOnce_;
    // Why a folder's background cannot be drawn (UTF-8), empty when it can or there
    // is none.
    std::string backgroundProblem(const std::optional<nx::WatchedFolder>& folder);
    std::unique_ptr<TElozmenyek> historyWindow_;
    void boxExit(QObject* box);
    void boxKeyPress(QObject* box, char key);
    Globals& g_;
    bool firstActivation_ = false;
    bool placed_ = false;
};
