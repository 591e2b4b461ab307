#include "platform/qt/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>

#include <algorithm>

namespace {
QMessageBox::StandardButton ButtonOf(PromptAnswer a) {
    switch (a) {
    case PromptAnswer::Yes: return QMessageBox::Yes;
    case PromptAnswer::No: return QMessageBox::No;
    case PromptAnswer::Cancel: return QMessageBox::Cancel;
    default: return QMessageBox::Ok;
    }
}

QString TitleOf(const std::string& title) {
    return title.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(title);
}
}  // namespace

std::string QtPrompts::QtFilterText(const std::vector<FileFilter>& filters) {
    std::string out;
    for (const FileFilter& f : filters) {
        if (!out.empty()) out += ";;";
        std::string pats;
        for (const std::string& p : f.patterns) pats += (pats.empty() ? "" : " ") + p;
        // The dialog reads the patterns from the label's last parentheses, so a
        // label that names its own patterns has them replaced by the real ones.
        std::string label = f.label;
        size_t open = label.rfind('(');
        if (!label.empty() && label.back() == ')' && open != std::string::npos) {
            label.erase(open);
            while (!label.empty() && label.back() == ' ') label.pop_back();
        }
        out += label + " (" + pats + ")";
    }
    return out;
}

PromptAnswer QtPrompts::ShowMessage(const MessageRequest& r) {
    QMessageBox box(parent_);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(QString::fromStdString(r.text));
    switch (r.icon) {
    case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
    case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
    case PromptIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    switch (r.buttons) {
    case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case PromptButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    box.setDefaultButton(ButtonOf(r.defaultAnswer));
    switch (box.exec()) {
    case QMessageBox::Yes: return PromptAnswer::Yes;
    case QMessageBox::No: return PromptAnswer::No;
    case QMessageBox::Cancel: return PromptAnswer::Cancel;
    case QMessageBox::Ok: return PromptAnswer::Ok;
    default:
        // Closing the box: Cancel where offered, else the safe answer.
        if (r.buttons == PromptButtons::YesNoCancel) return PromptAnswer::Cancel;
        return r.buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
    }
}

namespace {
// Qt's own file dialog draws with the application's palette and fonts, so it
// matches the editor whatever dialogs the desktop offers; it opens wide enough
// for its name, size, type and date columns to show whole.
void PrepareFileDialog(QFileDialog& dlg) {
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.resize(std::max(dlg.width(), 760), std::max(dlg.height(), 460));
    // The detail view's size, type and date columns take their texts' width;
    // the name column takes the rest.
    if (auto* tree = dlg.findChild<QTreeView*>("treeView")) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        for (int c = 0; c < header->count(); ++c)
            header->setSectionResizeMode(c, c == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    }
}
}  // namespace

std::vector<std::string> QtPrompts::AskOpenFiles(const OpenFileRequest& r) {
    QFileDialog dlg(parent_, TitleOf(r.title), QString::fromStdString(r.initialFolder),
                    QString::fromStdString(QtFilterText(r.filters)));
    PrepareFileDialog(dlg);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(r.multiSelect ? QFileDialog::ExistingFiles
                                  : (r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
    if (!r.defaultExtension.empty()) dlg.setDefaultSuffix(QString::fromStdString(r.defaultExtension));
    std::vector<std::string> out;
    if (dlg.exec() != QDialog::Accepted) return out;
    for (const QString& f : dlg.selectedFiles()) out.push_back(f.toStdString());
    if (!r.multiSelect && out.size() > 1) out.resize(1);
    return out;
}

std::optional<std::string> QtPrompts::AskSaveFile(const SaveFileRequest& r) {
    QFileDialog dlg(parent_, TitleOf(r.title), QString::fromStdString(r.proposedName),
                    QString::fromStdString(QtFilterText(r.filters)));
    PrepareFileDialog(dlg);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (!r.defaultExtension.empty()) dlg.setDefaultSuffix(QString::fromStdString(r.defaultExtension));
    if (!r.promptOverwrite) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().front().toStdString();
}
