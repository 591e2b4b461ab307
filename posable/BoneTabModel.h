#pragma once
// What the Pose Editor's property tabs do to the model, without widgets: the
// Bone tab's control table and its one-undo-step-per-interaction edit of a
// bone's shape settings, the Add Bone tab's part, bone count and "Delete
// last", and the Links tab's counts, IK switch and "Remove all links".
#include "scene/CanvasDocument.h"

#include <string>
#include <vector>

class CQuillfenEditorDoc;

// --- Bone tab ---

// The Bone tab's control ids.
enum BoneTabControl : int {
    kBoneTabWidth = 501,
    kBoneTabFeather = 502,
    kBoneTabHeadCap = 503,
    kBoneTabTailCap = 504,
    kBoneTabHeadCapWidth = 505,
    kBoneTabTailCapWidth = 506,
    kBoneTabHeadShift = 507,
    kBoneTabTailShift = 508,
    kBoneTabHeadOffset = 509,
    kBoneTabTailOffset = 510,
    kBoneTabRoundHead = 520,
    kBoneTabRoundTail = 521,
    kBoneTabStretchable = 522,
};

// A numeric control of the Bone tab and the field it edits: the control
// shows field x scale within [minimum, maximum].
struct BoneNumericField {
    int id;
    const char* label;
    float Bone::*field;
    double scale;
    float minimum, maximum, step;
    int decimals;
};
// The ten numeric controls, ids 501 to 510 in order.
const std::vector<BoneNumericField>& BoneNumericFields();
const BoneNumericField* FindBoneNumericField(int id);
// The value the control shows for the bone, before the control clamps it;
// 0 for an unknown id.
double BoneFieldShown(const Bone& bone, int id);
// Writes a control's value into its field (divided by the scale in double
// precision, stored as float). False for an unknown id.
bool WriteBoneField(Bone& bone, int id, double shown);
// The checkboxes 520 to 522: a round-cap flag shows checked only when it is
// 1; writing stores 1 or 0 (the stretchable flag as a bool).
bool BoneCheckShown(const Bone& bone, int id);
bool WriteBoneCheck(Bone& bone, int id, bool checked);

// The object of the Pose Editor scene and its first bone with the id, or
// null when either id is empty or nothing is found.
CanvasObject* FindPoseEditorObject(CQuillfenEditorDoc& doc, const std::string& objectId);
Bone* FindPoseEditorBone(CQuillfenEditorDoc& doc, const std::string& objectId, const std::string& boneId);

// One numeric interaction of the Bone tab. Begin takes the bone list of the
// object as the snapshot and remembers which object and bone it was; every
// live write and the commit go to that bone and object, so a selection that
// changes mid-interaction cannot pair one object's list before with
// another's after, nor leave a change without its undo step.
class BoneTabEdit {
public:
    // False (and nothing taken) while open or when the object is missing.
    bool Begin(CQuillfenEditorDoc& doc, const std::string& objectId, const std::string& boneId);
    bool Open() const { return open_; }
    const std::string& ObjectId() const { return objectId_; }
    const std::string& BoneId() const { return boneId_; }
    // Writes a control's value into the begun bone, marks the document
    // modified and repaints the views; no undo step. False when not open or
    // the bone is gone.
    bool Live(CQuillfenEditorDoc& doc, int id, double shown);
    // Ends the interaction: the begun object's list before and now as one
    // undo step (none when they are equal), the document marked modified and
    // all views updated. False when nothing was open or the object is gone.
    bool Commit(CQuillfenEditorDoc& doc);

private:
    bool open_ = false;
    std::string objectId_, boneId_;
    std::vector<Bone> snapshot_;
};

// A checkbox click on the bone: the new state written and one undo step.
// False when the object or bone is missing or the state already held.
bool ApplyBoneCheck(CQuillfenEditorDoc& doc, const std::string& objectId, const std::string& boneId, int id,
                    bool checked);

// --- Add Bone tab ---

// The part the Add Bone tab counts and deletes bones of: the part the Add
// Bone tool adds to (the Pose Editor's selected part), else the first object
// of the first layer of the Pose Editor scene that has objects. Null when
// no object is open in the Pose Editor.
CanvasObject* AddBoneTabPart(CQuillfenEditorDoc& doc);
// "Delete last" applies: the part has bones, is unlocked and no bone hangs
// from its last bone.
bool CanDeleteLastBone(const CanvasObject& part);
struct AddBoneTabState {
    bool hasPart = false;
    int boneCount = 0;
    bool canDeleteLast = false;
};
AddBoneTabState ReadAddBoneTab(CQuillfenEditorDoc& doc);
// Removes the last bone of the tab's part: its joint ends leave the link
// groups (an undo step of its own when a group changed), the bone selection
// is cleared when it named that bone, and the bone list change is one undo
// step. False when nothing was removed.
bool DeleteLastBone(CQuillfenEditorDoc& doc);

// --- Links tab ---

struct LinkCounts {
    int groups = 0;
    int joints = 0;  // the ends of every group together
};
LinkCounts CountLinks(const std::vector<JointLink>& links);
// The main scene's primary selected object when it is a posable object,
// else null: the object "Use IK" switches.
CanvasObject* IkTargetObject(CQuillfenEditorDoc& doc);
// Sets the IK flag of that object's posable scene (no undo step). False
// without a posable target.
bool SetUseIk(CQuillfenEditorDoc& doc, bool on);
// Empties the Pose Editor's link groups as one undo step. False when there
// were none.
bool RemoveAllLinks(CQuillfenEditorDoc& doc);
