#pragma once
// Modal questions to the user: message boxes and the file-open and file-save
// dialogs. The window-system half shows real dialogs; ScriptedPrompts answers
// from a script and records every question, for tests.
#include <deque>
#include <optional>
#include <string>
#include <vector>

enum class PromptIcon { Information, Question, Exclamation, Error };
enum class PromptButtons { Ok, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Yes, No, Cancel };

struct MessageRequest {
    std::string text;
    PromptIcon icon = PromptIcon::Information;
    PromptButtons buttons = PromptButtons::Ok;
    // The button Enter presses. MakeMessage picks No for Yes/No, so a
    // destructive question is never confirmed by accident.
    PromptAnswer defaultAnswer = PromptAnswer::Ok;
};

// A message with the usual default button: Ok, No for Yes/No, Yes for Yes/No/Cancel.
MessageRequest MakeMessage(const std::string& text, PromptIcon icon, PromptButtons buttons = PromptButtons::Ok);

// One row of a file dialog's type list: "PNG Files (*.png)" with {"*.png"}.
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
    bool operator==(const FileFilter&) const = default;
};

// Parses the classic "Label|*.a;*.b|Label2|*.c||" filter text. Empty labels or
// pattern lists are skipped; a trailing label without patterns is dropped.
std::vector<FileFilter> ParseFileFilters(const std::string& text);

struct OpenFileRequest {
    std::string title;                  // empty: the toolkit's own title
    std::vector<FileFilter> filters;
    std::string defaultExtension;       // without the dot; empty for none
    std::string initialFolder;
    bool multiSelect = false;
    bool fileMustExist = true;
};

struct SaveFileRequest {
    std::string title;
    std::vector<FileFilter> filters;
    std::string defaultExtension;       // appended when the typed name has no extension
    std::string proposedName;           // a file name or a full path
    bool promptOverwrite = true;        // ask before replacing an existing file
};

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer ShowMessage(const MessageRequest& request) = 0;
    // The chosen paths; empty when cancelled. At most one unless multiSelect.
    virtual std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) = 0;
    // The chosen path (default extension added, overwrite confirmed); nullopt when cancelled.
    virtual std::optional<std::string> AskSaveFile(const SaveFileRequest& request) = 0;

    // Shorthands for the common boxes.
    void Inform(const std::string& text) { ShowMessage(MakeMessage(text, PromptIcon::Information)); }
    void Warn(const std::string& text) { ShowMessage(MakeMessage(text, PromptIcon::Exclamation)); }
    void Fail(const std::string& text) { ShowMessage(MakeMessage(text, PromptIcon::Error)); }
    // Yes/No with No as default; true only for Yes.
    bool AskYesNo(const std::string& text, PromptIcon icon = PromptIcon::Exclamation) {
        return ShowMessage(MakeMessage(text, icon, PromptButtons::YesNo)) == PromptAnswer::Yes;
    }
};

// A Prompts double: answers come from queues filled by the test; with an empty
// queue a message gets its default button and a file dialog is cancelled.
// Every question is recorded in order.
class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Message, OpenFiles, SaveFile };
    struct Record {
        Kind kind = Kind::Message;
        MessageRequest message;
        OpenFileRequest open;
        SaveFileRequest save;
    };

    void QueueAnswer(PromptAnswer answer) { answers_.push_back(answer); }
    void QueueOpenFiles(std::vector<std::string> paths) { openAnswers_.push_back(std::move(paths)); }
    void QueueSaveFile(std::optional<std::string> path) { saveAnswers_.push_back(std::move(path)); }

    PromptAnswer ShowMessage(const MessageRequest& request) override;
    std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

    const std::vector<Record>& Records() const { return records_; }
    // Texts of the message boxes shown so far, in order.
    std::vector<std::string> MessageTexts() const;
    void ClearRecords() { records_.clear(); }

private:
    std::deque<PromptAnswer> answers_;
    std::deque<std::vector<std::string>> openAnswers_;
    std::deque<std::optional<std::string>> saveAnswers_;
    std::vector<Record> records_;
};
