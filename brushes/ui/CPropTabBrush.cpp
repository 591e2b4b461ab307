#include "brushes/ui/CPropTabBrush.h"

#include "brushes/BrushLibrary.h"
#include "brushes/BrushLibraryEdits.h"
#include "brushes/StencilOverlay.h"
#include "brushes/ui/CBrushControls.h"
#include "brushes/ui/CBrushDialogs.h"
#include "document/CQuillfenEditorDoc.h"
#include "platform/Files.h"
#include "platform/Prompts.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSliderWnd.h"
#include "properties/ui/CPropertiesPane.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

Prompts* brushTabPrompts = nullptr;

enum BrushTabIds : int {
    kLibraryList = 398, kPresets = 399, kWell0 = 400, kSize = 401, kOpacity = 402, kFlow = 403, kHardness = 404,
    kWell1 = 405, kWet = 420, kLoad = 421, kMix = 422, kLoadAfter = 423, kCleanAfter = 424, kStrength = 430,
    kAligned = 440, kAllLayers = 441, kFreeze = 442, kMode = 410, kLockTransparency = 411,
};

enum BrushLabel : int { kLabelSize = 1, kLabelOpacity = 2, kLabelFlow = 3, kLabelHardness = 4, kLabelWet = 10,
                        kLabelLoad = 11, kLabelMix = 12, kLabelStrength = 20, kLabelMode = 30 };

const char* LabelText(int tag) {
    switch (tag) {
    case kLabelSize: return "Size";
    case kLabelOpacity: return "Opacity";
    case kLabelFlow: return "Flow";
    case kLabelHardness: return "Hardness";
    case kLabelWet: return "Wet";
    case kLabelLoad: return "Load";
    case kLabelMix: return "Mix";
    case kLabelStrength: return "Strength";
    case kLabelMode: return "Mode";
    default: return nullptr;
    }
}

PropGridCell Label(int tag, int column, int row) {
    PropGridCell c;
    c.noWindow = true;
    c.column = column;
    c.row = row;
    c.label = tag;
    return c;
}

PropGridCell Cell(QWidget* w, int column, int row, int columnSpan, int rowSpan = 1) {
    PropGridCell c;
    c.window = w;
    c.column = column;
    c.row = row;
    c.columnSpan = columnSpan;
    c.rowSpan = rowSpan;
    return c;
}

CPropSliderWnd* MakeSlider(QWidget* parent, int id, float lo, float hi, float exponent, const char* suffix) {
    auto* s = new CPropSliderWnd(parent);
    s->Create(parent, id, QRect(0, 0, 154, 25));
    s->SetRange(lo, hi);
    s->SetExponent(exponent);
    s->SetDecimals(0);
    s->SetSuffix(suffix);
    s->ShowValueBox(true);
    return s;
}

CPropCheckbox* MakeCheckbox(QWidget* parent, int id, const char* label) {
    auto* c = new CPropCheckbox(parent);
    c->Create(parent, id, label, QRect(0, 0, 206, 25));
    return c;
}

void SetSlider(CPropSliderWnd* s, float v) {
    if (s->value != v) s->SetValue(v);
}

void PaintLabels(QWidget* w, QPaintEvent* e, const std::vector<PropGridPanel>& panels,
                 const char* (*text)(int)) {
    QPainter p(w);
    p.fillRect(e->rect(), ArgbColor(kPropPanelBackground));
    const QFont font = CreateUiFont(10);
    for (const PropGridPanel& panel : panels)
        for (const PropGridCell& c : panel.cells) {
            if (!c.noWindow || !c.label) continue;
            const char* t = text(c.label);
            if (!t) continue;
            const QRect r(c.left, c.top, c.right - c.left - 4, c.bottom - c.top);
            p.setFont(font);
            p.setPen(ArgbColor(kPropCaption));
            p.drawText(r, Qt::AlignRight | Qt::AlignVCenter, t);
        }
}

}  // namespace

const StencilModeRow kStencilModeRows[11] = {
    {"Normal", 0, false, false},   {"Multiply", 4, false, false},    {"Screen", 10, false, false},
    {"Overlay", 15, false, false}, {"Soft Light", 16, false, false}, {"Color Dodge", 11, false, false},
    {"Add", 14, false, false},     {"Luminosity", 29, false, false}, {"Detail Transfer", 0, false, true},
    {"", 0, false, false},         {"Erase", 0, true, false},
};

