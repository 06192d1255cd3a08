#include "forms/FigyeltMappak.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPrinterInfo>
#include <algorithm>
#include <functional>
#include <vector>
#include <tuple>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "formats/open.h"
#include "forms/MainPanel.h"
#include "forms/WindowKit.h"
#include "intake/paths.h"
#include "formats/saved_pdf.h"
#include "platform/qt/background.h"
#include "platform/qt/pattern.h"
#include "render/calibration_page.h"

namespace {

const int kPins[] = {24, 9};
// The paper list's last entry: a size of the folder's own.
const QString kCustomPaper = QStringLiteral("Egyéni");
const int kCodePages[] = {437, 850, 852};

QString u8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

TFigyeltMappak::TFigyeltMappak(Globals& g, QWidget* parent) : QDialog(parent), g_(g) {
    setWindowTitle(QStringLiteral("Figyelt mappák"));
    nx::qt::styleWindow(*this, true);
    setFixedSize(420, 516);
    createControls();
    // The syntax of the file is checked here; a folder that cannot be reached now
    // stays in the list, and OK refuses it.
    const nx::FolderList list = nx::loadFolders(g_.fs, false);
    folders_ = list.folders;
    fill();
    if (!list.problems.empty()) {
        QString text = QStringLiteral("Ezek a bejegyzések hibásak, mentéskor kimaradnak:");
        for (const std::string& p : list.problems) text += QLatin1Char('\n') + u8(p);
        message(text);
    }
    if (!folders_.empty()) Lista->setCurrentRow(0);
}

enum class TFigyeltMappak::Kind { Line, Combo, List, Radio, Check, Button };

// One control of the window: what it is, its caption (with its access key), where
// it stands, and the member that keeps it. A line's, combo's or list's caption is a
// label 16 points above it (its buddy) of `labelWidth`, kept in `label`.
struct TFigyeltMappak::Control {
    Kind kind;
    QString caption;
    QRect place;
    std::function<void(QWidget*)> keep;
    std::function<void(QWidget*)> label = {};
    int labelWidth = 0;
};

namespace {

template <class W>
std::function<void(QWidget*)> into(W*& member) {
    return [&member](QWidget* w) { member = static_cast<W*>(w); };
}

}  // namespace

std::vector<TFigyeltMappak::Control> TFigyeltMappak::controlList() {
    // In the order of the Tab key's path: a new key is one line here.
    return {
        {Kind::List, QStringLiteral("&Figyelt mappák:"), {8, 24, 404, 116}, into(Lista), into(LabelLista), 200},
        {Kind::Button, QStringLiteral("&Hozzáadás"), {8, 146, 95, 25}, into(Hozzaadas)},
        {Kind::Button, QStringLiteral("Mó&dosítás"), {111, 146, 95, 25}, into(Modositas)},
        {Kind::Button, QStringLiteral("&Törlés"), {214, 146, 95, 25}, into(Torles)},
        {Kind::Line, QStringLiteral("&Mappa (C:\\... vagy teljes útvonal):"), {8, 200, 310, 21}, into(Utvonal), into(LabelMappa), 300},
        {Kind::Button, QStringLiteral("T&allózás..."), {326, 198, 86, 25}, into(Tallozas)},
        {Kind::Combo, QStringLiteral("Nyomtató tí&pusa:"), {8, 248, 150, 21}, into(Tipus), into(LabelTipus), 150},
        {Kind::Combo, QStringLiteral("&Kódlap:"), {170, 248, 80, 21}, into(Kodlap), into(LabelKodlap), 80},
        {Kind::Radio, QStringLiteral("Nyomtatás a&zonnal"), {262, 236, 150, 17}, into(Nyomtatas)},
        {Kind::Radio, QStringLiteral("&Előnézet"), {262, 256, 150, 17}, into(Elonezet)},
        {Kind::Radio, QStringLiteral("PDF ment&ése"), {262, 276, 150, 17}, into(PdfMentes)},
        {Kind::Combo, QStringLiteral("&Nyomtató:"), {8, 316, 242, 21}, into(Nyomtato), into(LabelNyomtato), 200},
        {Kind::Combo, QStringLiteral("Papí&r:"), {262, 316, 80, 21}, into(Papir), into(LabelPapir), 80},
        {Kind::Line, QStringLiteral("Eltolás &jobbra (mm):"), {8, 362, 70, 21}, into(Jobbra), into(LabelJobbra), 150},
        {Kind::Line, QStringLiteral("&lefelé (mm):"), {170, 362, 70, 21}, into(Lefele), into(LabelLefele), 80},
        {Kind::Button, QStringLiteral("Pró&baoldal"), {262, 360, 95, 25}, into(Probaoldal)},
        {Kind::Check, QStringLiteral("N&yers küldés (mátrixnyomtatónak)"), {8, 390, 250, 17}, into(Nyers)},
        {Kind::Line, QStringLiteral("Egyén&i papír szélessége (mm):"), {8, 430, 70, 21}, into(Szelesseg), into(LabelSzelesseg), 160},
        {Kind::Line, QStringLiteral("ma&gassága (mm):"), {170, 430, 70, 21}, into(Magassag), into(LabelMagassag), 100},
        {Kind::Line, QStringLiteral("Háttér (kép &vagy PDF; több fájl | jellel):"), {8, 474, 310, 21}, into(Hatter), into(LabelHatter), 310},
        {Kind::Button, QStringLiteral("Tallózá&s..."), {326, 472, 86, 25}, into(HatterTallozas)},
        {Kind::Line, QStringLiteral("&Célmappa a PDF-eknek (C:\\... vagy teljes útvonal):"), {8, 518, 310, 21}, into(PdfMappa), into(LabelPdfMappa), 310},
        {Kind::Button, QStringLiteral("Tallóz&ás..."), {326, 516, 86, 25}, into(PdfTallozas)},
        {Kind::Line, QStringLiteral("Fájlnév-sabl&on:"), {8, 562, 200, 21}, into(Fajlnev), into(LabelFajlnev), 200},
        {Kind::Line, QStringLiteral("Elválasztó minta (rege&x):"), {216, 562, 196, 21}, into(Elvalaszto), into(LabelElvalaszto), 196},
        {Kind::Check, QStringLiteral("PDF/A-&1b (archív)"), {8, 592, 200, 17}, into(Pdfa)},
        {Kind::Button, QStringLiteral("OK"), {254, 590, 75, 25}, into(OkGomb)},
        {Kind::Button, QStringLiteral("Mégse"), {337, 590, 75, 25}, into(MegseGomb)},
    };
}

void TFigyeltMappak::createControls() {
    for (const Control& c : controlList()) {
        QWidget* w = nullptr;
        switch (c.kind) {
            case Kind::Line: w = new QLineEdit(this); break;
            case Kind::Combo: w = new QComboBox(this); break;
            case Kind::List: w = new QListWidget(this); break;
            case Kind::Radio: w = new QRadioButton(c.caption, this); break;
            case Kind::Check: w = new QCheckBox(c.caption, this); break;
            case Kind::Button: {
                auto* b = new QPushButton(c.caption, this);
                b->setAutoDefault(false);
                w = b;
                break;
            }
        }
        w->setGeometry(c.place);
        if (c.kind == Kind::Radio || c.kind == Kind::Check || c.kind == Kind::Button) nx::qt::fitWidth(w, 412);
        c.keep(w);
        if (c.label) {
            auto* l = new QLabel(c.caption, this);
            l->setGeometry(c.place.x(), c.place.y() - 16, c.labelWidth, 13);
            l->setBuddy(w);
            nx::qt::fitWidth(l, 412);
            c.label(l);
        }
    }
    fillControls();
    connectControls();
}

void TFigyeltMappak::fillControls() {
    Utvonal->setMaxLength(255);
    Hatter->setMaxLength(1024);
    PdfMappa->setMaxLength(255);
    Jobbra->setText(QStringLiteral("0"));
    Lefele->setText(QStringLiteral("0"));
    Fajlnev->setPlaceholderText(QString::fromLatin1(nx::kDefaultNameTemplate.data(),
                                                    static_cast<qsizetype>(nx::kDefaultNameTemplate.size())));
    Tipus->addItems({QStringLiteral("24 tűs (ESC/P 2)"), QStringLiteral("9 tűs (FX)")});
    Kodlap->addItems({QStringLiteral("437"), QStringLiteral("850"), QStringLiteral("852")});
    Nyomtatas->setChecked(true);
    Nyomtato->addItem(QStringLiteral("(a szolgáltatás nyomtatója)"));
    Nyomtato->addItems(QPrinterInfo::availablePrinterNames());
    for (std::string_view name : nx::kPaperNames)
        Papir->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    Papir->addItem(kCustomPaper);
    OkGomb->setDefault(true);
}

void TFigyeltMappak::connectControls() {
    auto customPaper = [this] {
        const bool custom = Papir->currentText() == kCustomPaper;
        Szelesseg->setEnabled(custom);
        Magassag->setEnabled(custom);
    };
    connect(Papir, &QComboBox::currentIndexChanged, this, customPaper);
    customPaper();
    connect(Hozzaadas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::HozzaadasClick); });
    connect(Modositas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::ModositasClick); });
    connect(Torles, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::TorlesClick); });
    connect(Tallozas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::TallozasClick); });
    connect(HatterTallozas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::HatterTallozasClick); });
    connect(PdfTallozas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::PdfTallozasClick); });
    connect(Lista, &QListWidget::currentRowChanged, this, [this] { run(&TFigyeltMappak::ListaChange); });
    connect(Probaoldal, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::ProbaoldalClick); });
    connect(OkGomb, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::OkGombClick); });
    connect(MegseGomb, &QPushButton::clicked, this, &QDialog::reject);
}


