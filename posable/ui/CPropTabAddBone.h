#pragma once
// The "Add Bone" property tab of the Add Bone tool: how many bones the part
// being worked on has, and "Delete last", which removes its most recently
// added bone.
#include "properties/ui/CPropTabs.h"

#include <QString>

class CPropTextButton;

class CPropTabAddBone : public CPropTabPage {
    Q_OBJECT
public:
    explicit CPropTabAddBone(QWidget* parent = nullptr);
    bool AppliesTo(const TabContext& ctx) const override { return PropTabApplies(PropTabKind::AddBone, ctx); }
    std::string GetTitle() const override { return "Add Bone"; }
    int GetTabWidth() const override { return 110; }
    void OnContext(const TabContext&) override { Refresh(); }
    void Refresh() override;
    bool OnCommand(int id, int code, CWndBase* sender) override;

    CPropTextButton* DeleteLastButton() const { return deleteLast_; }
    const QString& Text() const { return text_; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void PaintExtra(QPainter& p) override;

private:
    CPropTextButton* deleteLast_ = nullptr;
    QString text_;  // empty until the first refresh
};
