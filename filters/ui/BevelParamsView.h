#pragma once
// The family of bevel views: Gaussian Bevel's three fields and dial; Emboss
// and Inner Bevel add the profile list and, while the profile is Custom, the
// curve editor in a third panel; Outer Bevel adds "Object Color" and a colour
// well. Each view file (GaussianBevelView.cpp, EmbossView.cpp, ...) names its
// record's fields.
#include "filters/ui/CEffectParamsView.h"

#include <vector>

class CPropDropdown;
class CPropCurveEdit;
class CPropCheckbox;

// Where a bevel record keeps its profile, curve and object-colour flag.
struct BevelRecordAccess {
    uint8_t* (*profile)(EffectParams& params) = nullptr;
    std::vector<CurvePoint>* (*points)(EffectParams& params) = nullptr;
    bool* (*useObjectColor)(EffectParams& params) = nullptr;
};

class CBevelParamsView : public CEffectParamsView {
    Q_OBJECT
public:
    CBevelParamsView(QWidget* parent, int childId, int alternative, const BevelRecordAccess& access);
    // Creates the controls; false when a window cannot be made.
    bool CreateControls(bool gaussian, const NumericFieldSpec (&fields)[3], EffectFloatField angle,
                        EffectColorField colour);
    CPropDropdown* Profile() const { return profile_; }
    CPropCurveEdit* Curve() const { return curve_; }
    CPropCheckbox* ObjectColor() const { return objectColor_; }
    // Shows the curve editor exactly while the record's profile is Custom.
    void RefreshProfileLayout();

protected:
    void LoadExtra(const EffectParams& params) override;
    bool OnExtraCommand(int id, int code, EffectInstance& instance) override;

private:
    void BuildLayout(bool custom);

    BevelRecordAccess access_;
    CPropDropdown* profile_ = nullptr;
    QWidget* fields_[3] = {};
    QWidget* dial_ = nullptr;
    CPropCurveEdit* curve_ = nullptr;
    CPropCheckbox* objectColor_ = nullptr;
};

IEffectParamsView* MakeBevelView(QWidget* parent, int childId, int alternative, const BevelRecordAccess& access,
                                 bool gaussian, const NumericFieldSpec (&fields)[3], EffectFloatField angle,
                                 EffectColorField colour = nullptr);
