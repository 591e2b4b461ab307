// The bone list window offscreen on a document open in the Pose Editor:
// header press versus drag, restacking with one undo step (none for a drop
// in place or a lost capture), bone selection by tool, the dots without undo,
// a double click on the arrow, Delete, and the list in the running frame.
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuillfenEditorApp.h"
#include "app/ui/CRightPane.h"
#include "document/CQuillfenEditorDoc.h"
#include "document/CommandIds.h"
#include "platform/Clipboard.h"
#include "platform/Profile.h"
#include "platform/Prompts.h"
#include "posable/ui/CBoneListWnd.h"
#include "tests/platform/ui/QtTestApp.h"
#include "tests/posable/PosableFixtures.h"

#include <QKeyEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

Bone B(const std::string& id, const std::string& parent = "") {
    Bone b = posable_test::MakeBone(id, 0, 0, 1, 1);
    b.hasParent = !parent.empty();
    b.parentId = parent;
    return b;
}

// Parts A (root bone "a1" with child "a2"), B and C in one layer, topmost first.
struct QtFirst {
    QtFirst() { EnsureQtApp(); }
};

struct ListEnv : QtFirst {
    CQuillfenEditorDoc doc;
    CBoneListWnd list;

    ListEnv() {
        doc.workspaceMode = kWorkspacePoseEditor;
        doc.poseEditorObjectId = "object_1";
        Layer& l = doc.poseScene.EnsureFirstLayer();
        for (const char* id : {"A", "B", "C"}) {
            CanvasObject o;
            o.id = o.name = id;
            o.width = o.height = 50;
            EXPECT_TRUE(doc.poseScene.AddObjectToLayer(l, o));
        }
        doc.poseScene.FindObject("A")->bones = {B("a1"), B("a2", "a1")};
        doc.poseScene.ClearSelection();
        list.documentSource = [this] { return &doc; };
        list.resize(220, 400);
        list.show();
    }
    std::vector<std::string> Stack() {
        std::vector<std::string> ids;
        for (const BoneListPart& p : CollectPartsByOrder(doc.poseScene)) ids.push_back(p.part->id);
        return ids;
    }
    // The centre of the first row of the kind for the part (and bone).
    QPoint Row(BoneListBox::Kind kind, const std::string& part, const std::string& bone = "") {
        for (const BoneListBox& b : LayoutBoneList(list.View()))
            if (b.kind == kind && b.part.part->id == part && (!b.bone || b.bone->id == bone))
                return QPoint(100, (b.box.top + b.box.bottom) / 2);
        ADD_FAILURE() << "no row for " << part;
        return {};
    }
};

using Ids = std::vector<std::string>;

}  // namespace

TEST(BoneListWnd, HeaderPressSelectsAndDragRestacksWithOneUndoStep) {
    ListEnv e;
    ASSERT_EQ(e.Stack(), (Ids{"A", "B", "C"}));
    e.doc.boneSelection = {"A", "a1", true, 1};

    // Released within 4 px: selects the part and clears the bone selection.
    const QPoint a = e.Row(BoneListBox::Header, "A");
    e.list.OnLButtonDown(MK_LBUTTON, a);
    e.list.OnMouseMove(MK_LBUTTON, a + QPoint(2, 2));
    e.list.OnLButtonUp(0, a + QPoint(2, 2));
    EXPECT_EQ(e.doc.poseScene.selectedIds, Ids{"A"});
    EXPECT_TRUE(e.doc.boneSelection.boneId.empty());
    EXPECT_EQ(e.doc.poseUndo.undo.size(), 0u);

    // Farther: a drag, which selects nothing until it drops below C.
    e.doc.poseScene.ClearSelection();
    const QPoint c = e.Row(BoneListBox::Header, "C");
    e.list.OnLButtonDown(MK_LBUTTON, a);
    e.list.OnMouseMove(MK_LBUTTON, a + QPoint(3, 3));
    EXPECT_TRUE(e.list.PartDragging());
    EXPECT_TRUE(e.doc.poseScene.selectedIds.empty());
    e.list.OnMouseMove(MK_LBUTTON, c + QPoint(0, 15));
    e.list.grab();  // paints the insertion line and the ghost header
    e.list.OnLButtonUp(0, c + QPoint(0, 15));
    EXPECT_FALSE(e.list.PartDragging());
    EXPECT_EQ(e.Stack(), (Ids{"B", "C", "A"}));
    ASSERT_EQ(e.doc.poseUndo.undo.size(), 1u);
    EXPECT_EQ(e.doc.poseUndo.undo.back().kind, kUndoObjectMoved);
    e.doc.OnEditUndo();
    EXPECT_EQ(e.Stack(), (Ids{"A", "B", "C"}));

    // Dropped onto its own place: no step.
    const size_t steps = e.doc.poseUndo.undo.size();
    const QPoint b = e.Row(BoneListBox::Header, "B");
    e.list.OnLButtonDown(MK_LBUTTON, b);
    e.list.OnMouseMove(MK_LBUTTON, b + QPoint(0, -12));
    e.list.OnLButtonUp(0, b + QPoint(0, -12));
    EXPECT_EQ(e.Stack(), (Ids{"A", "B", "C"}));
    EXPECT_EQ(e.doc.poseUndo.undo.size(), steps);

    // A lost capture ends the drag as a release at the last point does:
    // the part lands where the insertion line was, as one step.
    e.list.OnLButtonDown(MK_LBUTTON, a);
    e.list.OnMouseMove(MK_LBUTTON, c + QPoint(0, 15));
    ASSERT_TRUE(e.list.PartDragging());
    e.list.OnCaptureLost();
    EXPECT_FALSE(e.list.PartDragging());
    EXPECT_EQ(e.Stack(), (Ids{"B", "C", "A"}));
    EXPECT_EQ(e.doc.poseUndo.undo.size(), steps + 1);
    e.list.OnLButtonUp(0, c + QPoint(0, 15));  // a stray release afterwards does nothing
    EXPECT_EQ(e.Stack(), (Ids{"B", "C", "A"}));
    EXPECT_EQ(e.doc.poseUndo.undo.size(), steps + 1);
}

