// What the preview and mail windows may ask of the main window: its status line,
// the watch, the printer output and the line-height choice. The main window
// implements it, so the other window units need not know its class.
#pragma once

#include <QString>
#include <set>
#include <string>
#include <string_view>

#include "formats/delivery.h"
#include "intake/folders.h"
#include "platform/document.h"

class QWidget;


class MainPanel {
public:
    // The status label, repainted at once.
    virtual void setStatus(const QString& text) = 0;
    // Interval 3000 ms, enabled; a timer already running goes on unchanged.
    virtual void armWatch() = 0;
    // Prints the job as one print job (with `pages`, only those pages) on the
    // current printer, or where `route` sends it, and returns the printer and pages; an
    // input/output error aborts the job and reaches the caller.
    virtual nx::Printed Kikuldes(nx::Document& job, const std::set<int>* pages = nullptr,
                          const nx::JobRoute& route = {}) = 0;
    // The state of "Változó sormagasság".
    virtual bool variableLineHeight() const = 0;
    // The main window itself, for placing other windows over it.
    virtual QWidget* panelWidget() = 0;

protected:
    ~MainPanel() = default;
};
