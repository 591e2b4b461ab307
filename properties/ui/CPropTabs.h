#pragma once
// The pane's own pages: the message tab (the fallback that says why no tab
// shows), the object tab "Info" (placement, opacity, blend mode, clipping and
// Photo-Bash settings of the single selected object) and the light tab
// "Light" (a light cone's parameters and tint). Continuous edits change the
// model live and record one undo step per interaction.
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/PropControls.h"
#include "scene/CanvasDocument.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class CPropSliderWnd;
class CPropNumericEdit;
class CPropLinkButton;
class CPropDropdown;
class CPropCheckbox;
class CPropColorWell;

// A page: paints its background and captions, lays out its groups on resize.
class CPropTabPage : public CWndBase, public IPropertyTab {
    Q_OBJECT
public:
    CPropTabPage(QWidget* parent, int id);
    QWidget* GetWnd() override { return this; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void PlaceGroups();
    // The caption of a tag (empty: none).
    virtual QString CaptionText(int kind) const { (void)kind; return {}; }
    virtual void PaintExtra(QPainter& p) { (void)p; }
    // Views are refreshed at most once per 15 ms during a drag.
    void LiveRefresh(CQuillfenEditorDoc& doc);
    std::vector<PropGroup> groups_;
    bool updating_ = false;
    uint32_t lastRedrawTick_ = 0;
    // The document's modified flag when the interaction began: one that
    // ends where it began leaves the flag as it found it.
    bool wasModified_ = false;
};

class CPropTabMessage : public CPropTabPage {
    Q_OBJECT
public:
    explicit CPropTabMessage(QWidget* parent = nullptr) : CPropTabPage(parent, 4100) {}
    bool AppliesTo(const TabContext&) const override { return false; }
    std::string GetTitle() const override { return "Info"; }
    void OnContext(const TabContext& ctx) override;
    QString message = "No selection";

protected:
    void PaintExtra(QPainter& p) override;
};

class CPropTabObject : public CPropTabPage {
    Q_OBJECT
public:
    explicit CPropTabObject(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::Object, ctx); }
    std::string GetTitle() const override { return "Info"; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override { Reload(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;

    CPropNumericEdit *x = nullptr, *y = nullptr, *w = nullptr, *h = nullptr, *r = nullptr;
    CPropSliderWnd* opacity = nullptr;
    CPropLinkButton* link = nullptr;
    CPropDropdown* blend = nullptr;
    CPropCheckbox* clip = nullptr;
    CPropSliderWnd *bgRadius = nullptr, *fgRadius = nullptr, *mix = nullptr;
    const std::string& ObjectId() const { return objectId_; }
    const QString& InfoText() const { return info_; }
    // Whether the Photo-Bash rows are laid out.
    bool PhotoBashShown() const { return groups_.size() == 4; }

protected:
    QString CaptionText(int kind) const override;
    void PaintExtra(QPainter& p) override;

private:
    void Reload();
    void ArrangePhotoBashRows();
    void LiveEdit(int id);
    std::string objectId_;
    bool editing_ = false;
    // The edit under way was refused (the painting open on the object could
    // not be stored first); its values are ignored and the fields reloaded.
    bool refused_ = false;
    ObjectTransform snapshot_;
    PhotoBashParams snapshotBash_;
    uint8_t arrangedMode_ = 46;
    QString info_;
};

// The light tab's colour target: writes picked colours into the light.
class CLightConeColorSinkhole : public IColorSinkhole {
public:
    void SetColor(uint32_t argb) override;
    uint32_t GetColor() override;
    std::string GetTitle() override { return "Light Tint"; }
    void BeginColorEdit() override;
    void EndColorEdit() override;
    CQuillfenEditorDoc* doc = nullptr;
    std::string objectId;

private:
    CanvasObject* Light() const;
    bool editing_ = false;
    bool wasModified_ = false;
    LightConeParams before_;
};

class CPropTabLightCone : public CPropTabPage {
    Q_OBJECT
public:
    explicit CPropTabLightCone(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::LightCone, ctx); }
    std::string GetTitle() const override { return "Light"; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override { Reload(); }
    IColorSinkhole* GetColorSink() override { return sink_.get(); }
    bool OnCommand(int id, int code, CWndBase* sender) override;

    // Height, Cone, Amt, Amb, Fall in that order (ids 301, 304, 305, 306, 307).
    CPropSliderWnd* sliders[5] = {};
    CPropColorWell* tint = nullptr;

protected:
    QString CaptionText(int kind) const override;

private:
    void Reload();
    std::unique_ptr<CLightConeColorSinkhole> sink_;
    std::string objectId_;
    bool editing_ = false;
    LightConeParams snapshot_;
};