TEST(BoneListWnd, BoneRowsDotsArrowAndDelete) {
    ListEnv e;
    // A bone row selects the part and the bone: its tail end with the
    // Select/Move Joint tool, no end with any other.
    for (int tool : {int(kToolSelectMoveJoint), int(kToolMove)}) {
        e.doc.activeTool = tool;
        e.doc.boneSelection = {};
        e.list.OnLButtonDown(MK_LBUTTON, e.Row(BoneListBox::BoneRow, "A", "a2"));
        e.list.OnLButtonUp(0, e.Row(BoneListBox::BoneRow, "A", "a2"));
        EXPECT_EQ(e.doc.poseScene.selectedIds, Ids{"A"});
        EXPECT_EQ(e.doc.boneSelection.objectId, "A");
        EXPECT_EQ(e.doc.boneSelection.boneId, "a2");
        EXPECT_EQ(e.doc.boneSelection.selected, tool == kToolSelectMoveJoint);
        EXPECT_EQ(e.doc.boneSelection.handleIndex, 1);
    }

    // The dots switch the part's flags without an undo step or the modified flag.
    const int y = e.Row(BoneListBox::Header, "B").y();
    e.list.OnLButtonDown(MK_LBUTTON, QPoint(18, y));
    e.list.OnLButtonDown(MK_LBUTTON, QPoint(38, y));
    EXPECT_FALSE(e.doc.poseScene.FindObject("B")->visible);
    EXPECT_TRUE(e.doc.poseScene.FindObject("B")->locked);
    EXPECT_FALSE(e.doc.IsModified());
    EXPECT_TRUE(e.doc.poseUndo.undo.empty());

    // The arrow collapses at the press; the double click that follows flips it back.
    const QPoint arrow(55, e.Row(BoneListBox::Header, "A").y());
    e.list.OnLButtonDown(MK_LBUTTON, arrow);
    EXPECT_FALSE(e.list.IsExpanded("A"));
    e.list.OnLButtonUp(0, arrow);
    e.list.OnLButtonDblClk(MK_LBUTTON, arrow);
    EXPECT_TRUE(e.list.IsExpanded("A"));

    // Delete refuses a bone others hang from and removes a leaf as one step.
    auto pressDelete = [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QCoreApplication::sendEvent(&e.list, &key);
    };
    e.doc.boneSelection = {"A", "a1", true, 1};
    pressDelete();
    EXPECT_EQ(e.doc.poseScene.FindObject("A")->bones.size(), 2u);
    e.doc.boneSelection = {"A", "a2", true, 1};
    pressDelete();
    EXPECT_EQ(e.doc.poseScene.FindObject("A")->bones.size(), 1u);
    EXPECT_EQ(e.doc.poseUndo.undo.size(), 1u);

    // Outside the Pose Editor nothing reacts.
    e.doc.workspaceMode = kWorkspaceCanvas;
    e.doc.poseScene.ClearSelection();
    e.list.OnLButtonDown(MK_LBUTTON, QPoint(100, 30));
    e.list.OnLButtonUp(0, QPoint(100, 30));
    EXPECT_TRUE(e.doc.poseScene.selectedIds.empty());
    e.list.grab();  // "No posable object active"
}

TEST(BoneListWnd, TheRightPaneShowsTheListOfThePoseEditor) {
    EnsureQtApp();
    QTemporaryDir programDir;
    CQuillfenEditorApp app;
    app.UseServices(std::make_unique<MemoryProfile>(), std::make_unique<ScriptedPrompts>(),
                    std::make_unique<MemoryClipboard>());
    app.showMainWindow = false;
    app.programFolder = programDir.path().toStdString();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(app.InitInstance({"plindrow"}));
    testing::internal::GetCapturedStdout();
    CQuillfenEditorDoc* doc = app.Document();
    auto* list = qobject_cast<CBoneListWnd*>(app.MainFrame()->Workspace()->RightPane()->PosablePage()->List());
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->HasTimer(CBoneListWnd::kRepaintTimer));
    EXPECT_EQ(list->Scene(), nullptr);
    doc->mainScene.AddObjectToLayer(*doc->mainScene.FindLayer("layer_1"),
                                    posable_test::SolidObject("object_1", 0, 0, 20, 20, 0xFF808080));
    doc->mainScene.SelectObject("object_1");
    ASSERT_TRUE(app.Commands().Execute(kCmdGoToBoneEditor));
    EXPECT_EQ(list->Scene(), &doc->poseScene);
    EXPECT_EQ(CollectPartsByOrder(doc->poseScene).size(), 1u);
}
