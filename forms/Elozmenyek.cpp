#include "forms/Elozmenyek.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "formats/kept.h"
#include "forms/MainPanel.h"
#include "forms/NotificationArea.h"
#include "forms/NyomtUnit.h"
#include "forms/WindowKit.h"
#include "intake/paths.h"
#include "platform/cp1250_utf8.h"
#include "platform/qt/codec.h"
#include "platform/qt/raw_print.h"
#include "render/page_choice.h"

namespace {

QString u8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString resultCaption(const nx::HistoryEntry& e) {
    switch (e.result) {
        case nx::HistoryEntry::Result::Printed: return QStringLiteral("kinyomtatva");
        case nx::HistoryEntry::Result::Shown: return QStringLiteral("megjelenítve");
        case nx::HistoryEntry::Result::Failed: return QStringLiteral("hiba: ") + u8(e.message);
        case nx::HistoryEntry::Result::Saved: return QStringLiteral("PDF-be mentve");
    }
    return {};
}

}  // namespace

TElozmenyek::TElozmenyek(Globals& g, QWidget* parent) : QDialog(parent), g_(g) {
    setWindowTitle(QStringLiteral("Előzmények"));
    nx::qt::styleWindow(*this, true);
    setFixedSize(620, 360);

    Lista = new QTreeWidget(this);
    Lista->setGeometry(8, 8, 604, 310);
    Lista->setRootIsDecorated(false);
    Lista->setUniformRowHeights(true);
    Lista->setSelectionMode(QAbstractItemView::SingleSelection);
    Lista->setHeaderLabels({QStringLiteral("Idő"), QStringLiteral("Forrás"), QStringLiteral("Oldal"),
                            QStringLiteral("Nyomtató"), QStringLiteral("Eredmény")});
    Lista->setColumnWidth(0, 120);
    Lista->setColumnWidth(1, 190);
    Lista->setColumnWidth(2, 40);
    Lista->setColumnWidth(3, 110);

    auto button = [this](const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setGeometry(x, 326, 110, 25);
        b->setAutoDefault(false);
        return b;
    };
    Ujranyomtatas = button(QStringLiteral("&Újranyomtatás"), 8);
    Elonezet = button(QStringLiteral("&Előnézet"), 126);
    Bezaras = button(QStringLiteral("&Bezárás"), 502);
    for (QPushButton* b : {Ujranyomtatas, Elonezet, Bezaras}) nx::qt::fitWidth(b, 612);

    auto dispatch = [this](void (TElozmenyek::*handler)(QObject*), QObject* sender) {
        return [this, handler, sender] { g_.dispatcher.run([this, handler, sender] { (this->*handler)(sender); }); };
    };
    connect(Ujranyomtatas, &QPushButton::clicked, this, dispatch(&TElozmenyek::UjranyomtatasClick, Ujranyomtatas));
    connect(Elonezet, &QPushButton::clicked, this, dispatch(&TElozmenyek::ElonezetClick, Elonezet));
    connect(Bezaras, &QPushButton::clicked, this, &QDialog::reject);  // Esc as well
}

void TElozmenyek::refresh() {
    const nx::HistoryEntry* before = selected();
    const std::int64_t was = before ? before->id : 0;
    std::vector<nx::HistoryEntry> all = g_.history.entries();
    if (const std::string problem = g_.history.problem(); !problem.empty())
        g_.services.errorBox(nx::utf8ToCp1250(nx::withFullStop(problem)));
    entries_.assign(all.rbegin(), all.rend());
    Lista->clear();
    QTreeWidgetItem* current = nullptr;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const nx::HistoryEntry& e = entries_[i];
        QString result = resultCaption(e);
        if (g_.history.copyPath(e).empty()) result += QStringLiteral(" (a másolata nincs meg)");
        auto* item = new QTreeWidgetItem(
            Lista, {u8(nx::localIsoTime(e.time)).replace(QLatin1Char('T'), QLatin1Char(' ')), u8(e.source),
                    QString::number(e.pages), e.printer.empty() ? QStringLiteral("előnézet") : u8(e.printer), result});
        item->setData(0, Qt::UserRole, static_cast<qlonglong>(i));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (e.id == was || (!current && was == 0)) current = item;
    }
    if (current) Lista->setCurrentItem(current);
}