int StencilModeRowFor(int blendMode, bool erase, bool detail) {
    for (int i = 0; i < 11; ++i) {
        const StencilModeRow& r = kStencilModeRows[i];
        if (detail ? r.detail : (erase ? r.erase : (!r.erase && !r.detail && r.name[0] && r.blendMode == blendMode)))
            return i;
    }
    return 0;
}

bool BrushTabsAppliesTo(const TabContext& ctx) {
    if (ctx.mode == kWorkspaceInpaint) return false;
    const int t = ctx.tool;
    return (t >= kToolPaintBrush && t <= kToolRecolorBrush) || t == kToolEraser || t == kToolPaintMask ||
           t == kToolEraseMask;
}

void SetBrushTabPrompts(Prompts* prompts) { brushTabPrompts = prompts; }

// ================================================================== Brush tab

CPropTabBrush::CPropTabBrush(QWidget* parent, bool stencil) : CWndBase(parent), stencil_(stencil) {
    if (stencil_) tool_ = kToolStencilKitbash;
    libraryList_ = new CPropBrushLibraryList(this, kLibraryList);
    presets_ = new CPropBrushLibrary(this, kPresets);
    wells_[0] = new CPropBrushWell(this, kWell0);
    wells_[1] = new CPropBrushWell(this, kWell1);
    size_ = MakeSlider(this, kSize, 1, 500, 2.5f, " px");
    opacity_ = MakeSlider(this, kOpacity, 0, 100, 1, " %");
    flow_ = MakeSlider(this, kFlow, 0, 100, 1, " %");
    hardness_ = MakeSlider(this, kHardness, 0, 100, 1, " %");
    wet_ = MakeSlider(this, kWet, 0, 100, 1, " %");
    load_ = MakeSlider(this, kLoad, 0, 100, 1, " %");
    mix_ = MakeSlider(this, kMix, 0, 100, 1, " %");
    loadAfter_ = MakeCheckbox(this, kLoadAfter, "Load after stroke");
    cleanAfter_ = MakeCheckbox(this, kCleanAfter, "Clean after stroke");
    strength_ = MakeSlider(this, kStrength, 0, 100, 1, " %");
    aligned_ = MakeCheckbox(this, kAligned, "Aligned");
    allLayers_ = MakeCheckbox(this, kAllLayers, "All Layers");
    freeze_ = MakeCheckbox(this, kFreeze, "Freeze Source");
    if (stencil_) {
        mode_ = new CPropDropdown(this);
        mode_->Create(this, kMode, QRect(0, 0, 154, 25));
        std::vector<std::string> names;
        for (const StencilModeRow& r : kStencilModeRows) names.push_back(r.name);
        mode_->SetItems(names);
        lockTransparency_ = MakeCheckbox(this, kLockTransparency, "Lock Transparency");
    }
    UpdateWells();
    RebuildToolPanels();
    SyncControls();
}

ToolBrushSettings& CPropTabBrush::Block() const { return *GetToolBrushSettings(tool_); }
ToolBrushSlot& CPropTabBrush::ActiveSlot() const { return Block().ActiveSlot(); }

QWidget* CPropTabBrush::Control(int id) const {
    for (QObject* o : children())
        if (auto* w = qobject_cast<CWndBase*>(o); w && w->GetDlgCtrlID() == id) return w;
    return nullptr;
}

void CPropTabBrush::SetTool(int tool) {
    tool_ = tool;
    if (tool_ != laidOutTool_) RebuildToolPanels();
    UpdateWells();
    SyncControls();
}

void CPropTabBrush::OnContext(const TabContext& ctx) { SetTool(ctx.tool); }

void CPropTabBrush::Refresh() {
    if (tool_ != laidOutTool_) {
        RebuildToolPanels();
        UpdateWells();
    }
    wells_[0]->update();
    wells_[1]->update();
    presets_->ClampSelection();
    libraryList_->Reload();
    SyncControls();
}

void CPropTabBrush::OnLibrariesChanged() {
    libraryList_->Reload();
    presets_->SetSelectedIndex(-1);
    presets_->ClampSelection();
    ClearBrushPresetIndices();
}

