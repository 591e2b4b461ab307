#include "filters/ui/CEffectDialog.h"

#include "document/CQuillfenEditorDoc.h"
#include "platform/Log.h"
#include "platform/Prompts.h"
#include "platform/qt/CMemDC2.h"
#include "platform/qt/WindowBase.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropSliderWnd.h"

#include <QPaintEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kDialogBackground = 0xFF32363C;
constexpr int kRowHeight = 27;
constexpr int kButtonWidth = 80, kButtonHeight = 26;

// The dialog's client area: the property controls report to their parent
// window, which hands every command on to the dialog.
class EffectDialogClient : public CWndBase {
public:
    EffectDialogClient(CEffectDialog& dialog) : CWndBase(&dialog), dialog_(dialog) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    bool OnCommand(int id, int code, CWndBase* sender) override {
        return dialog_.OnCommand(id, code) || CWndBase::OnCommand(id, code, sender);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        CMemDC2 mem(this, e->rect());
        mem.Painter().fillRect(rect(), ArgbColor(kDialogBackground));
    }

private:
    CEffectDialog& dialog_;
};

}  // namespace

CEffectDialog::CEffectDialog(CQuillfenEditorDoc& doc, const std::string& caption, QWidget* parent)
    : QDialog(parent), doc_(doc) {
    setWindowTitle(QString::fromStdString(caption));
    setModal(true);
    setWindowFlags((windowFlags() | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                    Qt::WindowCloseButtonHint) &
                   ~Qt::WindowContextHelpButtonHint);
}

CEffectDialog::~CEffectDialog() {
    // A dialog destroyed while still previewing gives the target back.
    if (session_.IsOpen() && !committed_) session_.Restore();
}

bool CEffectDialog::Open() {
    if (!session_.Open(doc_)) return false;
    if (!built_) {
        built_ = true;
        client_ = new EffectDialogClient(*this);
        cancel_ = new CPropTextButton(client_);
        if (cancel_->Create(client_, kCancelId, "Cancel", QRect(0, 0, kButtonWidth, kButtonHeight))) cancel_->show();
        ok_ = new CPropTextButton(client_);
        if (ok_->Create(client_, kOkId, "OK", QRect(0, 0, kButtonWidth, kButtonHeight))) ok_->show();
        rows_.clear();
        CreateControls(*client_, rows_);
        LayoutControls();
        client_->show();
    }
    return true;
}

void CEffectDialog::LayoutControls() {
    int n = 4;
    if (!rows_.empty()) {
        n = 1;
        for (const PropGridPanel& p : rows_) n = std::max(n, int(p.rows));
    }
    const int columns = std::max(1, int(rows_.size()));
    const int width = 12 + 208 + 212 * (columns - 1);
    const int height = kRowHeight * n + 20 + 34;
    setFixedSize(width, height);
    client_->setGeometry(0, 0, width, height);
    MoveChildWindow(QRect(0, 0, width, height), rows_);
    const int buttonTop = kRowHeight * n + 20;
    if (ok_) ok_->setGeometry(width - 86, buttonTop, kButtonWidth, kButtonHeight), ok_->show();
    if (cancel_) cancel_->setGeometry(width - 172, buttonTop, kButtonWidth, kButtonHeight), cancel_->show();
}

bool CEffectDialog::RunModal() {
    if (!Open()) return false;
    return exec() == QDialog::Accepted;
}

bool CEffectDialog::OnCommand(int id, int code) {
    if (id == kOkId && code == kPropClick) {
        accept();
        return true;
    }
    if (id == kCancelId && code == kPropClick) {
        reject();
        return true;
    }
    if (code == kPropChanged || code == kPropEnd) {
        Preview();
        return true;
    }
    return code == kPropBegin;
}

void CEffectDialog::Preview() {
    if (!session_.IsOpen()) return;
    ReadControls();
    session_.Apply(GetPixelOps(), GetParams());
}

bool CEffectDialog::CommitAndClose() {
    ReadControls();
    if (session_.Commit(GetPixelOps(), GetParams()) == PreviewCommit::Failed) {
        const std::string text =
            "The adjusted image could not be stored. Nothing was changed; try again or cancel.";
        if (Prompts* prompts = doc_.Host() ? doc_.Host()->GetPrompts() : nullptr)
            prompts->Fail(text);
        else
            LogError(text);
        return false;
    }
    committed_ = true;
    QDialog::accept();
    return true;
}

void CEffectDialog::accept() { CommitAndClose(); }

void CEffectDialog::reject() {
    if (session_.IsOpen()) session_.Restore();
    QDialog::reject();
}

CEffectBrightnessDlg::CEffectBrightnessDlg(CQuillfenEditorDoc& doc, QWidget* parent)
    : CEffectDialog(doc, "Brightness", parent) {}

void CEffectBrightnessDlg::CreateControls(CWndBase& client, std::vector<PropGridPanel>& rows) {
    slider_ = new CPropSliderWnd(&client);
    if (!slider_->Create(&client, kSliderId, QRect(0, 0, 206, 25))) {
        delete slider_;
        slider_ = nullptr;
        return;
    }
    slider_->SetRange(-100, 100);
    slider_->SetDecimals(0);
    slider_->SetValue(0);
    slider_->show();
    PropGridPanel panel;
    panel.rows = 1;
    PropGridCell cell;
    cell.columnSpan = 4;
    cell.window = slider_;
    panel.cells.push_back(cell);
    rows.push_back(panel);
}

void CEffectBrightnessDlg::ReadControls() { amount_ = slider_ ? std::round(slider_->value) : 0.0f; }

void RunBrightnessAdjustment(CQuillfenEditorDoc& doc, QWidget* parent) {
    CEffectBrightnessDlg dialog(doc, parent);
    dialog.RunModal();
}
