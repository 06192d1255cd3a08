#include "forms/FigyeltMappak.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPrinterInfo>
#include <algorithm>
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
#include "platform/qt/background.h"
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

void TFigyeltMappak::createControls() {
    auto label = [this](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setGeometry(x, y, w, 13);
        return l;
    };
    auto button = [this](const QString& text, int x, int y, int w) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(x, y, w, 25);
        b->setAutoDefault(false);
        return b;
    };
    LabelLista = label(QStringLiteral("&Figyelt mappák:"), 8, 8, 200);
    Lista = new QListWidget(this);
    Lista->setGeometry(8, 24, 404, 116);
    LabelLista->setBuddy(Lista);
    Hozzaadas = button(QStringLiteral("&Hozzáadás"), 8, 146, 95);
    Modositas = button(QStringLiteral("Mó&dosítás"), 111, 146, 95);
    Torles = button(QStringLiteral("&Törlés"), 214, 146, 95);

    LabelMappa = label(QStringLiteral("&Mappa (C:\\... vagy teljes útvonal):"), 8, 184, 300);
    Utvonal = new QLineEdit(this);
    Utvonal->setGeometry(8, 200, 310, 21);
    Utvonal->setMaxLength(255);
    LabelMappa->setBuddy(Utvonal);
    Tallozas = button(QStringLiteral("T&allózás..."), 326, 198, 86);

    LabelTipus = label(QStringLiteral("Nyomtató tí&pusa:"), 8, 232, 150);
    Tipus = new QComboBox(this);
    Tipus->setGeometry(8, 248, 150, 21);
    Tipus->addItems({QStringLiteral("24 tűs (ESC/P 2)"), QStringLiteral("9 tűs (FX)")});
    LabelTipus->setBuddy(Tipus);
    LabelKodlap = label(QStringLiteral("&Kódlap:"), 170, 232, 80);
    Kodlap = new QComboBox(this);
    Kodlap->setGeometry(170, 248, 80, 21);
    Kodlap->addItems({QStringLiteral("437"), QStringLiteral("850"), QStringLiteral("852")});
    LabelKodlap->setBuddy(Kodlap);
    Nyomtatas = new QRadioButton(QStringLiteral("Nyomtatás a&zonnal"), this);
    Nyomtatas->setGeometry(262, 236, 150, 17);
    Elonezet = new QRadioButton(QStringLiteral("&Előnézet"), this);
    Elonezet->setGeometry(262, 256, 150, 17);
    Nyomtatas->setChecked(true);

    LabelNyomtato = label(QStringLiteral("&Nyomtató:"), 8, 280, 200);
    Nyomtato = new QComboBox(this);
    Nyomtato->setGeometry(8, 296, 242, 21);
    Nyomtato->addItem(QStringLiteral("(a szolgáltatás nyomtatója)"));
    Nyomtato->addItems(QPrinterInfo::availablePrinterNames());
    LabelNyomtato->setBuddy(Nyomtato);
    LabelPapir = label(QStringLiteral("Papí&r:"), 262, 280, 80);
    Papir = new QComboBox(this);
    Papir->setGeometry(262, 296, 80, 21);
    for (std::string_view name : nx::kPaperNames) Papir->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    Papir->addItem(kCustomPaper);
    LabelPapir->setBuddy(Papir);
    LabelJobbra = label(QStringLiteral("Eltolás &jobbra (mm):"), 8, 326, 150);
    Jobbra = new QLineEdit(QStringLiteral("0"), this);
    Jobbra->setGeometry(8, 342, 70, 21);
    LabelJobbra->setBuddy(Jobbra);
    LabelLefele = label(QStringLiteral("&lefelé (mm):"), 170, 326, 80);
    Lefele = new QLineEdit(QStringLiteral("0"), this);
    Lefele->setGeometry(170, 342, 70, 21);
    LabelLefele->setBuddy(Lefele);
    Nyers = new QCheckBox(QStringLiteral("N&yers küldés (mátrixnyomtatónak)"), this);
    Nyers->setGeometry(8, 370, 250, 17);
    Probaoldal = button(QStringLiteral("Pró&baoldal"), 262, 340, 95);

    LabelSzelesseg = label(QStringLiteral("Egyén&i papír szélessége (mm):"), 8, 394, 160);
    Szelesseg = new QLineEdit(this);
    Szelesseg->setGeometry(8, 410, 70, 21);
    LabelSzelesseg->setBuddy(Szelesseg);
    LabelMagassag = label(QStringLiteral("ma&gassága (mm):"), 170, 394, 100);
    Magassag = new QLineEdit(this);
    Magassag->setGeometry(170, 410, 70, 21);
    LabelMagassag->setBuddy(Magassag);
    LabelHatter = label(QStringLiteral("Háttér (kép &vagy PDF; több fájl | jellel):"), 8, 438, 310);
    Hatter = new QLineEdit(this);
    Hatter->setGeometry(8, 454, 310, 21);
    Hatter->setMaxLength(1024);
    LabelHatter->setBuddy(Hatter);
    HatterTallozas = button(QStringLiteral("Tallózá&s..."), 326, 452, 86);
    auto customPaper = [this] {
        const bool custom = Papir->currentText() == kCustomPaper;
        Szelesseg->setEnabled(custom);
        Magassag->setEnabled(custom);
    };
    connect(Papir, &QComboBox::currentIndexChanged, this, customPaper);
    customPaper();

    OkGomb = button(QStringLiteral("OK"), 254, 486, 75);
    OkGomb->setDefault(true);
    MegseGomb = button(QStringLiteral("Mégse"), 337, 486, 75);

    for (QWidget* w : {static_cast<QWidget*>(LabelLista), static_cast<QWidget*>(Hozzaadas),
                       static_cast<QWidget*>(Modositas), static_cast<QWidget*>(Torles),
                       static_cast<QWidget*>(LabelMappa), static_cast<QWidget*>(Tallozas),
                       static_cast<QWidget*>(LabelTipus), static_cast<QWidget*>(LabelKodlap),
                       static_cast<QWidget*>(Nyomtatas), static_cast<QWidget*>(Elonezet),
                       static_cast<QWidget*>(LabelNyomtato), static_cast<QWidget*>(LabelPapir),
                       static_cast<QWidget*>(LabelJobbra), static_cast<QWidget*>(LabelLefele),
                       static_cast<QWidget*>(Nyers), static_cast<QWidget*>(Probaoldal),
                       static_cast<QWidget*>(LabelSzelesseg), static_cast<QWidget*>(LabelMagassag),
                       static_cast<QWidget*>(LabelHatter), static_cast<QWidget*>(HatterTallozas)})
        nx::qt::fitWidth(w, 412);

    connect(Hozzaadas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::HozzaadasClick); });
    connect(Modositas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::ModositasClick); });
    connect(Torles, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::TorlesClick); });
    connect(Tallozas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::TallozasClick); });
    connect(HatterTallozas, &QPushButton::clicked, this, [this] { run(&TFigyeltMappak::HatterTallozasClick); });
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
    if (f.preview) f.pdfOnly = false;
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

