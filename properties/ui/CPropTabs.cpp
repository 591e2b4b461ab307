#include "properties/ui/CPropTabs.h"

#include "document/CQuillfenEditorDoc.h"
#include "platform/qt/CMemDC2.h"
#include "properties/ObjectTabModel.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropDropdown.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSliderWnd.h"

#include <QFontMetrics>
#include <QPaintEvent>

#include <algorithm>
#include <chrono>
#include <limits>

namespace {
uint32_t TickCount() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Writes v into a slider or edit from code, with the owner's updating flag
// set by the caller; nothing is sent.
template <class Control>
void Show(Control* c, float v) {
    if (c) c->SetValue(v);
}
}  // namespace

// --- Page base ---
CPropTabPage::CPropTabPage(QWidget* parent, int id) : CWndBase(parent, id) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPropTabPage::PlaceGroups() {
    if (width() <= 0 || height() <= 0) return;
    LayoutPropGroups(QPoint(0, 0), groups_);
    update();
}

void CPropTabPage::resizeEvent(QResizeEvent* e) {
    CWndBase::resizeEvent(e);
    PlaceGroups();
}

void CPropTabPage::paintEvent(QPaintEvent* e) {
    CMemDC2 dc(this, e->rect());
    QPainter& p = dc.Painter();
    p.fillRect(rect(), ArgbColor(0xFF32363C));
    const QFont font = CreateUiFont();
    std::vector<int> drawn;
    for (const PropGroup& g : groups_)
        for (const PropCell& c : g.cells) {
            if (!c.noWindow || std::find(drawn.begin(), drawn.end(), c.kind) != drawn.end()) continue;
            drawn.push_back(c.kind);
            const QString text = CaptionText(c.kind);
            if (!text.isEmpty()) DrawPropCaption(p, c.rect, text, font);
        }
    PaintExtra(p);
}

void CPropTabPage::LiveRefresh(CQuillfenEditorDoc& doc) {
    doc.SetModifiedFlag(true);
    const uint32_t now = TickCount();
    if (now - lastRedrawTick_ > 15) {
        lastRedrawTick_ = now;
        doc.RefreshAllViews();
    }
}

// --- Message tab ---
void CPropTabMessage::OnContext(const TabContext& ctx) {
    message = PropMessageForContext(ctx);
    update();
}

void CPropTabMessage::PaintExtra(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    DrawPropText(p, message, 12, height() * 0.5 - 7, 0xFFA0A4AA, CreateUiFont(12));
}

// --- Object tab ---
namespace {
enum ObjectCaption { kCapOpacity = 1, kCapBlend = 2, kCapBgR = 4, kCapFgR = 5, kCapMix = 6, kCapInfo = 7 };
enum ObjectIds { kIdX = 201, kIdY, kIdW, kIdH, kIdR, kIdOpacity = 210, kIdLink = 222, kIdBlend = 230, kIdClip = 231,
                 kIdBgR = 241, kIdFgR, kIdMix };
}  // namespace

CPropTabObject::CPropTabObject(QWidget* parent) : CPropTabPage(parent, 4101) {
    const float lo = std::numeric_limits<float>::lowest(), hi = std::numeric_limits<float>::max();
    struct EditSpec {
        CPropNumericEdit** edit;
        int id;
        const char* label;
        float minimum, maximum;
    } edits[] = {{&x, kIdX, "X", lo, hi}, {&y, kIdY, "Y", lo, hi}, {&w, kIdW, "W", 1, hi}, {&h, kIdH, "H", 1, hi},
                 {&r, kIdR, "R", -360, 360}};
    for (const EditSpec& s : edits) {
        auto* e = new CPropNumericEdit(this);
        e->Create(this, s.id, QRect());
        e->SetLabel(s.label);
        e->SetLabelWidth(14);
        e->SetStep(1);
        e->SetDecimals(0);
        e->SetRange(s.minimum, s.maximum);
        *s.edit = e;
    }
    auto slider = [&](int id, float minimum, float maximum) {
        auto* s = new CPropSliderWnd(this);
        s->Create(this, id, QRect());
        s->SetDecimals(0);
        s->ShowValueBox(true);
        s->SetRange(minimum, maximum);
        return s;
    };
    opacity = slider(kIdOpacity, 0, 100);
    bgRadius = slider(kIdBgR, 1, 100);
    fgRadius = slider(kIdFgR, 1, 100);
    mix = slider(kIdMix, 0, 100);
    bgRadius->hide(), fgRadius->hide(), mix->hide();
    link = new CPropLinkButton(this);
    link->Create(this, kIdLink, QRect());
    link->SetCheck(true);
    blend = new CPropDropdown(this);
    blend->Create(this, kIdBlend, QRect());
    blend->SetItems(ObjectTabBlendItems().texts);
    blend->SetCurSel(0);
    clip = new CPropCheckbox(this);
    clip->Create(this, kIdClip, "Clip to Layer Below", QRect());
    ArrangePhotoBashRows();
}

