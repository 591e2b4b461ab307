#pragma once
// The model side of the two "Pose" property tabs, apart from their windows:
// placing and naming the part open in the Pose Editor, and resetting the pose
// or switching the partial IK of a posable object on the canvas.
#include "scene/CanvasDocument.h"

#include <string>
#include <vector>

class CQuillfenEditorDoc;

// The part the Pose Editor's tab edits: while an object is open in the Pose
// Editor, the first object of the first layer of its scene that has any;
// null otherwise.
CanvasObject* FindPoseEditorPart(CQuillfenEditorDoc& doc);

enum class PoseObjectField { X, Y, Width, Height };

struct PoseObjectFieldResult {
    ObjectTransform transform;
    bool otherSideChanged = false;  // W moved H along, or H moved W
};

// The placement after field is set to value. With the aspect link on and an
// interaction open (snapshot: the placement when it began, else null), W or
// H carries the other side along by the snapshot's ratio, so the ratio never
// drifts over the steps of a drag; a snapshot side of 0 or less unlinks.
PoseObjectFieldResult EditPoseObjectField(const ObjectTransform& current, PoseObjectField field, float value,
                                          bool linked, const ObjectTransform* snapshot);

// Text without white space at either end.
std::string TrimName(const std::string& text);

enum class PartNameCommit { NoPart, Restored, Unchanged, Renamed };

// The name typed for the Pose Editor's part, trimmed: nothing left restores
// the part's name, a different name becomes the part's name as one undo
// step. shown receives the part's name afterwards, for the name field.
PartNameCommit CommitPoseEditorPartName(CQuillfenEditorDoc& doc, const std::string& typed, std::string& shown);

// A pose being made on the canvas and not yet stored in the object: the
// Pose tool's parts with the scale and render origin of its session.
struct LivePose {
    std::vector<PartPose> poses;
    float scaleX = 1, scaleY = 1;
    float originX = 0, originY = 0;
};

// Puts the single selected posable object of the canvas back into its rest
// pose at its displayed size, as one undo step. live, when given, is the
// pose the user sees (a session open on the object): undo brings that back,
// not the pose stored before the session. False, with nothing changed, when
// no such object is selected or the rest pose cannot be rendered.
bool ResetPosableObjectPose(CQuillfenEditorDoc& doc, const LivePose* live = nullptr);

// Switches whether a tail drag of the Pose tool solves the chain by inverse
// kinematics on the main scene's posable object. Like the menu command it
// records no undo step. False when there is no such object.
bool SetPosablePartialIK(CQuillfenEditorDoc& doc, const std::string& objectId, bool on);