void TFigyeltMappak::run(void (TFigyeltMappak::*handler)()) {
    g_.dispatcher.run([this, handler] { (this->*handler)(); });
}

void TFigyeltMappak::message(const QString& text) { g_.dialogs.message(this, text); }

void TFigyeltMappak::fill() {
    const int row = Lista->currentRow();
    Lista->blockSignals(true);
    Lista->clear();
    for (const nx::WatchedFolder& f : folders_) {
        QString route;
        if (!f.printer.empty()) route += QStringLiteral(", ") + u8(f.printer);
        if (f.paper != "A4") route += QStringLiteral(", ") + u8(f.paper);
        if (f.offsetX != 0 || f.offsetY != 0) route += QStringLiteral(", eltolás ") + u8(nx::formatOffset(f.offsetX, f.offsetY));
        if (f.raw) route += QStringLiteral(", nyers");
        if (!f.backgrounds.empty()) route += QStringLiteral(", háttér: ") + u8(nx::formatBackgrounds(f.backgrounds));
        if (!f.pdfDir.empty()) route += (f.pdfOnly ? QStringLiteral(", csak PDF: ") : QStringLiteral(", PDF: ")) + u8(f.pdfDir);
        Lista->addItem(u8(f.path) + QStringLiteral("  —  %1 tűs, %2, %3")
                                        .arg(f.pins)
                                        .arg(f.codePage)
                                        .arg(f.preview ? QStringLiteral("előnézet") : QStringLiteral("nyomtatás")) +
                       route);
    }
    Lista->setCurrentRow(std::min(row, static_cast<int>(folders_.size()) - 1));
    Lista->blockSignals(false);
}