QString CPropTabObject::CaptionText(int kind) const {
    switch (kind) {
    case kCapOpacity: return "Opacity";
    case kCapBlend: return "Blend";
    case kCapBgR: return "BG r";
    case kCapFgR: return "FG r";
    case kCapMix: return "Mix";
    default: return {};
    }
}

void CPropTabObject::PaintExtra(QPainter& p) {
    if (info_.isEmpty()) return;
    const PropCell* cell = FindPropCell(groups_, kCapInfo);
    if (!cell) return;
    const QFont font = CreateUiFont();
    // The text may run on past its own group, into the room to its right that
    // no other cell of its row uses, up to the tab's edge.
    int right = width() - 4;
    for (const PropGroup& g : groups_)
        for (const PropCell& c : g.cells)
            if (&c != cell && c.rect.left >= cell->rect.right && c.rect.top < cell->rect.bottom &&
                c.rect.bottom > cell->rect.top)
                right = std::min(right, c.rect.left - 4);
    right = std::max(right, cell->rect.right - 4);
    const QRect r(cell->rect.left + 4, cell->rect.top, right - cell->rect.left - 4, cell->rect.Height());
    p.setFont(font);
    p.setPen(ArgbColor(0xFFAAB0B8));
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetrics(font).elidedText(info_, Qt::ElideRight, r.width()));
}

void CPropTabObject::ArrangePhotoBashRows() {
    const auto& values = ObjectTabBlendItems().values;
    const int sel = blend->selected;
    const uint8_t mode = sel >= 0 && sel < int(values.size()) ? values[size_t(sel)] : 0;
    if (mode == arrangedMode_) return;
    arrangedMode_ = mode;
    const bool bash = mode == kBlendPhotoBash;
    bgRadius->setVisible(bash), fgRadius->setVisible(bash), mix->setVisible(bash);
    groups_.clear();
    groups_.push_back({4,
                       {PropWindowCell(link, 0, 0, 1, 2), PropWindowCell(w, 1, 0), PropWindowCell(h, 1, 1),
                        PropWindowCell(x, 2, 0), PropWindowCell(y, 2, 1), PropWindowCell(r, 3, 0),
                        PropCaptionCell(kCapInfo, 0, 2, 4, 1)}});
    groups_.push_back({4, {PropCaptionCell(kCapBlend, 0, 0), PropWindowCell(blend, 1, 0, 3, 1),
                           PropWindowCell(clip, 1, 1, 3, 1)}});
    groups_.push_back({4, {PropCaptionCell(kCapOpacity, 0, 0), PropWindowCell(opacity, 1, 0, 3, 1)}});
    if (bash)
        groups_.push_back({4, {PropCaptionCell(kCapBgR, 0, 0), PropWindowCell(bgRadius, 1, 0, 3, 1),
                               PropCaptionCell(kCapFgR, 0, 1), PropWindowCell(fgRadius, 1, 1, 3, 1),
                               PropCaptionCell(kCapMix, 0, 2), PropWindowCell(mix, 1, 2, 3, 1)}});
    PlaceGroups();
}

void CPropTabObject::OnContext(const TabContext& ctx) {
    objectId_ = ctx.objectId;
    Reload();
}