void CPropTabBrush::UpdateWells() {
    ToolBrushSettings& block = Block();
    wells_[0]->SetSlot(&block.toolSlots[0]);
    wells_[1]->SetSlot(&block.toolSlots[1]);
    const int active = std::clamp(block.activeSlot, 0, 1);
    wells_[0]->SetActive(active == 0);
    wells_[1]->SetActive(active == 1);
}

void CPropTabBrush::ClearPreset() {
    ActiveSlot().presetIndex = -1;
    presets_->SetSelectedIndex(-1);
}

void CPropTabBrush::SyncControls() {
    syncing_ = true;
    const ToolBrushSlot& slot = ActiveSlot();
    const BrushSettings& s = slot.settings;
    const BrushToolOptions& o = GetBrushToolOptions();
    auto pct = [](float v) { return std::clamp(v * 100.0f, 0.0f, 100.0f); };
    SetSlider(size_, std::clamp(s.size, 1.0f, 500.0f));
    SetSlider(opacity_, pct(s.opacity));
    SetSlider(flow_, pct(s.flow));
    SetSlider(hardness_, pct(s.hardness));
    hardness_->setEnabled(s.tipKind != kBrushTipBitmap);
    SetSlider(wet_, pct(o.wet));
    SetSlider(load_, pct(o.load));
    SetSlider(mix_, pct(o.mix));
    SetSlider(strength_, pct(o.strength));
    loadAfter_->SetCheck(o.loadAfterStroke);
    cleanAfter_->SetCheck(o.cleanAfterStroke);
    aligned_->SetCheck(o.aligned);
    allLayers_->SetCheck(o.allLayers);
    freeze_->SetCheck(o.freezeSource);
    presets_->SetSelectedIndex(slot.presetIndex);
    if (stencil_) {
        if (const StencilOverlay* overlay = GetCurrentStencilOverlay()) {
            const int row = StencilModeRowFor(overlay->imprint.blendMode, overlay->imprint.eraseMode,
                                              overlay->imprint.detailTransfer);
            if (mode_->selected != row) {
                mode_->SetCurSel(row);
                mode_->update();
            }
            lockTransparency_->SetCheck(overlay->imprint.lockTransparency);
        }
    }
    syncing_ = false;
}

void CPropTabBrush::RebuildToolPanels() {
    const int t = tool_;
    panels_.clear();
    PropGridPanel first{4, {Cell(libraryList_, 0, 0, 2, 4), Cell(presets_, 2, 0, 2, 4)}};
    PropGridPanel second{4, {Cell(wells_[0], 0, 0, 2, 4), Cell(wells_[1], 2, 0, 2, 4)}};
    PropGridPanel third{4, {Label(kLabelSize, 0, 0), Cell(size_, 1, 0, 3), Label(kLabelHardness, 0, 1),
                            Cell(hardness_, 1, 1, 3)}};
    panels_ = {first, second, third};
    for (QWidget* w : std::initializer_list<QWidget*>{opacity_, flow_, wet_, load_, mix_, loadAfter_, cleanAfter_,
                                                       strength_, aligned_, allLayers_, freeze_})
        w->hide();

    if (stencil_) {
        panels_.push_back(PropGridPanel{4, {Label(kLabelOpacity, 0, 0), Cell(opacity_, 1, 0, 3), Label(kLabelFlow, 0, 1),
                                            Cell(flow_, 1, 1, 3), Label(kLabelMode, 0, 2), Cell(mode_, 1, 2, 3),
                                            Cell(lockTransparency_, 1, 3, 3)}});
        laidOutTool_ = t;
        Layout();
        update();
        return;
    }
    PropGridPanel fourth{4, {}};
    const bool opacity = t == kToolPaintBrush || t == kToolCloneBrush || t == kToolHealingCloneBrush ||
                         t == kToolRecolorBrush || t == kToolEraser || t == kToolPaintMask || t == kToolEraseMask;
    if (opacity) {
        fourth.cells.push_back(Label(kLabelOpacity, 0, 0));
        fourth.cells.push_back(Cell(opacity_, 1, 0, 3));
    }
    if (t != kToolSmudgeBrush) {
        const int row = opacity ? 1 : 0;
        fourth.cells.push_back(Label(kLabelFlow, 0, row));
        fourth.cells.push_back(Cell(flow_, 1, row, 3));
    }
    if (t == kToolMixerBrush) {
        fourth.cells.push_back(Cell(loadAfter_, 0, 2, 4));
        fourth.cells.push_back(Cell(cleanAfter_, 0, 3, 4));
    }
    if (!fourth.cells.empty()) panels_.push_back(fourth);

    PropGridPanel fifth{4, {}};
    if (t == kToolMixerBrush) {
        fifth.cells = {Label(kLabelWet, 0, 0), Cell(wet_, 1, 0, 3), Label(kLabelLoad, 0, 1), Cell(load_, 1, 1, 3),
                       Label(kLabelMix, 0, 2), Cell(mix_, 1, 2, 3)};
    } else if (t == kToolBlendBrush) {
        fifth.cells = {Label(kLabelWet, 0, 0), Cell(wet_, 1, 0, 3), Label(kLabelMix, 0, 1), Cell(mix_, 1, 1, 3)};
    } else if (t == kToolSmudgeBrush) {
        fifth.cells = {Label(kLabelStrength, 0, 0), Cell(strength_, 1, 0, 3)};
    } else if (t == kToolCloneBrush || t == kToolHealingCloneBrush) {
        fifth.cells = {Cell(aligned_, 0, 0, 4), Cell(allLayers_, 0, 1, 4), Cell(freeze_, 0, 2, 4)};
    }
    if (!fifth.cells.empty()) panels_.push_back(fifth);
    laidOutTool_ = t;
    Layout();
    update();
}

