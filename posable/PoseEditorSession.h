#pragma once
// Moving objects into and out of the Pose Editor: a posable object's scene
// (or a plain object made into a one-part scene) is unfolded into the
// document's Pose Editor scene and link list, and written back into the
// object when the Pose Editor is finished. Several objects can also be made
// into one new posable object, which then opens in the Pose Editor.
#include "document/PoseEditorProvider.h"
#include "scene/CanvasDocument.h"

class CQuillfenEditorDoc;

// The one-part scene of a plain object: a 2000 x 2000 scene with the object's
// images centred at their own scale. Always true.
bool PosableSceneFromObject(const CanvasObject& object, PosableScene& scene);
// Fills the Pose Editor scene (at least 3000 x 3000) and its link list from
// the scene; links that name no part or bone are dropped.
void LoadPoseEditorScene(CQuillfenEditorDoc& doc, const PosableScene& scene);
// The Pose Editor scene and link list as a posable scene (IK flag off).
PosableScene ExportPoseEditorScene(const CQuillfenEditorDoc& doc);

// The Pose Editor's document operations, installed into the document.
class PosableEditorProvider : public PoseEditorProvider {
public:
    bool FinishBoneEditor(CQuillfenEditorDoc& doc, std::string& why) override;
    bool EnterBoneEditor(CQuillfenEditorDoc& doc) override;
    bool CanCreateMultiObject(const CQuillfenEditorDoc& doc) const override;
    void CreateMultiObject(CQuillfenEditorDoc& doc) override;
    // CreateMultiObject with its outcome: true when the object was made (the
    // Pose Editor is then open on it, when the frame could switch to it).
    bool CreateMultiObjectChecked(CQuillfenEditorDoc& doc);
};