void CPropTabObject::Reload() {
    if (editing_ || objectId_.empty()) return;
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const CanvasObject* o = doc ? doc->mainScene.FindObject(objectId_) : nullptr;
    if (!o) return;
    updating_ = true;
    Show(x, o->x), Show(y, o->y), Show(w, o->width), Show(h, o->height), Show(r, o->rotation);
    Show(opacity, o->opacity * 100);
    Show(bgRadius, o->photoBash.bgRadius), Show(fgRadius, o->photoBash.fgRadius), Show(mix, o->photoBash.mix * 100);
    blend->SetCurSel(BlendItemIndexForMode(o->blendMode));
    clip->SetCheck(o->clipToLayerBelow);
    ArrangePhotoBashRows();
    const QString text = QString::fromStdString(ObjectInfoText(*o));
    if (text != info_) {
        info_ = text;
        update();
    }
    updating_ = false;
}

void CPropTabObject::LiveEdit(int id) {
    CQuillfenEditorDoc* doc = GetActiveDocument();
    CanvasObject* o = doc ? doc->mainScene.FindObject(objectId_) : nullptr;
    if (!o) return;
    if (id >= kIdX && id <= kIdR) {
        ObjectTransform t{o->x, o->y, o->width, o->height, o->rotation, o->opacity};
        switch (id) {
        case kIdX: t.x = x->value; break;
        case kIdY: t.y = y->value; break;
        case kIdW: t.width = w->value; break;
        case kIdH: t.height = h->value; break;
        default: t.rotation = r->value; break;
        }
        if (link->checked && editing_ && (id == kIdW || id == kIdH) && snapshot_.width > 0 && snapshot_.height > 0) {
            updating_ = true;
            if (id == kIdW) {
                t.height = snapshot_.height / snapshot_.width * t.width;
                h->SetValue(t.height);
            } else {
                t.width = snapshot_.width / snapshot_.height * t.height;
                w->SetValue(t.width);
            }
            updating_ = false;
        }
        doc->mainScene.SetObjectTransform(objectId_, t);
    } else if (id == kIdOpacity) {
        const ObjectTransform t{o->x, o->y, o->width, o->height, o->rotation, opacity->value * 0.01f};
        doc->mainScene.SetObjectTransform(objectId_, t);
    } else {
        const PhotoBashParams p{bgRadius->value, fgRadius->value, mix->value * 0.01f};
        if (p.bgRadius != o->photoBash.bgRadius || p.fgRadius != o->photoBash.fgRadius || p.mix != o->photoBash.mix) {
            o->photoBash = p;
            if (doc->mainScene.observer) doc->mainScene.observer(objectId_);
        }
    }
    LiveRefresh(*doc);
}

bool CPropTabObject::OnCommand(int id, int code, CWndBase* sender) {
    const bool continuous = (id >= kIdX && id <= kIdR) || id == kIdOpacity || (id >= kIdBgR && id <= kIdMix);
    if (continuous) {
        CQuillfenEditorDoc* doc = GetActiveDocument();
        CanvasObject* o = doc && !objectId_.empty() ? doc->mainScene.FindObject(objectId_) : nullptr;
        if (code == kPropBegin) {
            refused_ = false;
            if (!editing_ && o && id >= kIdX && id <= kIdR) {
                // A painting open on the object goes in first, so that the
                // value typed here is the one that stays; when it cannot be
                // stored (said once) the edit is refused.
                if (!doc->CommitPaintSessionOn(objectId_)) {
                    refused_ = true;
                    return true;
                }
                o = doc->mainScene.FindObject(objectId_);
            }
            if (!editing_ && o) {
                snapshot_ = {o->x, o->y, o->width, o->height, o->rotation, o->opacity};
                snapshotBash_ = o->photoBash;
                wasModified_ = doc->IsModified();
                editing_ = true;
            }
            return true;
        }
        if (code == kPropEnd) {
            if (refused_) {
                refused_ = false;
                Reload();
                return true;
            }
            if (!editing_) return true;
            editing_ = false;
            if (o) {
                const ObjectTransform now{o->x, o->y, o->width, o->height, o->rotation, o->opacity};
                if (TransformsEqual(snapshot_, now) && PhotoBashEqual(snapshotBash_, o->photoBash)) {
                    doc->SetModifiedFlag(wasModified_);
                    return true;
                }
                doc->CommitObjectTransform(objectId_, snapshot_, now);
                doc->CommitPhotoBashParams(objectId_, snapshotBash_, o->photoBash);
                doc->SetModifiedFlag(true);
                lastRedrawTick_ = 0;
                doc->UpdateAllViews();
            }
            return true;
        }
        if (code == kPropChanged) {
            if (!updating_ && !refused_) LiveEdit(id);
            return true;
        }
        return CPropTabPage::OnCommand(id, code, sender);
    }
    if (code == kPropClick && !updating_ && (id == kIdBlend || id == kIdClip)) {
        CQuillfenEditorDoc* doc = GetActiveDocument();
        if (!doc || objectId_.empty()) return true;
        if (id == kIdBlend) {
            const auto& values = ObjectTabBlendItems().values;
            const int sel = blend->selected;
            if (sel >= 0 && sel < int(values.size()) && values[size_t(sel)] != kBlendListNoMode)
                doc->SetObjectBlendMode(objectId_, values[size_t(sel)]);
            ArrangePhotoBashRows();
        } else {
            doc->SetObjectClipToBelow(objectId_, clip->checked);
        }
        return true;
    }
    return CPropTabPage::OnCommand(id, code, sender);
}