void CPropTabBrush::Layout() {
    if (rect().isEmpty()) return;
    MoveChildWindow(rect(), panels_);
    // In a pane taller than the grid the two lists take the height there is,
    // so more presets and libraries show at once.
    for (QWidget* list : {static_cast<QWidget*>(libraryList_), static_cast<QWidget*>(presets_)}) {
        const int bottom = height() - kPropGridMargin;
        if (list->geometry().bottom() + 1 < bottom) list->resize(list->width(), bottom - list->y());
    }
}

void CPropTabBrush::resizeEvent(QResizeEvent*) {
    Layout();
    update();
}

void CPropTabBrush::paintEvent(QPaintEvent* e) { PaintLabels(this, e, panels_, LabelText); }

bool CPropTabBrush::OnCommand(int id, int code, CWndBase* sender) {
    ToolBrushSettings& block = Block();
    ToolBrushSlot& slot = ActiveSlot();
    BrushToolOptions& o = GetBrushToolOptions();
    switch (id) {
    case kLibraryList:
        if (code != kPropClick) break;
        presets_->ClampSelection();
        ClearPreset();
        ClearBrushPresetIndices();
        return true;
    case kPresets:
        if (code != kPropClick) break;
        if (const BrushSettings* preset = presets_->GetSelectedEntry()) {
            slot.settings = *preset;
            slot.presetIndex = presets_->SelectedIndex();
            SyncControls();
            wells_[0]->update();
            wells_[1]->update();
        }
        return true;
    case kWell0:
    case kWell1: {
        if (code != kPropClick) break;
        const int index = id == kWell0 ? 0 : 1;
        if (std::clamp(block.activeSlot, 0, 1) != index) block.activeSlot = index;
        UpdateWells();
        SyncControls();
        return true;
    }
    default: break;
    }
    if (syncing_) return CWndBase::OnCommand(id, code, sender);
    const bool slider = id == kSize || id == kOpacity || id == kFlow || id == kHardness || id == kWet ||
                        id == kLoad || id == kMix || id == kStrength;
    if (slider && code != kPropChanged) return CWndBase::OnCommand(id, code, sender);
    auto value = [&](int which) { return static_cast<CPropSliderWnd*>(Control(which))->value; };
    switch (id) {
    case kSize:
        slot.settings.size = value(kSize);
        wells_[std::clamp(block.activeSlot, 0, 1)]->update();
        return true;
    case kOpacity: slot.settings.opacity = value(kOpacity) * 0.01f; ClearPreset(); return true;
    case kFlow: slot.settings.flow = value(kFlow) * 0.01f; ClearPreset(); return true;
    case kHardness:
        slot.settings.hardness = value(kHardness) * 0.01f;
        wells_[std::clamp(block.activeSlot, 0, 1)]->update();
        ClearPreset();
        return true;
    case kWet: o.wet = value(kWet) * 0.01f; return true;
    case kLoad: o.load = value(kLoad) * 0.01f; return true;
    case kMix: o.mix = value(kMix) * 0.01f; return true;
    case kStrength: o.strength = value(kStrength) * 0.01f; return true;
    case kLoadAfter: o.loadAfterStroke = loadAfter_->checked; return true;
    case kCleanAfter: o.cleanAfterStroke = cleanAfter_->checked; return true;
    case kAligned: o.aligned = aligned_->checked; return true;
    case kAllLayers: o.allLayers = allLayers_->checked; return true;
    case kFreeze: o.freezeSource = freeze_->checked; return true;
    case kMode:
    case kLockTransparency: {
        StencilOverlay* overlay = GetCurrentStencilOverlay();
        if (!stencil_ || !overlay || code != kPropClick) return true;
        if (id == kLockTransparency) {
            overlay->imprint.lockTransparency = lockTransparency_->checked;
            return true;
        }
        const int row = mode_->selected;
        if (row < 0 || row > 10) return true;
        const StencilModeRow& r = kStencilModeRows[row];
        if (!r.name[0]) {
            // The blank row between the groups is not a mode: show the current one again.
            mode_->SetCurSel(StencilModeRowFor(overlay->imprint.blendMode, overlay->imprint.eraseMode,
                                               overlay->imprint.detailTransfer));
            mode_->update();
            return true;
        }
        overlay->imprint.blendMode = r.blendMode;
        overlay->imprint.eraseMode = r.erase;
        overlay->imprint.detailTransfer = r.detail;
        overlay->EnsureDetailCopy();  // made now rather than when the next stroke begins
        if (CQuillfenEditorDoc* doc = GetActiveDocument()) doc->RefreshAllViews();
        return true;
    }
    default: return CWndBase::OnCommand(id, code, sender);
    }
}

