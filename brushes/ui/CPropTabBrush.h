#pragma once
// The "Brush" and "Advanced" property tabs of the painting tools: the brush
// library and its presets, the tool's two brush wells, size, opacity, flow,
// hardness and the tool's wet-paint, smudge or clone options; and the
// spacing, jitters, tip kind, tip or grain image, saving a brush into a
// library and the Brush Manager. Edits go straight into the tool's slots and
// the shared options (no undo); the paint session reads them at each stroke.
#include "brushes/BrushSettings.h"
#include "platform/qt/WindowBase.h"
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/PropControls.h"

#include <vector>

class CPropBrushLibrary;
class CPropBrushLibraryList;
class CPropBrushWell;
class CPropCheckbox;
class CPropDropdown;
class CPropNumericEdit;
class CPropSliderWnd;
class CPropTextButton;
class Prompts;

// Tools 9 to 15, 17, 26 and 27 outside the inpaint workspace.
bool BrushTabsAppliesTo(const TabContext& ctx);

// The stencil brush's Mode rows: name, blend mode, erase, detail transfer.
struct StencilModeRow {
    const char* name;
    int blendMode;
    bool erase, detail;
};
extern const StencilModeRow kStencilModeRows[11];
// The row showing the overlay's imprint settings (0 "Normal" when none matches).
int StencilModeRowFor(int blendMode, bool erase, bool detail);

class CPropTabBrush : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    // stencil: the "Brush" tab of the Stencil Kitbash tool, which adds the
    // imprint Mode list and Lock Transparency of the stencil overlay.
    explicit CPropTabBrush(QWidget* parent, bool stencil = false);

    bool AppliesTo(const TabContext& ctx) const override {
        return stencil_ ? PropTabApplies(PropTabKind::StencilBrush, ctx) : BrushTabsAppliesTo(ctx);
    }
    std::string GetTitle() const override { return "Brush"; }
    int GetTabWidth() const override { return 80; }
    QWidget* GetWnd() override { return this; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override;
    void OnLibrariesChanged() override;
    bool OnCommand(int id, int code, CWndBase* sender) override;

    // For tests: the control with the id, and the laid-out tool.
    QWidget* Control(int id) const;
    int LaidOutTool() const { return laidOutTool_; }
    void SetTool(int tool);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    ToolBrushSettings& Block() const;
    ToolBrushSlot& ActiveSlot() const;
    void RebuildToolPanels();
    void UpdateWells();
    void SyncControls();
    void ClearPreset();
    void Layout();

    CPropBrushLibraryList* libraryList_ = nullptr;
    CPropBrushLibrary* presets_ = nullptr;
    CPropBrushWell* wells_[2] = {};
    CPropSliderWnd *size_ = nullptr, *opacity_ = nullptr, *flow_ = nullptr, *hardness_ = nullptr;
    CPropSliderWnd *wet_ = nullptr, *load_ = nullptr, *mix_ = nullptr, *strength_ = nullptr;
    CPropCheckbox *loadAfter_ = nullptr, *cleanAfter_ = nullptr;
    CPropCheckbox *aligned_ = nullptr, *allLayers_ = nullptr, *freeze_ = nullptr;
    CPropDropdown* mode_ = nullptr;
    CPropCheckbox* lockTransparency_ = nullptr;
    bool stencil_ = false;
    std::vector<PropGridPanel> panels_;
    int tool_ = 9;
    int laidOutTool_ = 0;
    bool syncing_ = false;
};

class CPropTabBrushAdvanced : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    explicit CPropTabBrushAdvanced(QWidget* parent);

    bool AppliesTo(const TabContext& ctx) const override { return BrushTabsAppliesTo(ctx); }
    std::string GetTitle() const override { return "Advanced"; }
    int GetTabWidth() const override { return 80; }
    QWidget* GetWnd() override { return this; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override { SyncControls(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;

    // Loads a tip (or, for the textured tip, grain) image file into the slot;
    // false with a message when it cannot be read.
    bool LoadImageFile(const std::string& path);
    // The Save button's work after the dialog: add the slot's brush to the
    // chosen library (0 current, 1 "user.brs", 2 the new file) and save it.
    void SaveBrushTo(int choice, const std::string& name, const std::string& newLibraryFile);
    QWidget* Control(int id) const;
    void SetTool(int tool);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    ToolBrushSlot& ActiveSlot() const;
    void SyncControls();
    void UpdateTipControls();
    void ApplyControl(int id);
    void RunSave();
    void RunManager();
    Prompts* prompts() const;
    void Broadcast();

    CPropNumericEdit* edits_[9] = {};
    CPropDropdown* tipList_ = nullptr;
    CPropTextButton *loadImage_ = nullptr, *save_ = nullptr, *manage_ = nullptr;
    std::vector<PropGridPanel> panels_;
    int tool_ = 9;
    bool syncing_ = false;
};

// Registers both tabs with the properties pane (call before the frame exists).
void RegisterBrushTabs();
// Where the brush tabs ask their questions (the application's prompts).
void SetBrushTabPrompts(Prompts* prompts);
