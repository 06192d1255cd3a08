// The preview window TNyomt: one page of a converted job at a time inside a scroll
// box, paging, printing, and the two plain-text exports (to a file, to the mail
// attachment file). Handlers orchestrate; the page drawing, the line copy and the
// printer output live in render/.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>
#include <string_view>

#include <memory>

#include "formats/open.h"
#include "forms/Globals.h"

class QCheckBox;
class QLabel;
class QPrintDialog;
class QProgressBar;
class QPushButton;
class QScrollArea;

// The preview image: a QImage that the window draws into and the widget shows as it is.
class TNyomtKep final : public QWidget {
public:
    explicit TNyomtKep(QWidget* parent = nullptr);

    QImage picture;

    // Gives the picture a new size (filled with `fill`) unless it already has it.
    void setPictureSize(QSize size, QColor fill);
    QSize sizeHint() const override { return picture.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TNyomt : public QWidget {
public:
    explicit TNyomt(Globals& g);
    ~TNyomt() override;

    // Controls, in declaration order.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;             // the page label
    QPushButton* Kinyomtat = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* ElsoOldal = nullptr;
    QPushButton* ElozoOldal = nullptr;
    QPushButton* KovetkezoOldal = nullptr;
    QPushButton* UtolsoOldal = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TNyomtKep* NyomtLista = nullptr;      // the preview image, at 8, 8 inside ScrollBox1
    QPrintDialog* PrinterSetupDialog1 = nullptr;  // never opened
    QPushButton* FilebaNyomtatGomb = nullptr;
    QCheckBox* EgyOldal = nullptr;        // "Kinyomtat" prints only the page shown
    QPushButton* MailbeGomb = nullptr;
    QPushButton* ReszletNyomt = nullptr;  // prints the pages the user names
    QPushButton* PdfMentes = nullptr;     // saves the whole job as a PDF

    // Methods, in declaration order.
    // Draws page pageNumber() of `fileName` into NyomtLista and binds the preview text
    // file to it; the progress bar ends at 100 of 100 and Kinyomtat gets the focus.
    void TextMegnez(QObject* sender, const std::string& fileName);
    void ElsoOldalClick(QObject* sender);
    void ElsoOldalKeyPress(QObject* sender, char& key);
    void ElozoOldalClick(QObject* sender);
    void KovetkezoOldalClick(QObject* sender);
    void UtolsoOldalClick(QObject* sender);
    // Run by the application's activation tracker when the window is shown and when
    // it becomes active after another of the program's non-modal windows.
    void FormActivate(QObject* sender);
    void FormClose(QObject* sender);
    void FormKeyPress(QObject* sender, char& key);
    void FormResize(QObject* sender);
    void KinyomtatKeyPress(QObject* sender, char& key);
    void FormCreate(QObject* sender);
    void FilebaNyomtatGombClick(QObject* sender);
    void MailbeGombClick(QObject* sender);
    void KinyomtatClick(QObject* sender);
    void ReszletNyomtClick(QObject* sender);
    void PdfMentesClick(QObject* sender);

    // Shows a job: the window non-modally, Label1 "Nyomtatási kép", page 1, then the
    // render. The file is opened as `origin` says (a converted print stream of the
    // seven paths, or a watched folder's job), and every output reads it so.
    // Closing the window tells the watch cycle, which releases a job it handed over.
    void openJob(const std::string& printStreamPath, const nx::JobOrigin& origin = {});

    // The 1-based page the window shows.
    int pageNumber() const { return pageNumber_; }

    // The file the window shows and works on (navigation, last page, print).
    const std::string& shownFile() const { return shownFile_; }

    // The pages the printer output makes of the shown job.
    int pageCount();
    // The same for the job history, which goes on without: 0 where they cannot be
    // counted.
    int countedPages();

    // The window's size at creation on a screen of `screen` pixels.
    static QSize creationSize(QSize screen);
    // "Ez a <n>. oldal".
    static QString pageLabelText(int page);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The construction, step by step.
    void createControls();
    void fitCaptions();     // captions grow where a wider face stands in for the font
    void setTabPath();      // the Tab key's path through the window
    void watchEscape();     // Esc is taken per control (see eventFilter)
    void connectHandlers();

    void setPageLabel();
    void prepareImage();
    // What the job's drawing reads of the program: sizes, margins, the main
    // window's check boxes.
    nx::PrintSettings printSettings();
    // The job at `path` becomes the shown one.
    void setDocument(const std::string& path, const nx::JobOrigin& origin);
    // The shown job (before any, the file shown so far as a job of the seven paths).
    nx::Document& shown();
    // The shown job into a PDF at the DOS or host path `path`; with `report`, a failure
    // is shown as "<shownPath> IO hiba: <code>". True when written.
    bool writePdf(const std::string& path, const QString& shownPath, bool report);
    QColor windowColour() const;
    int screenDpiY() const;
    void run(void (TNyomt::*handler)(QObject*), QObject* sender);

    Globals& g_;
    // The shown job's text export into `target` (created, open).
    void exportText(nx::TextFile& target);

    std::string shownFile_;
    std::unique_ptr<nx::Document> shown_;  // the shown job, opened from shownFile_
    nx::JobRoute route_;                   // where "Kinyomtat" sends it
    int pageNumber_ = 1;
};
