// Interactions that end with every value as it began record nothing and leave
// the modified flag alone: a click on a slider that already shows the value,
// a press on a filter value without moving, a colour dialog closed with OK
// on the colour it opened with, a visit of the Refine tool.
#include "tests/app/ui/TestEditorApp.h"

#include "app/LayerListLayout.h"
#include "app/ui/CLayerListWnd.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "app/ui/CRightPane.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/ClipboardFormats.h"
#include "filters/ui/CPropTabEffect.h"
#include "platform/Clipboard.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "properties/ui/CPropDialogs.h"
#include "properties/ui/CPropNumericEdit.h"
#include "properties/ui/CPropSliderWnd.h"
#include "properties/ui/CPropTabs.h"
#include "properties/ui/CPropertiesPane.h"
#include "scene/SelectionMask.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

namespace {

struct Editor : TestEditorApp {
    Editor() {
        ShowFrame();
        CanvasObject o;
        o.id = o.name = "object_1";
        o.x = o.y = 40;
        o.width = o.height = 60;
        o.parts.assign(1, ImagePart{});
        EXPECT_TRUE(doc->mainScene.AddObjectToLayer(*doc->mainScene.FindLayer("layer_1"), o));
        doc->mainScene.SelectObject("object_1");
    }
    IPropertyTab* ShowTab(PropTabKind kind) {
        CPropertiesPane* pane = frame->Workspace()->PropertiesPane();
        pane->UpdateForContext();
        IPropertyTab* tab = pane->FindTab(kind);
        const auto& visible = pane->VisibleTabs();
        const auto at = std::find(visible.begin(), visible.end(), tab);
        EXPECT_NE(at, visible.end());
        if (at == visible.end()) return nullptr;
        pane->SelectVisible(int(at - visible.begin()));
        frame->LayoutNow();
        return tab;
    }
    // Double click on the canvas row; the dialog is closed with OK untouched.
    void CanvasColourDialogOk() {
        CLayerListWnd* list = frame->Workspace()->RightPane()->LayerList();
        QPoint row;
        for (const LayerListBox& b : LayoutLayerList(list->View()))
            if (b.kind == LayerListBox::Canvas) row = QPoint((b.box.left + b.box.right) / 2, (b.box.top + b.box.bottom) / 2);
        ASSERT_FALSE(row.isNull());
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CMyColorSelectDlg*>(QApplication::activeModalWidget());
            shown = dlg != nullptr;
            if (QDialog* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->accept();
        });
        list->OnLButtonDblClk(0, row);
        EXPECT_TRUE(shown);
    }
};

void Click(CPropValueWnd* control, QPoint at) {
    control->OnLButtonDown(MK_LBUTTON, at);
    control->OnLButtonUp(0, at);
}

}  // namespace

TEST(NoEmptySteps, InteractionsThatChangeNothingRecordNothing) {
    struct Case {
        const char* what;
        // Brings the editor to where the interaction starts (may record).
        std::function<void(Editor&)> setup;
        std::function<void(Editor&)> interact;
        // The value the interaction must leave as it was.
        std::function<std::string(Editor&)> value;
    };
    auto object = [](Editor& e) -> CanvasObject& { return *e.doc->mainScene.FindObject("object_1"); };
    // The object exactly, filters and their parameters included.
    auto payload = [&](Editor& e) {
        const std::vector<uint8_t> bytes = WriteObjectPayload(object(e));
        return std::string(bytes.begin(), bytes.end());
    };
    auto opacitySlider = [](Editor& e) {
        auto* tab = dynamic_cast<CPropTabObject*>(e.ShowTab(PropTabKind::Object));
        EXPECT_TRUE(tab && tab->opacity && tab->opacity->width() > 20);
        return tab ? tab->opacity : nullptr;
    };
    auto filterEdit = [](Editor& e) -> CPropNumericEdit* {
        auto* tab = dynamic_cast<CPropTabEffect*>(e.ShowTab(PropTabKind::Effect));
        auto* view = tab ? dynamic_cast<QWidget*>(tab->View()) : nullptr;
        const auto edits = view ? view->findChildren<CPropNumericEdit*>() : QList<CPropNumericEdit*>{};
        EXPECT_FALSE(edits.isEmpty());
        return edits.isEmpty() ? nullptr : edits.front();
    };
    const Case cases[] = {
        {"Info tab: a click on the opacity slider where it stands",
         [&](Editor& e) {
             CPropSliderWnd* s = opacitySlider(e);
             Click(s, QPoint(s->width() / 3, s->height() / 2));  // moves it there: one step
         },
         [&](Editor& e) {
             CPropSliderWnd* s = opacitySlider(e);
             Click(s, QPoint(s->width() / 3, s->height() / 2));
         },
         payload},
        {"Effect tab: a press on a Drop Shadow value without moving",
         [&](Editor& e) {
             auto* tab = dynamic_cast<CPropTabEffect*>(e.ShowTab(PropTabKind::Effect));
             ASSERT_NE(tab, nullptr);
             tab->AddEffect(kEffectDropShadow);
         },
         [&](Editor& e) {
             CPropNumericEdit* edit = filterEdit(e);
             ASSERT_NE(edit, nullptr);
             Click(edit, QPoint(4, edit->height() / 2));
         },
         payload},
        {"canvas colour dialog, OK on a black canvas (shown white)",
         [](Editor& e) { e.doc->mainScene.canvasColour = 0xFF000000; },
         [](Editor& e) { e.CanvasColourDialogOk(); },
         [](Editor& e) { return std::to_string(e.doc->mainScene.canvasColour); }},
        {"canvas colour dialog, OK on a half-transparent canvas",
         [](Editor& e) { e.doc->mainScene.canvasColour = 0x80336699; },
         [](Editor& e) { e.CanvasColourDialogOk(); },
         [](Editor& e) { return std::to_string(e.doc->mainScene.canvasColour); }},
        {"a visit of the Refine tool with a selection",
         [](Editor& e) {
             CanvasDocument& s = e.doc->mainScene;
             s.EnsureSelectionMask();
             std::vector<uint8_t> on(20 * 20, 255);
             s.selectionMask->WriteRect(50, 50, 20, 20, on.data());
         },
         [](Editor& e) {
             e.doc->SetActiveTool(kToolRefine);
             e.doc->SetActiveTool(kToolMove);
         },
         [](Editor& e) {
             int x = 0, y = 0, w = 0, h = 0;
             e.doc->mainScene.selectionMask->GetBounds(x, y, w, h);
             return std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," + std::to_string(h);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Editor e;
        c.setup(e);
        const std::string before = c.value(e);
        const size_t steps = e.doc->mainUndo.undo.size(), redo = e.doc->mainUndo.redo.size();
        const size_t selectionSteps = e.doc->mainScene.selectionUndo.size();
        e.doc->SetModifiedFlag(false);
        c.interact(e);
        EXPECT_EQ(c.value(e), before);
        EXPECT_EQ(e.doc->mainUndo.undo.size(), steps);
        EXPECT_EQ(e.doc->mainUndo.redo.size(), redo);
        EXPECT_EQ(e.doc->mainScene.selectionUndo.size(), selectionSteps);
        EXPECT_FALSE(e.doc->IsModified());
    }
}
