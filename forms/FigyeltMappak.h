// The "Figyelt mappák" window: the watched folders of other DOS programs, their
// printer family, code page and print or preview choice, and each one's route: its
// printer, paper (a name or a size of its own), offset, raw sending and the
// background drawn under its pages, tried with a calibration page. It edits a copy of the
// list; OK checks every folder and writes "c:\norvexa\mappak.ini" whole (the watch
// takes it at its next cycle), Mégse leaves everything as it was. The rules of the
// file live in intake/folders.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "forms/Globals.h"
#include "intake/folders.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

class TFigyeltMappak final : public QDialog {
public:
    TFigyeltMappak(Globals& g, QWidget* parent);

    // Controls, in the window's order.
    QLabel* LabelLista;
    QListWidget* Lista;
    QPushButton* Hozzaadas;
    QPushButton* Modositas;
    QPushButton* Torles;
    QLabel* LabelMappa;
    QLineEdit* Utvonal;
    QPushButton* Tallozas;
    QLabel* LabelTipus;
    QComboBox* Tipus;   // 24 pins, 9 pins
    QLabel* LabelKodlap;
    QComboBox* Kodlap;  // 437, 850, 852
    QRadioButton* Nyomtatas;
    QRadioButton* Elonezet;
    QLabel* LabelNyomtato;
    QComboBox* Nyomtato;     // "(a szolgáltatás nyomtatója)", then the system's printers
    QLabel* LabelPapir;
    QComboBox* Papir;        // A4, A5, Letter, Legal, Egyéni
    QLabel* LabelJobbra;
    QLineEdit* Jobbra;       // the offset right, in millimetres
    QLabel* LabelLefele;
    QLineEdit* Lefele;       // the offset down, in millimetres
    QCheckBox* Nyers;        // the job's bytes to the printer unchanged
    QPushButton* Probaoldal; // a calibration page through the route
    QLabel* LabelSzelesseg;
    QLineEdit* Szelesseg;    // "Egyéni" paper's width, in millimetres
    QLabel* LabelMagassag;
    QLineEdit* Magassag;     // and its height
    QLabel* LabelHatter;
    QLineEdit* Hatter;       // background files, parted by "|"
    QPushButton* HatterTallozas;
    QRadioButton* PdfMentes;  // muvelet=pdf: saved, not printed
    QLabel* LabelPdfMappa;
    QLineEdit* PdfMappa;      // where the PDF files go (printed and saved when not PdfMentes)
    QPushButton* PdfTallozas;
    QLabel* LabelFajlnev;
    QLineEdit* Fajlnev;       // the files' name template
    QLabel* LabelElvalaszto;
    QLineEdit* Elvalaszto;    // the pattern a batch is split at
    QCheckBox* Pdfa;          // PDF/A-1b
    QPushButton* OkGomb;
    QPushButton* MegseGomb;

    // The list as the window holds it (not yet written).
    const std::vector<nx::WatchedFolder>& folders() const { return folders_; }

    void HozzaadasClick();
    void ModositasClick();
    void TorlesClick();
    void TallozasClick();
    void HatterTallozasClick();
    void PdfTallozasClick();
    void ListaChange();
    void ProbaoldalClick();
    void OkGombClick();

private:
    enum class Kind;
    struct Control;
    // The controls, one line each: their kind, caption, place and member.
    std::vector<Control> controlList();
    void createControls();
    void fillControls();
    void connectControls();
    // A folder chosen by the chooser, the DOS way when it is on drive C.
    QString chosenFolder(QString start, const QString& caption);
    void fill();
    // The folder as the fields show it, its other keys as `base` has them.
    nx::WatchedFolder edited(const nx::WatchedFolder& base = {}) const;
    // Whether the offset boxes hold what a folder may have; tells the user when not.
    bool offsetValid();
    // The same for the "Egyéni" paper's size, and for the background with the route.
    bool paperValid();
    bool backgroundValid();
    // The PDF saving: a directory where it is asked for, a name template and a
    // splitting pattern that compile, and no raw route beside it.
    bool pdfValid();
    void showFolder(const nx::WatchedFolder& folder);
    void message(const QString& text);
    void run(void (TFigyeltMappak::*handler)());

    Globals& g_;
    std::vector<nx::WatchedFolder> folders_;
};
