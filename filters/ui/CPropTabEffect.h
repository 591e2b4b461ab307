#pragma once
// The "Effect" property tab: the selected object's filter stack in a list on
// the left and the parameter view of the selected filter on the right. It
// keeps only the object's id: the document, the object and the instance are
// looked up at every use, so undo, paste or delete may replace the stack at
// any time. Every stack change and every parameter interaction is one undo
// step; while a value is dragged the canvas re-renders at most every 33 ms
// (only on release while an enabled filter of the stack renders too slowly).
#include "filters/EffectStackEdits.h"
#include "filters/ui/IEffectParamsView.h"
#include "properties/ui/IPropertyTab.h"
#include "properties/ui/PropControls.h"

#include <string>

class CEffectStackListWnd;

class CPropTabEffect : public CWndBase, public IPropertyTab, public IEffectChangeSink {
    Q_OBJECT
public:
    static constexpr int kPreviewTimer = 57600;
    static constexpr int kPreviewPeriodMs = 33;
    static constexpr int kViewId = 57345;

    explicit CPropTabEffect(QWidget* parent = nullptr);
    ~CPropTabEffect() override;

    // IPropertyTab
    bool AppliesTo(const TabContext& ctx) const override;
    std::string GetTitle() const override { return "Effect"; }
    int GetTabWidth() const override { return 80; }
    QWidget* GetWnd() override { return this; }
    void OnContext(const TabContext& ctx) override;
    void Refresh() override;
    IColorSinkhole* GetColorSink() override;

    // IEffectChangeSink
    void BeginParamsEdit() override;
    void OnParamsChanging() override;
    void OnParamsCommitted() override;
    BitmapPtr GetSourceBitmap() override;
    EffectInstance* CurrentInstance() override;

    CEffectStackListWnd* List() const { return list_; }
    IEffectParamsView* View() const { return view_; }
    // The filter type the panel shows controls for; -1 when none is selected.
    int ShownType() const { return shownType_; }
    const std::string& ObjectId() const { return objectId_; }
    // The add menu's choice, as if picked.
    void AddEffect(uint8_t type);
    // The hint shown when there is no view.
    std::string HintText() const;

    void OnTimer(int id) override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CQuillfenEditorDoc* Doc() const;
    const std::vector<EffectInstance>* Stack() const;
    void ShowParamsView();
    void LayoutParamsView();
    void ShowAddMenu(QPoint screenPoint);
    void ApplyParamsEdit();
    void EnableView(bool enabled);
    void AfterStackChange(int selection);

    std::string objectId_;
    CEffectStackListWnd* list_ = nullptr;
    IEffectParamsView* view_ = nullptr;
    int shownType_ = -1;  // the type of the filter the panel was built for; -1 none
    bool timerRunning_ = false;
    bool pending_ = false;
    bool wasModified_ = false;  // the document's flag when the interaction began
    EffectParamsEditRecorder recorder_;
};

// Registers the tab with the properties pane (before the frame is created)
// and the parameter views with their table.
void RegisterEffectTab();
