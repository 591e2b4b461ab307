#pragma once
// The "Picker" property tab of the Eyedropper tool: the paint colour as
// "R, G, B" and as six hexadecimal digits, each typed into or copied to the
// clipboard. A typed colour is applied when its field loses the keyboard
// focus; an invalid one is replaced by the current colour's text. A field
// being typed in is never overwritten by a colour change elsewhere.
#include "platform/qt/WindowBase.h"
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/PropControls.h"

#include <vector>

class CPropTextButton;
class QLineEdit;

class CPropTabEyedropper : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    enum : int { kRgbEdit = 701, kHexEdit = 702, kRgbCopy = 703, kHexCopy = 704, kReadoutTimer = 57553 };

    explicit CPropTabEyedropper(QWidget* parent);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::Eyedropper, ctx); }
    std::string GetTitle() const override { return "Picker"; }
    int GetTabWidth() const override { return 64; }
    QWidget* GetWnd() override { return this; }
    void OnContext(const TabContext&) override { UpdateReadouts(true); }
    void Refresh() override { UpdateReadouts(true); }
    bool OnCommand(int id, int code, CWndBase* sender) override;
    void OnTimer(int id) override;

    // Shows the paint colour in every field not being typed in; without
    // force only when the colour changed since it was last shown.
    void UpdateReadouts(bool force);
    // Apply the field's text as the paint colour, or restore the field.
    void ApplyRgbText();
    void ApplyHexText();

    QLineEdit* RgbEdit() const { return rgb_; }
    QLineEdit* HexEdit() const { return hex_; }
    CPropTextButton* RgbCopy() const { return rgbCopy_; }
    CPropTextButton* HexCopy() const { return hexCopy_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    // Makes argb the paint colour and writes both fields in their canonical form.
    void ApplyColour(uint32_t argb);
    // The paint colour; false without a document host.
    bool ReadPaintColour(uint32_t& argb) const;
    // An invalid text is replaced by the current colour's.
    void RestoreReadouts();
    // Writes the colour into the fields; a focused field only when includeFocused.
    void WriteReadouts(uint32_t argb, bool includeFocused);

    QLineEdit* rgb_ = nullptr;
    QLineEdit* hex_ = nullptr;
    CPropTextButton* rgbCopy_ = nullptr;
    CPropTextButton* hexCopy_ = nullptr;
    std::vector<PropGroup> layout_;
    uint32_t lastShown_ = 0;
    bool shownOnce_ = false;
};

// Puts text on the clipboard as plain Unicode text.
void CopyTextToClipboard(const QString& text);

// Registers the tab with the properties pane (before the frame is created).
void RegisterEyedropperTab();
