#pragma once
// The Pose Editor's document operations, provided by the posable subsystem
// and installed with CQuillfenEditorDoc::SetPoseEditorProvider. Without one
// (null) the Pose Editor cannot be entered or finished.
#include <string>

class CQuillfenEditorDoc;

class PoseEditorProvider {
public:
    virtual ~PoseEditorProvider() = default;
    // Writes the Pose Editor scene back into its main-scene object as one
    // undo step and leaves the Pose Editor; false when nothing was open or
    // the write-back failed, and then the Pose Editor stays open as it was.
    // why receives the reason the user has not been told yet (empty when
    // nothing was open or when the failing part has said so itself).
    virtual bool FinishBoneEditor(CQuillfenEditorDoc& doc, std::string& why) = 0;

    // --- Entering the Pose Editor and building multi-part objects ---
    // Opens the main scene's primary object in the Pose Editor (mode 1);
    // false outside the canvas or without a primary object.
    virtual bool EnterBoneEditor(CQuillfenEditorDoc& doc) {
        (void)doc;
        return false;
    }
    virtual bool CanCreateMultiObject(const CQuillfenEditorDoc& doc) const {
        (void)doc;
        return false;
    }
    virtual void CreateMultiObject(CQuillfenEditorDoc& doc) { (void)doc; }
    // --- end Pose Editor entry ---
};
