// The document's entries in the command table: a handler and an update rule
// per command id. Each group of commands registers itself from one function
// here, so adding a group is adding one call.
#include "document/DocumentCommands.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/SettingsToggles.h"
#include "platform/CommandTable.h"

#include <utility>

namespace {

using Rule = CommandTable::UpdateRule;

void RegisterUndoCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    table.Add(
        CommandTarget::Document, kCmdEditUndo, [&doc] { doc.OnEditUndo(); },
        [&doc](CommandUpdate& u) { u.Enable(doc.CanUndo()); });
    table.Add(
        CommandTarget::Document, kCmdEditRedo, [&doc] { doc.OnEditRedo(); },
        [&doc](CommandUpdate& u) { u.Enable(doc.CanRedo()); });
}

// A rule that only enables.
template <typename Pred>
Rule EnableWhen(Pred pred) {
    return [pred = std::move(pred)](CommandUpdate& u) { u.Enable(pred()); };
}

// A rule that enables and clears the check mark.
template <typename Pred>
Rule EnableUnchecked(Pred pred) {
    return [pred = std::move(pred)](CommandUpdate& u) {
        u.Enable(pred());
        u.SetCheck(false);
    };
}

struct ToolRow {
    uint32_t id;
    int tool;
};

constexpr ToolRow kToolRows[] = {
    {kCmdToolMove, kToolMove},
    {kCmdToolEyedropper, kToolEyedropper},
    {kCmdToolPose, kToolPose},
    {kCmdToolAddBone, kToolAddBone},
    {kCmdToolSelectMoveJoint, kToolSelectMoveJoint},
    {kCmdToolLinkJoints, kToolLinkJoints},
    {kCmdToolSkew, kToolSkew},
    {kCmdToolDistort, kToolDistort},
    {kCmdToolLight, kToolLight},
    {kCmdToolPaintBrush, kToolPaintBrush},
    {kCmdToolMixerBrush, kToolMixerBrush},
    {kCmdToolBlendBrush, kToolBlendBrush},
    {kCmdToolSmudgeBrush, kToolSmudgeBrush},
    {kCmdToolCloneBrush, kToolCloneBrush},
    {kCmdToolHealingCloneBrush, kToolHealingCloneBrush},
    {kCmdToolRecolorBrush, kToolRecolorBrush},
    {kCmdToolStencilKitbash, kToolStencilKitbash},
    {kCmdToolEraser, kToolEraser},
    {kCmdToolRectangleMarquee, kToolRectangleMarquee},
    {kCmdToolEllipseMarquee, kToolEllipseMarquee},
    {kCmdToolEllipseFromCenter, kToolEllipseFromCenter},
    {kCmdToolPolygonLasso, kToolPolygonLasso},
    {kCmdToolFreehandLasso, kToolFreehandLasso},
    {kCmdToolMagicWand, kToolMagicWand},
    {kCmdToolCurveLasso, kToolCurveLasso},
    {kCmdToolRefine, kToolRefine},
    {kCmdToolPaintMask, kToolPaintMask},
    {kCmdToolEraseMask, kToolEraseMask},
};

void RegisterToolCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    for (const ToolRow& row : kToolRows) {
        const int tool = row.tool;
        CommandTable::Handler handler;
        if (tool == kToolSelectMoveJoint)
            handler = [&doc] { doc.OnToolSelectMoveJoint(); };
        else
            handler = [&doc, tool] { doc.OnToolSelect(tool); };
        table.Add(CommandTarget::Document, row.id, std::move(handler), [&doc, tool](CommandUpdate& u) {
            u.Enable(doc.IsToolAvailable(tool));
            u.SetCheck(doc.activeTool == tool);
        });
    }
}

void RegisterEditAndFileCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    const auto T = CommandTarget::Document;
    table.Add(T, kCmdEditCopy, [&doc] { doc.OnEditCopy(); }, EnableWhen([&doc] { return doc.CanCopySelection(); }));
    table.Add(T, kCmdEditCut, [&doc] { doc.OnEditCut(); }, EnableWhen([&doc] { return doc.GetSelectionState(); }));
    table.Add(T, kCmdEditPaste, [&doc] { doc.OnEditPaste(); },
              EnableWhen([&doc] { return doc.CanPasteFromClipboard(); }));
    table.Add(T, kCmdEditDelete, [&doc] { doc.OnEditDelete(); },
              EnableWhen([&doc] { return doc.GetSelectionState(); }));
    table.Add(T, kCmdDeleteLayer, [&doc] { doc.OnModifyDeleteLayer(); },
              EnableWhen([&doc] { return doc.CanDeleteActiveLayer(); }));
    table.Add(T, kCmdConvertToBitmap, [&doc] { doc.OnModifyConvertToBitmap(); },
              EnableWhen([&doc] { return doc.CanConvertToBitmap(); }));
    table.Add(T, kCmdFileImportImage, [&doc] { doc.OnFileImportImage(); });
    table.Add(T, kCmdFileExportPng, [&doc] { doc.OnFileExportPng(); });
}

void RegisterCanvasCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    const auto T = CommandTarget::Document;
    table.Add(T, kCmdSetCanvasSize, [&doc] { doc.OnModifySetCanvasSize(); },
              EnableWhen([&doc] { return doc.workspaceMode == kWorkspaceCanvas; }));
    table.Add(T, kCmdAddLayer, [&doc] { doc.OnModifyAddLayer(); });
    table.Add(T, kCmdInsertLightCone, [&doc] { doc.OnInsertLightCone(); });
    table.Add(T, kCmdResetWarp, [&doc] { doc.OnResetWarp(); }, EnableWhen([&doc] { return doc.CanResetWarp(); }));
    table.Add(T, kCmdBenchmark, [&doc] { doc.OnBenchmark(); });
}

void RegisterSelectionAndImageCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    const auto T = CommandTarget::Document;
    table.Add(T, kCmdDeselect, [&doc] { doc.OnSelectionDeselect(); },
              EnableWhen([&doc] { return doc.CanDeselectOrInverse(); }));
    table.Add(T, kCmdReselect, [&doc] { doc.OnSelectionReselect(); },
              EnableWhen([&doc] { return doc.CanReselect(); }));
    table.Add(T, kCmdInverse, [&doc] { doc.OnSelectionInverse(); },
              EnableWhen([&doc] { return doc.CanDeselectOrInverse(); }));
    table.Add(T, kCmdSplitBitmap, [&doc] { doc.OnSelectionSplitBitmap(); },
              EnableWhen([&doc] { return doc.CanSplitBitmap(); }));
    // "Object Selection ..." has a state but nothing in the document runs it.
    table.SetUpdateRule(T, kCmdObjectSelection, EnableWhen([&doc] { return doc.IsSingleBitmapSelected(); }));

    table.Add(T, kCmdAddMask, [&doc] { doc.OnImageAddMask(); }, EnableWhen([&doc] { return doc.CanAddMask(); }));
    table.Add(T, kCmdInvert, [&doc] { doc.OnImageInvert(); },
              EnableWhen([&doc] { return doc.CanInvertOrBrightness(); }));
    table.Add(T, kCmdBrightness, [&doc] { doc.OnImageBrightness(); },
              EnableWhen([&doc] { return doc.CanInvertOrBrightness(); }));
    table.Add(T, kCmdInpaint, [&doc] { doc.OnImageInpaint(); }, EnableWhen([&doc] { return doc.CanInpaint(); }));

    table.Add(T, kCmdInpaintAddSource, [&doc] { doc.SetInpaintErase(false); }, [&doc](CommandUpdate& u) {
        const bool on = doc.CanEditInpaintSource();
        u.Enable(on);
        u.SetCheck(on && !doc.InpaintEraseFlag());
    });
    table.Add(T, kCmdInpaintRemoveSource, [&doc] { doc.SetInpaintErase(true); }, [&doc](CommandUpdate& u) {
        const bool on = doc.CanEditInpaintSource();
        u.Enable(on);
        u.SetCheck(on && doc.InpaintEraseFlag());
    });
    table.Add(T, kCmdInpaintSelectAllSource, [&doc] { doc.OnInpaintSelectAllSource(); },
              EnableWhen([&doc] { return doc.CanEditInpaintSource(); }));
    table.Add(T, kCmdInpaintClearSource, [&doc] { doc.OnInpaintClearSource(); },
              EnableWhen([&doc] { return doc.CanEditInpaintSource(); }));
}

void RegisterPoseEditorCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    const auto T = CommandTarget::Document;
    table.Add(T, kCmdCreateMultiObject, [&doc] { doc.OnCreateMultiObject(); },
              EnableWhen([&doc] { return doc.CanCreateMultiObject(); }));
    table.Add(T, kCmdGoToBoneEditor, [&doc] { doc.EnterBoneEditor(); },
              EnableWhen([&doc] { return doc.CanEnterBoneEditor(); }));
    table.Add(T, kCmdFinishBoneEditor, [&doc] { doc.FinishBoneEditor(); },
              EnableWhen([&doc] { return doc.IsPoseEditorOpen(); }));
    table.Add(T, kCmdBoneStretchable, [&doc] { doc.OnBoneStretchable(); }, [&doc](CommandUpdate& u) {
        bool checked = false;
        u.Enable(doc.CanToggleBone(false, checked));
        u.SetCheck(checked);
    });
    table.Add(T, kCmdBoneRoundEndpoint, [&doc] { doc.OnBoneRoundEndpoint(); }, [&doc](CommandUpdate& u) {
        bool checked = false;
        u.Enable(doc.CanToggleBone(true, checked));
        u.SetCheck(checked);
    });
    table.Add(T, kCmdBoneRemove, [&doc] { doc.OnBoneRemove(); },
              EnableUnchecked([&doc] { return doc.CanRemoveBone(); }));
    table.Add(T, kCmdBoneCopyFromParent, [&doc] { doc.OnBoneCopyFromParent(); },
              EnableUnchecked([&doc] { return doc.CanCopyFromParent(); }));
    table.Add(T, kCmdDeleteBone, [&doc] { doc.OnDeleteBone(); },
              EnableUnchecked([&doc] { return doc.CanDeleteBone(); }));
    table.Add(T, kCmdBreakLink, [&doc] { doc.OnBreakLink(); }, EnableWhen([&doc] { return doc.CanBreakLink(); }));
    table.Add(T, kCmdTestBones, [&doc] { doc.OnTestBones(); },
              EnableWhen([&doc] { return doc.IsPoseEditorOpen(); }));
    table.Add(T, kCmdUsePartialIK, [&doc] { doc.OnUsePartialIK(); }, [&doc](CommandUpdate& u) {
        bool checked = false;
        u.Enable(doc.CanUsePartialIK(checked));
        u.SetCheck(checked);
    });
}

void RegisterSettingToggles(CQuillfenEditorDoc& doc, CommandTable& table) {
    for (const SettingToggle& toggle : kSettingToggles) {
        const uint32_t id = toggle.commandId;
        // Always available: the rule only shows the check.
        table.Add(CommandTarget::Document, id, [&doc, id] { doc.OnSettingToggle(id); },
                  [&doc, id](CommandUpdate& u) { u.SetCheck(doc.ReadSettingToggle(id)); });
    }
}

}  // namespace

int ToolForCommand(uint32_t commandId) {
    for (const ToolRow& row : kToolRows)
        if (row.id == commandId) return row.tool;
    return -1;
}

void CQuillfenEditorDoc::RegisterCommands(CommandTable& table) {
    RegisterUndoCommands(*this, table);
    RegisterEditAndFileCommands(*this, table);
    RegisterToolCommands(*this, table);
    RegisterCanvasCommands(*this, table);
    RegisterSelectionAndImageCommands(*this, table);
    RegisterPoseEditorCommands(*this, table);
    RegisterSettingToggles(*this, table);
}
