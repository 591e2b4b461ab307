#include "filters/ui/BevelParamsView.h"

#include "filters/ui/CPropCurveEdit.h"
#include "properties/ui/CPropButtons.h"
#include "properties/ui/CPropColorWell.h"
#include "properties/ui/CPropDropdown.h"

namespace {

int ProfileItem(uint8_t profile) { return profile >= 1 && profile <= 4 ? profile : 0; }

}  // namespace

CBevelParamsView::CBevelParamsView(QWidget* parent, int childId, int alternative, const BevelRecordAccess& access)
    : CEffectParamsView(parent, childId, alternative), access_(access) {}

bool CBevelParamsView::CreateControls(bool gaussian, const NumericFieldSpec (&fields)[3], EffectFloatField angle,
                                      EffectColorField colour) {
    if (access_.profile) {
        profile_ = new CPropDropdown(this);
        if (!profile_->Create(this, 1000, QRect(0, 0, 206, 25))) return false;
        profile_->SetItems({"Flat", "Smooth", "Ball", "Sloped", "Custom"});
        profile_->SetCurSel(0);
        profile_->show();
    }
    for (int i = 0; i < 3; ++i) fields_[i] = AddNumeric(fields[i]);
    dial_ = AddAngle(1004, angle, 0, 360, 135);
    if (!dial_) return false;
    if (access_.points) {
        curve_ = new CPropCurveEdit(this, 1005);
        curve_->hide();
    }
    if (access_.useObjectColor) {
        objectColor_ = new CPropCheckbox(this);
        if (objectColor_->Create(this, 1006, "Object Color", QRect(0, 0, 154, 25))) objectColor_->show();
        AddColorWell(1007, colour, "Outer Bevel Color", 0xFFC8C8C8);
    }
    (void)gaussian;
    BuildLayout(false);
    return true;
}

void CBevelParamsView::BuildLayout(bool custom) {
    Panels().clear();
    const int first = profile_ ? 1 : 0;
    if (profile_) Place(0, profile_, 0, 0, 4, 1);
    for (int i = 0; i < 3; ++i) Place(0, fields_[i], 0, first + i, 4, 1);
    if (objectColor_) {
        Place(1, objectColor_, 0, 0, 3, 1);
        Place(1, Well(), 3, 0, 1, 1);
    }
    Place(1, dial_, 0, profile_ ? 1 : 0, 4, 3);
    if (custom && curve_) Place(2, curve_, 0, 0, 4, 4);
}

void CBevelParamsView::RefreshProfileLayout() {
    EffectInstance* instance = Instance();
    const uint8_t* profile = instance && access_.profile ? access_.profile(instance->params) : nullptr;
    const bool custom = profile && *profile == 4;
    if (curve_) curve_->setVisible(custom);
    BuildLayout(custom);
    Relayout();
}

void CBevelParamsView::LoadExtra(const EffectParams& shown) {
    EffectParams params = shown;
    if (profile_ && access_.profile) {
        const int item = ProfileItem(*access_.profile(params));
        if (item != profile_->selected) {
            profile_->SetCurSel(item);
            profile_->update();
        }
    }
    if (curve_ && access_.points) curve_->SetPoints(*access_.points(params));
    if (objectColor_ && access_.useObjectColor) objectColor_->SetCheck(*access_.useObjectColor(params));
    // The layout follows the record shown, not only the one in the document.
    const bool custom = access_.profile && *access_.profile(params) == 4;
    if (curve_) curve_->setVisible(custom);
    BuildLayout(custom);
    Relayout();
}

bool CBevelParamsView::OnExtraCommand(int id, int code, EffectInstance& instance) {
    if (id == 1000 && profile_ && access_.profile) {
        if (code != kPropClick) return false;
        (void)instance;
        const uint8_t picked = uint8_t(ProfileItem(uint8_t(std::max(0, profile_->selected))));
        OneShot([&](EffectInstance& i) { *access_.profile(i.params) = picked; });
        RefreshProfileLayout();
        return true;
    }
    if (id == 1005 && curve_ && access_.points) {
        *access_.points(instance.params) = curve_->Points();
        Notify(code);
        return true;
    }
    if (id == 1006 && objectColor_ && access_.useObjectColor) {
        if (code != kPropClick) return false;
        const bool checked = objectColor_->checked;
        OneShot([&](EffectInstance& i) { *access_.useObjectColor(i.params) = checked; });
        return true;
    }
    return false;
}

IEffectParamsView* MakeBevelView(QWidget* parent, int childId, int alternative, const BevelRecordAccess& access,
                                 bool gaussian, const NumericFieldSpec (&fields)[3], EffectFloatField angle,
                                 EffectColorField colour) {
    auto* view = new CBevelParamsView(parent, childId, alternative, access);
    if (!view->CreateControls(gaussian, fields, angle, colour)) {
        delete view;
        return nullptr;
    }
    return view;
}