// ================================================================== Advanced tab

namespace {

enum AdvancedIds : int { kSpacing = 500, kLoadImage = 511, kTipList = 510, kSave = 520, kManage = 521 };

struct EditSpec {
    const char* label;
    float lo, hi, step;
    int decimals;
    float BrushSettings::*field;
};
const EditSpec kEdits[9] = {
    {"Spacing", 1, 200, 1, 0, &BrushSettings::spacing},
    {"Spacing Jitter", 0, 100, 1, 0, &BrushSettings::spacingJitter},
    {"Size Jitter", 0, 100, 1, 0, &BrushSettings::sizeJitter},
    {"Opacity Jitter", 0, 100, 1, 0, &BrushSettings::opacityJitter},
    {"Hue Jitter", 0, 100, 0.5f, 1, &BrushSettings::hueJitter},
    {"Saturation Jitter", 0, 100, 0.5f, 1, &BrushSettings::saturationJitter},
    {"Brightness Jitter", 0, 100, 0.5f, 1, &BrushSettings::brightnessJitter},
    {"Angle Jitter", 0, 100, 1, 0, &BrushSettings::angleJitter},
    {"Angle Step", 0, 100, 1, 0, &BrushSettings::angleStep},
};

const char* AdvancedLabel(int tag) { return tag == 1 ? "Tip" : nullptr; }

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

}  // namespace

CPropTabBrushAdvanced::CPropTabBrushAdvanced(QWidget* parent) : CWndBase(parent) {
    for (int i = 0; i < 9; ++i) {
        auto* e = new CPropNumericEdit(this);
        e->Create(this, kSpacing + i, QRect(0, 0, 206, 25));
        e->SetLabel(kEdits[i].label);
        e->SetLabelWidth(150);
        e->SetRange(kEdits[i].lo, kEdits[i].hi);
        e->SetStep(kEdits[i].step);
        e->SetDragStep(kEdits[i].step);
        e->SetPixelsPerStep(1);
        e->SetDecimals(kEdits[i].decimals);
        edits_[i] = e;
    }
    tipList_ = new CPropDropdown(this);
    tipList_->Create(this, kTipList, QRect(0, 0, 154, 25));
    tipList_->SetItems({"Round Dynamic", "Bitmap", "Textured"});
    loadImage_ = new CPropTextButton(this);
    loadImage_->Create(this, kLoadImage, "Load Image", QRect(0, 0, 154, 25));
    save_ = new CPropTextButton(this);
    save_->Create(this, kSave, "Save", QRect(0, 0, 102, 25));
    manage_ = new CPropTextButton(this);
    manage_->Create(this, kManage, "Manage", QRect(0, 0, 102, 25));
    PropGridCell tip;
    tip.noWindow = true;
    tip.label = 1;
    panels_ = {
        PropGridPanel{4, {Cell(edits_[0], 0, 0, 4), Cell(save_, 0, 3, 2), Cell(manage_, 2, 3, 2)}},
        PropGridPanel{4, {Cell(edits_[1], 0, 0, 4), Cell(edits_[2], 0, 1, 4), Cell(edits_[3], 0, 2, 4),
                          Cell(edits_[7], 0, 3, 4)}},
        PropGridPanel{4, {Cell(edits_[4], 0, 0, 4), Cell(edits_[5], 0, 1, 4), Cell(edits_[6], 0, 2, 4),
                          Cell(edits_[8], 0, 3, 4)}},
        PropGridPanel{4, {tip, Cell(tipList_, 1, 0, 3), Cell(loadImage_, 1, 1, 3)}},
    };
    SyncControls();
}

