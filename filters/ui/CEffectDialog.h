#pragma once
// The modal adjustment dialogs: a few property controls whose every change
// previews the adjustment live on the canvas; "OK" writes it into the
// document as one undo step, "Cancel" (or closing the window) puts the target
// back.
#include "filters/EffectPreviewSession.h"
#include "properties/ui/PropControls.h"

#include <QDialog>

#include <string>
#include <vector>

class CQuillfenEditorDoc;
class CPropSliderWnd;
class CPropTextButton;
class CWndBase;

class CEffectDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOkId = 2001;
    static constexpr int kCancelId = 2002;

    CEffectDialog(CQuillfenEditorDoc& doc, const std::string& caption, QWidget* parent = nullptr);
    ~CEffectDialog() override;

    // Opens the preview session and builds the controls; false when there is
    // nothing to adjust (the dialog is then not shown).
    bool Open();
    // Runs the dialog modally; false when it could not open or was cancelled.
    bool RunModal();

    // The commands of the dialog's controls: the buttons' clicks, and the
    // value controls' changes, which preview. True when taken.
    bool OnCommand(int id, int code);
    // Reads the controls and shows the adjustment.
    void Preview();
    // "OK": true when written; when the result cannot be stored the user is
    // told and the dialog stays open with its preview.
    bool CommitAndClose();
    void accept() override;
    void reject() override;

    EffectPreviewSession& Session() { return session_; }
    bool Committed() const { return committed_; }
    // The window the controls live in (it fills the dialog).
    CWndBase* Client() const { return client_; }
    CPropTextButton* OkButton() const { return ok_; }
    CPropTextButton* CancelButton() const { return cancel_; }

protected:
    // Creates the controls as children of the client and appends their
    // layout columns (the property grid's panels).
    virtual void CreateControls(CWndBase& client, std::vector<PropGridPanel>& rows) = 0;
    virtual EffectPixelOps GetPixelOps() const = 0;
    virtual const void* GetParams() const = 0;
    virtual void ReadControls() = 0;

private:
    // Sizes the dialog to its columns and rows and places the controls and buttons.
    void LayoutControls();

    CQuillfenEditorDoc& doc_;
    EffectPreviewSession session_;
    std::vector<PropGridPanel> rows_;
    CWndBase* client_ = nullptr;
    CPropTextButton* ok_ = nullptr;
    CPropTextButton* cancel_ = nullptr;
    bool committed_ = false;
    bool built_ = false;
};

class CEffectBrightnessDlg : public CEffectDialog {
    Q_OBJECT
public:
    static constexpr int kSliderId = 2101;

    CEffectBrightnessDlg(CQuillfenEditorDoc& doc, QWidget* parent = nullptr);
    CPropSliderWnd* Slider() const { return slider_; }
    float Amount() const { return amount_; }

protected:
    void CreateControls(CWndBase& client, std::vector<PropGridPanel>& rows) override;
    EffectPixelOps GetPixelOps() const override { return {BrightnessMasked, BrightnessPlain}; }
    const void* GetParams() const override { return &amount_; }
    void ReadControls() override;

private:
    CPropSliderWnd* slider_ = nullptr;
    float amount_ = 0;
};

// The "Brightness..." command's dialog over the document's selected object.
void RunBrightnessAdjustment(CQuillfenEditorDoc& doc, QWidget* parent);
