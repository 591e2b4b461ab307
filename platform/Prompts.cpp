#include "platform/Prompts.h"

MessageRequest MakeMessage(const std::string& text, PromptIcon icon, PromptButtons buttons) {
    MessageRequest r;
    r.text = text;
    r.icon = icon;
    r.buttons = buttons;
    switch (buttons) {
        case PromptButtons::Ok: r.defaultAnswer = PromptAnswer::Ok; break;
        case PromptButtons::YesNo: r.defaultAnswer = PromptAnswer::No; break;
        case PromptButtons::YesNoCancel: r.defaultAnswer = PromptAnswer::Yes; break;
    }
    return r;
}

namespace {

std::vector<std::string> SplitOn(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t end = text.find(sep, start);
        if (end == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

std::vector<FileFilter> ParseFileFilters(const std::string& text) {
    std::vector<FileFilter> filters;
    std::vector<std::string> parts = SplitOn(text, '|');
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f;
        f.label = parts[i];
        for (std::string& p : SplitOn(parts[i + 1], ';'))
            if (!p.empty()) f.patterns.push_back(std::move(p));
        if (f.label.empty() || f.patterns.empty()) continue;
        filters.push_back(std::move(f));
    }
    return filters;
}

PromptAnswer ScriptedPrompts::ShowMessage(const MessageRequest& request) {
    Record rec;
    rec.kind = Kind::Message;
    rec.message = request;
    records_.push_back(std::move(rec));
    if (answers_.empty()) return request.defaultAnswer;
    PromptAnswer a = answers_.front();
    answers_.pop_front();
    return a;
}

std::vector<std::string> ScriptedPrompts::AskOpenFiles(const OpenFileRequest& request) {
    Record rec;
    rec.kind = Kind::OpenFiles;
    rec.open = request;
    records_.push_back(std::move(rec));
    if (openAnswers_.empty()) return {};
    std::vector<std::string> paths = std::move(openAnswers_.front());
    openAnswers_.pop_front();
    if (!request.multiSelect && paths.size() > 1) paths.resize(1);
    return paths;
}

std::optional<std::string> ScriptedPrompts::AskSaveFile(const SaveFileRequest& request) {
    Record rec;
    rec.kind = Kind::SaveFile;
    rec.save = request;
    records_.push_back(std::move(rec));
    if (saveAnswers_.empty()) return std::nullopt;
    std::optional<std::string> path = std::move(saveAnswers_.front());
    saveAnswers_.pop_front();
    return path;
}

std::vector<std::string> ScriptedPrompts::MessageTexts() const {
    std::vector<std::string> texts;
    for (const Record& r : records_)
        if (r.kind == Kind::Message) texts.push_back(r.message.text);
    return texts;
}