Prompts* CPropTabBrushAdvanced::prompts() const { return brushTabPrompts; }
ToolBrushSlot& CPropTabBrushAdvanced::ActiveSlot() const { return GetToolBrushSettings(tool_)->ActiveSlot(); }

QWidget* CPropTabBrushAdvanced::Control(int id) const {
    for (QObject* o : children())
        if (auto* w = qobject_cast<CWndBase*>(o); w && w->GetDlgCtrlID() == id) return w;
    return nullptr;
}

void CPropTabBrushAdvanced::SetTool(int tool) {
    tool_ = tool;
    SyncControls();
}

void CPropTabBrushAdvanced::OnContext(const TabContext& ctx) { SetTool(ctx.tool); }

void CPropTabBrushAdvanced::SyncControls() {
    syncing_ = true;
    const BrushSettings& s = ActiveSlot().settings;
    for (int i = 0; i < 9; ++i) edits_[i]->SetValue(s.*(kEdits[i].field) * 100.0f);
    const int item = s.tipKind == kBrushTipBitmap ? 1 : (s.tipKind == kBrushTipTextured ? 2 : 0);
    if (tipList_->selected != item) {
        tipList_->SetCurSel(item);
        tipList_->update();
    }
    UpdateTipControls();
    syncing_ = false;
}

void CPropTabBrushAdvanced::UpdateTipControls() {
    const uint8_t kind = ActiveSlot().settings.tipKind;
    const bool shown = kind == kBrushTipBitmap || kind == kBrushTipTextured;
    loadImage_->setVisible(shown);
    if (shown) loadImage_->SetText(kind == kBrushTipTextured ? "Load Texture" : "Load Image");
}

void CPropTabBrushAdvanced::ApplyControl(int id) {
    ToolBrushSlot& slot = ActiveSlot();
    slot.presetIndex = -1;
    if (id >= kSpacing && id < kSpacing + 9) {
        slot.settings.*(kEdits[id - kSpacing].field) = edits_[id - kSpacing]->value * 0.01f;
    } else if (id == kTipList) {
        const int sel = tipList_->selected;
        slot.settings.tipKind = sel == 1 ? kBrushTipBitmap : (sel == 2 ? kBrushTipTextured : kBrushTipRound);
        UpdateTipControls();
    }
}

bool CPropTabBrushAdvanced::LoadImageFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    const ReadFileResult result = ReadWholeFileChecked(path, bytes, 0x2000000);
    if (result != kReadOk || bytes.empty()) {
        const bool tooLarge = result == kReadTooLarge || result == kReadEmpty || (result == kReadOk && bytes.empty());
        if (Prompts* p = prompts())
            p->Fail(tooLarge ? "File is empty or too large." : "Could not open the selected file.");
        return false;
    }
    ToolBrushSlot& slot = ActiveSlot();
    if (slot.settings.tipKind == kBrushTipTextured) {
        slot.settings.grainImage = std::move(bytes);
    } else {
        slot.settings.tipImage = std::move(bytes);
        slot.settings.tipKind = kBrushTipBitmap;
    }
    ++slot.settings.tipRevision;
    SyncControls();
    return true;
}

void CPropTabBrushAdvanced::Broadcast() { CPropertiesPane::BroadcastLibrariesChanged(); }