nx::WatchedFolder TFigyeltMappak::edited(const nx::WatchedFolder& base) const {
    // The keys this window does not show (a folder's PDF saving) stay as `base` has them.
    nx::WatchedFolder f = base;
    const QByteArray path = Utvonal->text().trimmed().toUtf8();
    f.path = path.toStdString();
    f.pins = kPins[std::max(0, Tipus->currentIndex())];
    f.codePage = kCodePages[std::max(0, Kodlap->currentIndex())];
    f.preview = Elonezet->isChecked();
    f.pdfOnly = PdfMentes->isChecked();
    f.pdfDir = PdfMappa->text().trimmed().toUtf8().toStdString();
    f.nameTemplate = Fajlnev->text().trimmed().toUtf8().toStdString();
    f.split = Elvalaszto->text().toUtf8().toStdString();
    f.archival = Pdfa->isChecked();
    f.printer = Nyomtato->currentIndex() > 0 ? Nyomtato->currentText().toUtf8().toStdString() : std::string();
    f.paper = Papir->currentText().toStdString();
    if (Papir->currentText() == kCustomPaper) {
        const auto paper = nx::paperNamed((Szelesseg->text().trimmed() + QLatin1Char('x') + Magassag->text().trimmed()).toStdString());
        f.paper = paper ? nx::paperName(*paper) : std::string("A4");
    }
    if (const auto offset = nx::parseOffset((Jobbra->text() + QLatin1Char(',') + Lefele->text()).toStdString()))
        std::tie(f.offsetX, f.offsetY) = *offset;
    f.raw = Nyers->isChecked();
    f.backgrounds.clear();
    if (const auto files = nx::parseBackgrounds(Hatter->text().toUtf8().toStdString())) f.backgrounds = *files;
    return f;
}

