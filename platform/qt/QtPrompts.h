#pragma once
// Message boxes and file dialogs shown with Qt, modal over a parent window.
#include "platform/Prompts.h"

class QWidget;

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    PromptAnswer ShowMessage(const MessageRequest& request) override;
    std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

    // "Label (*.a *.b);;Label2 (*.c)" as the file dialogs take it.
    static std::string QtFilterText(const std::vector<FileFilter>& filters);

private:
    QWidget* parent_;
};