void CPropTabBrushAdvanced::SaveBrushTo(int choice, const std::string& typedName, const std::string& newFile) {
    BrushLibrary& current = GetBrushLibrary();
    std::string name = Trim(typedName);
    if (name.empty()) name = "Brush " + std::to_string(current.entries.size() + 1);
    const BrushSettings settings = ActiveSlot().settings;
    Prompts* p = prompts();
    auto ask = [p](const std::string& n) {
        return p && p->AskYesNo("A brush named \"" + n + "\" already exists. Replace it?", PromptIcon::Question);
    };
    auto saveFailed = [p] {
        if (p) p->Warn("Could not save the brush library to disk.");
    };
    const std::string folder = GetBrushesFolder();
    if (choice == 1 && SameName(current.name, "user.brs")) choice = 0;
    if (choice == 0) {
        if (AddOrReplaceBrush(current, name, settings, ask) && (current.path.empty() || !current.Save(current.path)))
            saveFailed();
        return;
    }
    const std::string file = choice == 1 ? std::string("user.brs") : newFile;
    if (file.empty() || folder.empty() || !IsSafeFileName(file)) {
        saveFailed();
        return;
    }
    const std::string path = folder + file;
    const bool existed = FileExists(path);
    BrushLibrary other;
    if (!LoadLibraryForAdding(path, other)) {
        // Saving would replace the user's brushes with this one brush.
        if (p)
            p->Warn("The brush library \"" + path +
                    "\" could not be read. It was left as it is and the brush was not saved into it.");
        return;
    }
    if (!AddOrReplaceBrush(other, name, settings, ask)) return;
    if (!other.Save(path)) {
        saveFailed();
        return;
    }
    if (choice == 2) {
        SelectBrushLibrary(file);
        Broadcast();
    } else if (!existed) {
        Broadcast();
    }
}

void CPropTabBrushAdvanced::RunSave() {
    CAddBrushDlg dlg(this, prompts());
    dlg.SetSettings(ActiveSlot().settings);
    dlg.SetBrushName("Brush " + std::to_string(GetBrushLibrary().entries.size() + 1));
    if (dlg.exec() != QDialog::Accepted) return;
    SaveBrushTo(dlg.Choice(), dlg.BrushName(), dlg.NewLibraryFile());
}

void CPropTabBrushAdvanced::RunManager() {
    CBrushManager dlg(this, prompts());
    dlg.exec();
    Broadcast();
}

bool CPropTabBrushAdvanced::OnCommand(int id, int code, CWndBase* sender) {
    if (id >= kSpacing && id < kSpacing + 9) {
        if (code != kPropChanged) return CWndBase::OnCommand(id, code, sender);
        if (!syncing_) ApplyControl(id);
        return true;
    }
    if (code != kPropClick) return CWndBase::OnCommand(id, code, sender);
    switch (id) {
    case kTipList:
        if (!syncing_) ApplyControl(id);
        return true;
    case kLoadImage: {
        Prompts* p = prompts();
        if (!p) return true;
        OpenFileRequest request;
        request.filters = ParseFileFilters(
            "Image Files (*.png;*.jpg;*.jpeg;*.bmp)|*.png;*.jpg;*.jpeg;*.bmp|All Files (*.*)|*.*||");
        request.defaultExtension = "png";
        const std::vector<std::string> files = p->AskOpenFiles(request);
        if (!files.empty()) LoadImageFile(files.front());
        return true;
    }
    case kSave: RunSave(); return true;
    case kManage: RunManager(); return true;
    default: return CWndBase::OnCommand(id, code, sender);
    }
}

void CPropTabBrushAdvanced::resizeEvent(QResizeEvent*) {
    if (!rect().isEmpty()) MoveChildWindow(rect(), panels_);
    UpdateTipControls();  // the layout shows every placed window; the load button only for image tips
    update();
}

void CPropTabBrushAdvanced::paintEvent(QPaintEvent* e) { PaintLabels(this, e, panels_, AdvancedLabel); }

void RegisterBrushTabs() {
    CPropertiesPane::RegisterTabFactory(PropTabKind::Brush, [](QWidget* pane) -> IPropertyTab* {
        return new CPropTabBrush(pane);
    });
    CPropertiesPane::RegisterTabFactory(PropTabKind::BrushAdvanced, [](QWidget* pane) -> IPropertyTab* {
        return new CPropTabBrushAdvanced(pane);
    });
    CPropertiesPane::RegisterTabFactory(PropTabKind::StencilBrush, [](QWidget* pane) -> IPropertyTab* {
        return new CPropTabBrush(pane, true);
    });
}