bool TFigyeltMappak::offsetValid() {
    if (nx::parseOffset((Jobbra->text() + QLatin1Char(',') + Lefele->text()).toStdString())) return true;
    message(QStringLiteral("Az eltolás milliméterben -50 és 50 között lehet (tizedesponttal, pl. 2.5)."));
    return false;
}

bool TFigyeltMappak::paperValid() {
    if (Papir->currentText() != kCustomPaper ||
        nx::paperNamed((Szelesseg->text().trimmed() + QLatin1Char('x') + Magassag->text().trimmed()).toStdString()))
        return true;
    message(QStringLiteral("Az egyéni papír szélessége és magassága milliméterben 50 és 600 között lehet "
                           "(tizedesponttal, pl. 215.9)."));
    return false;
}

bool TFigyeltMappak::backgroundValid() {
    const auto files = nx::parseBackgrounds(Hatter->text().toUtf8().toStdString());
    if (!files) {
        message(QStringLiteral("A háttér fájljai C:\\... vagy teljes útvonallal adhatók meg, | jellel elválasztva."));
        return false;
    }
    if (!files->empty() && Nyers->isChecked()) {
        message(QStringLiteral("Nyers küldés mellé nem adható háttér: a nyomtató a feladat bájtjait kapja."));
        return false;
    }
    return true;
}

bool TFigyeltMappak::pdfValid() {
    const std::string dir = PdfMappa->text().trimmed().toUtf8().toStdString();
    if (PdfMentes->isChecked() && dir.empty()) {
        message(QStringLiteral("A PDF mentéshez adja meg a célmappát!"));
        return false;
    }
    if (!dir.empty() && !nx::isFolderPath(dir)) {
        message(QStringLiteral("A célmappa C:\\... vagy teljes útvonal lehet: ") + u8(dir));
        return false;
    }
    if (!dir.empty() && Nyers->isChecked()) {
        message(QStringLiteral("Nyers küldés mellett nincs PDF mentés: a nyomtató a feladat bájtjait kapja."));
        return false;
    }
    const std::string name = Fajlnev->text().trimmed().toUtf8().toStdString();
    if (const std::string why = nx::nameTemplateProblem(name, nx::qt::compilePattern); !why.empty()) {
        message(QStringLiteral("A fájlnév-sablon hibás: ") + u8(name) + QStringLiteral(" (") + u8(why) + QLatin1Char(')'));
        return false;
    }
    const std::string split = Elvalaszto->text().toUtf8().toStdString();
    std::string why;
    if (!split.empty() && !nx::qt::compilePattern(split, why)) {
        message(QStringLiteral("Az elválasztó minta hibás: ") + u8(split) + QStringLiteral(" (") + u8(why) + QLatin1Char(')'));
        return false;
    }
    return true;
}