const nx::HistoryEntry* TElozmenyek::selected() {
    QTreeWidgetItem* item = Lista->currentItem();
    if (!item) return nullptr;
    const auto i = static_cast<std::size_t>(item->data(0, Qt::UserRole).toLongLong());
    return i < entries_.size() ? &entries_[i] : nullptr;
}

void TElozmenyek::UjranyomtatasClick(QObject*) {
    const nx::HistoryEntry* chosen = selected();
    if (!chosen) {
        g_.dialogs.message(this, QStringLiteral("Válasszon egy feladatot!"));
        return;
    }
    const nx::HistoryEntry entry = *chosen;  // the list is read again below
    const std::optional<nx::KeptJob> kept =
        nx::openKept(g_.fs, g_.history, entry, std::string(nx::paths::kHistoryReprint));
    if (!kept) {
        g_.dialogs.message(this, QStringLiteral("A feladat másolata már nincs meg, nem nyomtatható újra."));
        return;
    }
    const std::unique_ptr<nx::Document> doc =
        nx::openDocument(g_.fs, kept->file, kept->origin,
                         {g_.settings, [this] { return g_.Nyomtat->variableLineHeight(); }});
    nx::NoProgress counting;
    const int pages = doc->pageCount(counting);
    QString text = pages > 1 ? QStringLiteral("1-%1").arg(pages) : QStringLiteral("1");
    if (!g_.dialogs.input(this, QStringLiteral("Újranyomtatás"), QStringLiteral("Oldalak:"), text, 255)) return;
    const auto choice = nx::parsePages(nx::qt::toCp1250(text), pages);
    if (!choice) {
        g_.dialogs.message(this, nx::qt::fromCp1250(nx::pageChoiceMessage(pages)));
        return;
    }
    const bool whole = static_cast<int>(choice->size()) == pages;
    nx::HistoryEntry again = entry;
    again.time = 0;
    again.pages = static_cast<int>(choice->size());
    again.message.clear();
    g_.Nyomtat->setStatus(QStringLiteral("Nyomtatás..."));
    try {
        const nx::Printed printed = g_.Nyomtat->Kikuldes(
            *doc, whole ? nullptr : &*choice,
            nx::reprintRoute(entry, [](const std::string& name) { return nx::qt::printerExists(u8(name)); }));
        again.printer = printed.printer;
        if (printed.pages > 0) again.pages = printed.pages;
    } catch (const nx::IoError& e) {
        again.result = nx::HistoryEntry::Result::Failed;
        again.message = nx::cp1250ToUtf8(e.what());
        recordJob(g_, again);
        throw;  // told in the error box
    }
    again.result = nx::HistoryEntry::Result::Printed;
    recordJob(g_, again);
    g_.Nyomtat->setStatus(QStringLiteral("Figyelés..."));
}

void TElozmenyek::ElonezetClick(QObject*) {
    const nx::HistoryEntry* chosen = selected();
    if (!chosen) {
        g_.dialogs.message(this, QStringLiteral("Válasszon egy feladatot!"));
        return;
    }
    const std::optional<nx::KeptJob> kept =
        nx::openKept(g_.fs, g_.history, *chosen, std::string(nx::paths::kHistoryShown));
    if (!kept) {
        g_.dialogs.message(this, QStringLiteral("A feladat másolata már nincs meg, nem jeleníthető meg."));
        return;
    }
    g_.Nyomtat->setStatus(QStringLiteral("Megjelenítés..."));
    g_.Nyomt->openJob(kept->file, kept->origin);
}

void recordJob(Globals& g, nx::HistoryEntry entry) {
    if (g.tray && entry.result != nx::HistoryEntry::Result::Shown) g.tray->jobDone(entry);
    g.history.add(std::move(entry));
    if (const std::string problem = g.history.problem(); !problem.empty())
        g.services.errorBox(nx::utf8ToCp1250(nx::withFullStop(problem)));
    if (g.Elozmenyek && g.Elozmenyek->isVisible()) g.Elozmenyek->refresh();
}