// --- Light tab ---
CanvasObject* CLightConeColorSinkhole::Light() const {
    CanvasObject* o = doc && !objectId.empty() ? doc->mainScene.FindObject(objectId) : nullptr;
    return o && o->kind == kObjectLightCone ? o : nullptr;
}

void CLightConeColorSinkhole::SetColor(uint32_t argb) {
    if (!editing_) {
        if (doc && !objectId.empty()) doc->SetLightTint(argb);
        return;
    }
    // Live inside a wheel interaction; EndColorEdit records it.
    CanvasObject* o = Light();
    const uint32_t tint = 0xFF000000u | (argb & 0x00FFFFFFu);
    if (!o || o->lightCone.tint == tint) return;
    o->lightCone.tint = tint;
    o->InvalidateCaches();
    doc->SetModifiedFlag(true);
    doc->RefreshAllViews();
}

void CLightConeColorSinkhole::BeginColorEdit() {
    CanvasObject* o = Light();
    editing_ = o != nullptr;
    if (!o) return;
    before_ = o->lightCone;
    wasModified_ = doc->IsModified();
}

void CLightConeColorSinkhole::EndColorEdit() {
    if (!editing_) return;
    editing_ = false;
    CanvasObject* o = Light();
    if (!o) return;
    if (o->lightCone == before_) {
        doc->SetModifiedFlag(wasModified_);
        return;
    }
    doc->CommitLightConeParams(o->id, before_, o->lightCone);
    doc->SetModifiedFlag(true);
    doc->RefreshAllViews();
}

uint32_t CLightConeColorSinkhole::GetColor() {
    if (!doc || objectId.empty()) return 0xFFFFFFFF;
    const CanvasObject* o = doc->mainScene.FindObject(objectId);
    return o && o->kind == kObjectLightCone ? o->lightCone.tint : 0xFFFFFFFF;
}

namespace {
enum LightCaption { kCapHeight = 1, kCapCone = 4, kCapAmt = 5, kCapAmb = 6, kCapFall = 7, kCapColor = 8 };
constexpr int kLightSliderIds[5] = {301, 304, 305, 306, 307};
constexpr int kLightTintId = 310;
}  // namespace