void TFigyeltMappak::showFolder(const nx::WatchedFolder& f) {
    Utvonal->setText(u8(f.path));
    Tipus->setCurrentIndex(f.pins == 9 ? 1 : 0);
    Kodlap->setCurrentIndex(f.codePage == 850 ? 1 : f.codePage == 852 ? 2 : 0);
    (f.pdfOnly ? PdfMentes : f.preview ? Elonezet : Nyomtatas)->setChecked(true);
    PdfMappa->setText(u8(f.pdfDir));
    Fajlnev->setText(u8(f.nameTemplate));
    Elvalaszto->setText(u8(f.split));
    Pdfa->setChecked(f.archival);
    // A printer the system does not list (now) stays the folder's, shown as it is.
    int printer = 0;
    if (!f.printer.empty()) {
        printer = Nyomtato->findText(u8(f.printer));
        if (printer < 0) {
            Nyomtato->addItem(u8(f.printer));
            printer = Nyomtato->count() - 1;
        }
    }
    Nyomtato->setCurrentIndex(printer);
    const int named = Papir->findText(u8(f.paper));
    Papir->setCurrentIndex(named >= 0 ? named : Papir->findText(kCustomPaper));
    Szelesseg->clear();
    Magassag->clear();
    if (named < 0) {
        if (const auto paper = nx::paperNamed(f.paper)) {
            const auto [w, h] = nx::millimetresOf(*paper);
            Szelesseg->setText(u8(nx::millimetreText(w)));
            Magassag->setText(u8(nx::millimetreText(h)));
        }
    }
    Hatter->setText(u8(nx::formatBackgrounds(f.backgrounds)));
    const std::string offset = nx::formatOffset(f.offsetX, f.offsetY);
    Jobbra->setText(u8(offset.substr(0, offset.find(','))));
    Lefele->setText(u8(offset.substr(offset.find(',') + 1)));
    Nyers->setChecked(f.raw);
}

void TFigyeltMappak::ListaChange() {
    const int row = Lista->currentRow();
    if (row >= 0 && row < static_cast<int>(folders_.size())) showFolder(folders_[static_cast<std::size_t>(row)]);
}

void TFigyeltMappak::HozzaadasClick() {
    if (!offsetValid() || !paperValid() || !backgroundValid() || !pdfValid()) return;
    const nx::WatchedFolder f = edited();
    if (f.path.empty()) {
        message(QStringLiteral("Adja meg a mappát!"));
        return;
    }
    if (folders_.size() >= nx::kMaxFolders) {
        message(QStringLiteral("Legfeljebb %1 mappa figyelhető.").arg(nx::kMaxFolders));
        return;
    }
    folders_.push_back(f);
    fill();
    Lista->setCurrentRow(static_cast<int>(folders_.size()) - 1);
}

void TFigyeltMappak::ModositasClick() {
    const int row = Lista->currentRow();
    if (row < 0 || row >= static_cast<int>(folders_.size())) {
        message(QStringLiteral("Válasszon mappát a listából!"));
        return;
    }
    if (!offsetValid() || !paperValid() || !backgroundValid() || !pdfValid()) return;
    const nx::WatchedFolder f = edited(folders_[static_cast<std::size_t>(row)]);
    if (f.path.empty()) {
        message(QStringLiteral("Adja meg a mappát!"));
        return;
    }
    folders_[static_cast<std::size_t>(row)] = f;
    fill();
}

void TFigyeltMappak::TorlesClick() {
    const int row = Lista->currentRow();
    if (row < 0 || row >= static_cast<int>(folders_.size())) {
        message(QStringLiteral("Válasszon mappát a listából!"));
        return;
    }
    folders_.erase(folders_.begin() + row);
    fill();
    ListaChange();
}

QString TFigyeltMappak::chosenFolder(QString path, const QString& caption) {
    // The chooser shows host folders; one on drive C is written the DOS way.
    if (path.isEmpty() || nx::isFolderPath(path.toUtf8().toStdString()))
        path = QString::fromStdString(g_.fs.hostPath(path.isEmpty() ? "c:\\" : path.toUtf8().toStdString()));
    if (!g_.dialogs.chooseFolder(this, caption, path)) return {};
    const QString driveC = QDir::cleanPath(QString::fromStdString(g_.fs.drives().driveC()));
    const QString chosen = QDir::cleanPath(path);
    if (chosen.compare(driveC, Qt::CaseInsensitive) == 0 ||
        chosen.startsWith(driveC + QLatin1Char('/'), Qt::CaseInsensitive)) {
        QString rest = chosen.mid(driveC.size());
        rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
        return QStringLiteral("C:") + (rest.isEmpty() ? QStringLiteral("\\") : rest.toUpper());
    }
    return QDir::toNativeSeparators(chosen);
}

void TFigyeltMappak::TallozasClick() {
    const QString path = chosenFolder(Utvonal->text().trimmed(), QStringLiteral("Figyelt mappa"));
    if (!path.isEmpty()) Utvonal->setText(path);
}

