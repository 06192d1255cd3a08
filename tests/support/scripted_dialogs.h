// A dialog service for window tests: records every dialog and answers from a script.
#pragma once

#include <QPrinter>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/qt/dialog_service.h"

namespace nx::test {

class ScriptedDialogs final : public nx::qt::DialogService {
public:
    struct Error {
        QString title;
        QString text;
    };
    struct Input {
        QString caption;
        QString prompt;
        QString value;
        int maxLength;
    };

    std::vector<QString> messages;
    std::vector<Error> errors;
    std::vector<Input> inputs;
    // Answers for the input dialog in order: a value means OK with that text,
    // nullopt means Cancel. With no answer left, the proposal is accepted.
    std::deque<std::optional<QString>> inputAnswers;

    // Printer setup: confirmed or cancelled; a confirmed dialog points the printer
    // at `pdfPath` (a PDF file) when it is not empty.
    bool acceptPrinter = true;
    QString pdfPath;
    int printerSetups = 0;

    // Folder chooser: the answers in order (nullopt: cancelled); none left: cancelled.
    std::deque<std::optional<QString>> folderAnswers;

    // File chooser: the same, with the filters it was shown with.
    std::deque<std::optional<QString>> fileAnswers;
    std::vector<QString> fileFilters;

    // Runs while a message or error box would be shown (e.g. to check state then).
    std::function<void()> onBox;

    void message(QWidget*, const QString& text) override {
        messages.push_back(text);
        if (onBox) onBox();
    }
    void error(QWidget*, const QString& title, const QString& text) override {
        errors.push_back({title, text});
        if (onBox) onBox();
    }
    bool input(QWidget*, const QString& caption, const QString& prompt, QString& value,
               int maxLength) override {
        inputs.push_back({caption, prompt, value, maxLength});
        if (inputAnswers.empty()) return true;
        auto answer = inputAnswers.front();
        inputAnswers.pop_front();
        if (!answer) return false;
        value = answer->left(maxLength);
        return true;
    }
    bool printerSetup(QWidget*, QPrinter& printer) override {
        ++printerSetups;
        if (!acceptPrinter) return false;
        if (!pdfPath.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdfPath);
        }
        return true;
    }
    bool chooseFolder(QWidget*, const QString&, QString& path) override {
        if (folderAnswers.empty() || !folderAnswers.front()) {
            if (!folderAnswers.empty()) folderAnswers.pop_front();
            return false;
        }
        path = *folderAnswers.front();
        folderAnswers.pop_front();
        return true;
    }
    bool chooseFile(QWidget*, const QString&, const QString& filter, QString& path) override {
        fileFilters.push_back(filter);
        if (fileAnswers.empty() || !fileAnswers.front()) {
            if (!fileAnswers.empty()) fileAnswers.pop_front();
            return false;
        }
        path = *fileAnswers.front();
        fileAnswers.pop_front();
        return true;
    }
};

}  // namespace nx::test