void TFigyeltMappak::showFolder(const nx::WatchedFolder& f) {
    Utvonal->setText(u8(f.path));
    Tipus->setCurrentIndex(f.pins == 9 ? 1 : 0);
    Kodlap->setCurrentIndex(f.codePage == 850 ? 1 : f.codePage == 852 ? 2 : 0);
    (f.preview ? Elonezet : Nyomtatas)->setChecked(true);
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
    if (!offsetValid() || !paperValid() || !backgroundValid()) return;
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
    if (!offsetValid() || !paperValid() || !backgroundValid()) return;
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

void TFigyeltMappak::TallozasClick() {
    // The chooser shows host folders; one on drive C is written the DOS way.
    QString path = Utvonal->text().trimmed();
    if (path.isEmpty() || nx::isFolderPath(path.toUtf8().toStdString()))
        path = QString::fromStdString(g_.fs.hostPath(path.isEmpty() ? "c:\\" : path.toUtf8().toStdString()));
    if (!g_.dialogs.chooseFolder(this, QStringLiteral("Figyelt mappa"), path)) return;
    const QString driveC = QDir::cleanPath(QString::fromStdString(g_.fs.drives().driveC()));
    const QString chosen = QDir::cleanPath(path);
    if (chosen.compare(driveC, Qt::CaseInsensitive) == 0 ||
        chosen.startsWith(driveC + QLatin1Char('/'), Qt::CaseInsensitive)) {
        QString rest = chosen.mid(driveC.size());
        rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
        path = QStringLiteral("C:") + (rest.isEmpty() ? QStringLiteral("\\") : rest.toUpper());
    } else {
        path = QDir::toNativeSeparators(chosen);
    }
    Utvonal->setText(path);
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
    if (!offsetValid() || !paperValid() || !backgroundValid() || !g_.Nyomtat) return;
    const nx::WatchedFolder f = edited();
    const std::string line = "Mappa: " + (f.path.empty() ? std::string("-") : f.path) + "   Nyomtató: " +
                             (f.printer.empty() ? std::string("a szolgáltatás nyomtatója") : f.printer) +
                             "   Papír: " + f.paper + "   Eltolás: " + nx::formatOffset(f.offsetX, f.offsetY) + " mm";
    nx::CalibrationPage page(g_.fs, nx::sheetOf(g_.fs, f), line, f.raw ? std::string(nx::paths::kCalibrationPage) : std::string());
    g_.Nyomtat->Kikuldes(page, nullptr, nx::routeOf(f));
}

void TFigyeltMappak::OkGombClick() {
    // An offset that cannot be taken keeps the window open: nothing typed is lost.
    if (!offsetValid() || !paperValid() || !backgroundValid()) return;
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