CPropTabLightCone::CPropTabLightCone(QWidget* parent) : CPropTabPage(parent, 4102) {
    auto make = [&](int slot) {
        auto* s = new CPropSliderWnd(this);
        s->Create(this, kLightSliderIds[slot], QRect());
        const LightSliderRange range = LightSliderRangeOf(slot);
        s->SetRange(range.minimum, range.maximum);
        s->SetDecimals(0);
        s->ShowValueBox(true);
        sliders[slot] = s;
    };
    make(kLightSliderHeight);
    make(kLightSliderCone);
    tint = new CPropColorWell(this);
    tint->Create(this, kLightTintId);
    sink_ = std::make_unique<CLightConeColorSinkhole>();
    make(kLightSliderAmount);
    make(kLightSliderAmbient);
    make(kLightSliderFalloff);
    groups_.push_back({4, {PropCaptionCell(kCapHeight, 0, 0), PropWindowCell(sliders[0], 1, 0, 3, 1),
                           PropCaptionCell(kCapCone, 0, 1), PropWindowCell(sliders[1], 1, 1, 3, 1)}});
    groups_.push_back({4, {PropCaptionCell(kCapAmt, 0, 0), PropWindowCell(sliders[2], 1, 0, 3, 1),
                           PropCaptionCell(kCapAmb, 0, 1), PropWindowCell(sliders[3], 1, 1, 3, 1),
                           PropCaptionCell(kCapFall, 0, 2), PropWindowCell(sliders[4], 1, 2, 3, 1),
                           PropCaptionCell(kCapColor, 0, 3), PropWindowCell(tint, 1, 3, 3, 1)}});
    PlaceGroups();
}

QString CPropTabLightCone::CaptionText(int kind) const {
    switch (kind) {
    case kCapHeight: return "Height";
    case kCapCone: return "Cone";
    case kCapAmt: return "Amt";
    case kCapAmb: return "Amb";
    case kCapFall: return "Fall";
    case kCapColor: return "Color";
    default: return {};
    }
}

void CPropTabLightCone::OnContext(const TabContext& ctx) {
    objectId_ = ctx.objectId;
    if (sink_) {
        sink_->doc = GetActiveDocument();
        sink_->objectId = objectId_;
    }
    Reload();
}

void CPropTabLightCone::Reload() {
    if (editing_ || objectId_.empty()) return;
    CQuillfenEditorDoc* doc = GetActiveDocument();
    const CanvasObject* o = doc ? doc->mainScene.FindObject(objectId_) : nullptr;
    if (!o || o->kind != kObjectLightCone) return;
    updating_ = true;
    const LightSliderValues v = LightSlidersFromParams(o->lightCone);
    Show(sliders[0], v.height), Show(sliders[1], v.cone), Show(sliders[2], v.amount), Show(sliders[3], v.ambient);
    Show(sliders[4], v.falloff);
    tint->SetColor(o->lightCone.tint);
    updating_ = false;
}

bool CPropTabLightCone::OnCommand(int id, int code, CWndBase* sender) {
    if (id == kLightTintId && code == kPropClick) return true;
    int slot = -1;
    for (int i = 0; i < 5; ++i)
        if (kLightSliderIds[i] == id) slot = i;
    if (slot < 0) return CPropTabPage::OnCommand(id, code, sender);
    CQuillfenEditorDoc* doc = GetActiveDocument();
    CanvasObject* o = doc && !objectId_.empty() ? doc->mainScene.FindObject(objectId_) : nullptr;
    if (o && o->kind != kObjectLightCone) o = nullptr;
    switch (code) {
    case kPropBegin:
        if (!editing_ && o) {
            snapshot_ = o->lightCone;
            wasModified_ = doc->IsModified();
            editing_ = true;
        }
        return true;
    case kPropChanged: {
        if (updating_ || !o) return true;
        // Only the moved slider's field: values set elsewhere (the gizmo's
        // height beyond the slider's range) stay as the light has them.
        const LightConeParams p = LightParamsWithSlider(o->lightCone, slot, sliders[slot]->value);
        if (p != o->lightCone) {
            o->lightCone = p;
            o->InvalidateCaches();
            if (doc->mainScene.observer) doc->mainScene.observer(objectId_);
        }
        LiveRefresh(*doc);
        return true;
    }
    case kPropEnd:
        if (!editing_) return true;
        editing_ = false;
        if (o && o->lightCone == snapshot_) {
            doc->SetModifiedFlag(wasModified_);
        } else if (o) {
            doc->CommitLightConeParams(objectId_, snapshot_, o->lightCone);
            doc->SetModifiedFlag(true);
            lastRedrawTick_ = 0;
            doc->UpdateAllViews();
        }
        return true;
    default: return CPropTabPage::OnCommand(id, code, sender);
    }
}