void TFigyeltMappak::PdfTallozasClick() {
    const QString path = chosenFolder(PdfMappa->text().trimmed(), QStringLiteral("A PDF-ek célmappája"));
    if (!path.isEmpty()) PdfMappa->setText(path);
}

void TFigyeltMappak::HatterTallozasClick() {
    // The chooser shows host files; one on drive C is written the DOS way. A chosen
    // file is added to those already given.
    const QString given = Hatter->text().trimmed();
    QString path = QString::fromStdString(g_.fs.hostPath("c:\\"));
    const QString filter = nx::qt::readsPdfBackgrounds()
                               ? QStringLiteral("Képek és PDF (*.png *.jpg *.jpeg *.bmp *.pdf *.PNG *.JPG *.JPEG *.BMP *.PDF)")
                               : QStringLiteral("Képek (*.png *.jpg *.jpeg *.bmp *.PNG *.JPG *.JPEG *.BMP)");
    if (!g_.dialogs.chooseFile(this, QStringLiteral("Háttér"), filter, path)) return;
    const QString driveC = QDir::cleanPath(QString::fromStdString(g_.fs.drives().driveC()));
    const QString chosen = QDir::cleanPath(path);
    if (chosen.startsWith(driveC + QLatin1Char('/'), Qt::CaseInsensitive)) {
        QString rest = chosen.mid(driveC.size());
        rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
        path = QStringLiteral("C:") + rest;
    } else {
        path = QDir::toNativeSeparators(chosen);
    }
    Hatter->setText(given.isEmpty() ? path : given + QLatin1Char('|') + path);
}

void TFigyeltMappak::ProbaoldalClick() {
    if (!offsetValid() || !paperValid() || !backgroundValid() || !pdfValid() || !g_.Nyomtat) return;
    const nx::WatchedFolder f = edited();
    const std::string line = "Mappa: " + (f.path.empty() ? std::string("-") : f.path) + "   Nyomtató: " +
                             (f.printer.empty() ? std::string("a szolgáltatás nyomtatója") : f.printer) +
                             "   Papír: " + f.paper + "   Eltolás: " + nx::formatOffset(f.offsetX, f.offsetY) + " mm";
    nx::CalibrationPage page(g_.fs, nx::sheetOf(g_.fs, f), line, f.raw ? std::string(nx::paths::kCalibrationPage) : std::string());
    g_.Nyomtat->Kikuldes(page, nullptr, nx::routeOf(f));
}

void TFigyeltMappak::OkGombClick() {
    // An offset that cannot be taken keeps the window open: nothing typed is lost.
    if (!offsetValid() || !paperValid() || !backgroundValid() || !pdfValid()) return;
    // A folder typed in but not added yet is what the user means to add.
    const nx::WatchedFolder typed = edited();
    if (!typed.path.empty() && Lista->currentRow() < 0 &&
        std::none_of(folders_.begin(), folders_.end(), [&](const auto& f) { return f.path == typed.path; })) {
        HozzaadasClick();
    }
    std::vector<std::string> hosts;
    for (const nx::WatchedFolder& f : folders_) {
        if (const std::string why = nx::folderProblem(g_.fs, f); !why.empty()) {
            message(u8(why));
            return;
        }
        // A background that cannot be drawn is refused now, with its name and why.
        for (const std::string& file : f.backgrounds) {
            if (const std::string why = nx::qt::backgroundProblem(g_.fs.hostPath(file)); !why.empty()) {
                message(QStringLiteral("A háttér nem használható: ") + u8(why));
                return;
            }
        }
        std::string host = g_.fs.hostPath(f.path);
        while (host.size() > 1 && (host.back() == '/' || host.back() == '\\')) host.pop_back();
        if (std::find(hosts.begin(), hosts.end(), host) != hosts.end()) {
            message(QStringLiteral("Ez a mappa kétszer szerepel: ") + u8(f.path));
            return;
        }
        hosts.push_back(host);
    }
    if (const int rc = nx::saveFolders(g_.fs, folders_)) {
        message(QString::fromLatin1(nx::kFoldersFileShown.data(), static_cast<qsizetype>(nx::kFoldersFileShown.size())) +
                QStringLiteral(" IO hiba: ") + QString::number(rc));
        return;
    }
    accept();
}
