#pragma once
// The modal adjustment dialogs: a few controls whose every change previews
// the adjustment live on the canvas; "OK" writes it into the document as one
// undo step, "Cancel" (or closing the window) puts the target back.
#include "filters/EffectPreviewSession.h"

#include <QDialog>

#include <string>

class CQuillfenEditorDoc;
class QGridLayout;
class QSlider;
class QLabel;

class CEffectDialog : public QDialog {
    Q_OBJECT
public:
    CEffectDialog(CQuillfenEditorDoc& doc, const std::string& caption, QWidget* parent = nullptr);
    ~CEffectDialog() override;

    // Opens the preview session; false when there is nothing to adjust (the
    // dialog is then not shown).
    bool Open();
    // Runs the dialog modally; false when it could not open or was cancelled.
    bool RunModal();

    // Reads the controls and shows the adjustment.
    void Preview();
    // "OK": true when written; on a failed encode the user is told and the
    // dialog stays open.
    bool CommitAndClose();
    void accept() override;
    void reject() override;

    EffectPreviewSession& Session() { return session_; }
    bool Committed() const { return committed_; }

protected:
    virtual void CreateControls(QGridLayout& rows) = 0;
    virtual EffectPixelOps GetPixelOps() const = 0;
    virtual const void* GetParams() const = 0;
    virtual void ReadControls() = 0;

private:
    CQuillfenEditorDoc& doc_;
    EffectPreviewSession session_;
    bool committed_ = false;
    bool built_ = false;
};

class CEffectBrightnessDlg : public CEffectDialog {
    Q_OBJECT
public:
    CEffectBrightnessDlg(CQuillfenEditorDoc& doc, QWidget* parent = nullptr);
    QSlider* Slider() const { return slider_; }
    float Amount() const { return amount_; }

protected:
    void CreateControls(QGridLayout& rows) override;
    EffectPixelOps GetPixelOps() const override { return {BrightnessMasked, BrightnessPlain}; }
    const void* GetParams() const override { return &amount_; }
    void ReadControls() override;

private:
    QSlider* slider_ = nullptr;
    QLabel* value_ = nullptr;
    float amount_ = 0;
};

// The "Brightness..." command's dialog over the document's selected object.
void RunBrightnessAdjustment(CQuillfenEditorDoc& doc, QWidget* parent);
