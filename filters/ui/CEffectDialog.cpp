#include "filters/ui/CEffectDialog.h"

#include "document/CQuillfenEditorDoc.h"
#include "platform/qt/ShellFonts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

CEffectDialog::CEffectDialog(CQuillfenEditorDoc& doc, const std::string& caption, QWidget* parent)
    : QDialog(parent), doc_(doc) {
    setWindowTitle(QString::fromStdString(caption));
    setModal(true);
    setStyleSheet(
        "QDialog { background: #32363C; } QLabel { color: #DCE2EB; }"
        "QPushButton { color: #DCE2EB; background: #3B434E; border: 1px solid #484E56; min-width: 80px; "
        "min-height: 26px; } QPushButton:hover { background: #485F7E; }");
}

CEffectDialog::~CEffectDialog() {
    // A dialog destroyed while still previewing gives the target back.
    if (session_.IsOpen() && !committed_) session_.Restore();
}

bool CEffectDialog::Open() {
    if (!session_.Open(doc_)) return false;
    if (!built_) {
        built_ = true;
        auto* outer = new QVBoxLayout(this);
        auto* rows = new QGridLayout();
        outer->addLayout(rows);
        CreateControls(*rows);
        auto* buttons = new QHBoxLayout();
        buttons->addStretch(1);
        auto* cancel = new QPushButton("Cancel", this);
        auto* ok = new QPushButton("OK", this);
        ok->setDefault(true);
        buttons->addWidget(cancel);
        buttons->addWidget(ok);
        outer->addLayout(buttons);
        connect(ok, &QPushButton::clicked, this, &CEffectDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &CEffectDialog::reject);
        setMinimumWidth(12 + 208);
    }
    return true;
}

bool CEffectDialog::RunModal() {
    if (!Open()) return false;
    return exec() == QDialog::Accepted;
}

void CEffectDialog::Preview() {
    if (!session_.IsOpen()) return;
    ReadControls();
    session_.Apply(GetPixelOps(), GetParams());
}

bool CEffectDialog::CommitAndClose() {
    ReadControls();
    switch (session_.Commit(GetPixelOps(), GetParams())) {
        case PreviewCommit::Failed:
            QMessageBox::warning(this, windowTitle(),
                                 "The adjusted image could not be stored. Nothing was changed; "
                                 "try again or cancel.");
            return false;
        case PreviewCommit::Done:
        case PreviewCommit::NotOpen:
            break;
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

void CEffectBrightnessDlg::CreateControls(QGridLayout& rows) {
    auto* label = new QLabel("Brightness", this);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(-100, 100);
    slider_->setValue(0);
    slider_->setMinimumWidth(208);
    value_ = new QLabel("0", this);
    value_->setMinimumWidth(32);
    rows.addWidget(label, 0, 0);
    rows.addWidget(slider_, 0, 1);
    rows.addWidget(value_, 0, 2);
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        value_->setText(QString::number(v));
        Preview();
    });
}

void CEffectBrightnessDlg::ReadControls() { amount_ = slider_ ? float(slider_->value()) : 0.0f; }

void RunBrightnessAdjustment(CQuillfenEditorDoc& doc, QWidget* parent) {
    CEffectBrightnessDlg dialog(doc, parent);
    dialog.RunModal();
}
