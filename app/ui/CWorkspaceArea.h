#pragma once
// The main frame's client window: the hosted view on the left, the right
// pane along the right edge, the properties pane under the view and the
// status bar across the bottom. It hosts exactly one view at a time.
#include "app/ui/CRightPane.h"
#include "app/ui/CThemedStatusBar.h"
#include "platform/qt/WindowBase.h"
#include "properties/ui/CPropertiesPane.h"

#include <functional>
#include <memory>

class CView;
class CQuillfenEditorDoc;

// A pane whose contents come later: it takes its place in the layout and
// paints the pane's background.
class CPanePlaceholder : public CWndBase {
    Q_OBJECT
public:
    CPanePlaceholder(QWidget* parent, int id, const char* name);
    // The pane takes whatever size its container gives it.
    QSize minimumSizeHint() const override { return {0, 0}; }

protected:
    void paintEvent(QPaintEvent* e) override;
};

class CWorkspaceArea : public CWndBase {
    Q_OBJECT
public:
    using ViewFactory = std::function<CView*(QWidget* parent)>;

    explicit CWorkspaceArea(QWidget* parent = nullptr);

    // Creates the hosted view (when a factory is given) and the other children.
    bool Create(const ViewFactory& makeView, CQuillfenEditorDoc* doc);
    // Hosts a new view made by the factory on the same document; false leaves
    // the old view hosted. makesClass tells whether the hosted view is already
    // of the wanted class.
    bool SwitchView(const ViewFactory& makeView, const std::function<bool(CView*)>& isWanted, int mode);
    void RecalcLayout();

    CView* View() const { return view_; }
    CRightPane* RightPane() const { return rightPane_; }
    CPropertiesPane* PropertiesPane() const { return propertiesPane_; }
    CThemedStatusBar* StatusBar() const { return statusBar_; }
    int RightPaneMode() const { return rightPaneMode_; }
    void SetRightPaneMode(int mode);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CView* view_ = nullptr;
    CRightPane* rightPane_ = nullptr;
    CPropertiesPane* propertiesPane_ = nullptr;
    CThemedStatusBar* statusBar_ = nullptr;
    int rightPaneMode_ = 0;
};
