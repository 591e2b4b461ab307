#pragma once
// The Pose Editor's mouse tools without a window: the part tool (select,
// marquee, move, resize, rotate), Add Bone, Select/Move Joint with its shape
// handles, and Link Joints. The view feeds them view points and repaints
// when they report a change; each finished gesture is one undo step. A drag
// that loses the mouse capture ends through CaptureLost exactly as on release.
#include "canvas_view/TransformHandles.h"
#include "posable/PoseEditorGeometry.h"
#include "scene/CanvasDocument.h"

#include <string>
#include <utility>
#include <vector>

class CQuillfenEditorDoc;

// The status hint shown while the round-cap width handle is dragged.
inline constexpr const char* kCapWidthHint = "Cap Width   CTRL: this cap only   ALT: equalize all caps at joint";

struct PartDragRecord {
    std::string objectId;
    ObjectTransform before;
};

// The part frame's handles, numbered as the shared transform frame's: 0 none,
// 1 inside, 2..9 the corners and edges clockwise from the top-left, 10 rotation.
enum PartHandle : int {
    kPartHandleNone = 0,
    kPartHandleInside = 1,
    kPartHandleTopLeft = 2,
    kPartHandleTop = 3,
    kPartHandleTopRight = 4,
    kPartHandleRight = 5,
    kPartHandleBottomRight = 6,
    kPartHandleBottom = 7,
    kPartHandleBottomLeft = 8,
    kPartHandleLeft = 9,
    kPartHandleRotate = 10,
};

// The four corners of a view rectangle turned about its centre.
void RotatedCorners(const RectF& r, float rotation, PointF out[4]);

// Link edits. Drop: joins source and target (ends of different parts) into a
// group, adds to one, or merges two that share no part; false when nothing
// changed. The merged-away group is removed by position, never by id, so
// groups sharing an id are left alone.
bool ApplyLinkDrop(std::vector<JointLink>& links, const JointLinkEnd& source, const JointLinkEnd& target);
// Removes the end from the first group holding it; a group left with fewer
// than two ends goes (that group only). False when no group holds it.
bool RemoveLinkEnd(std::vector<JointLink>& links, const JointLinkEnd& end);
bool SameEnd(const JointLinkEnd& a, const JointLinkEnd& b);

// After a part's bitmap was replaced and its placement changed (cropped,
// grown, rotation baked), puts its bones back on the same scene points:
// each end old-normalised -> scene -> new-normalised. bones are the part's
// bones as they were under the old placement.
void RemapBonesToPart(CanvasObject& part, const ObjectTransform& old, const std::vector<Bone>& bones);

// The part the part and bone tools work on (Add Bone adds to it): the Pose
// Editor scene's primary selected object, or null.
CanvasObject* SelectedPoseEditorPart(CQuillfenEditorDoc& doc);

class PoseEditorTools {
public:
    PoseViewState view;
    // The parts' transform frame: the canvas's look, sizes and pick boxes.
    TransformHandleStyle frameStyle;

    // --- Part tool ---
    bool partDrag = false, waitThreshold = false;
    bool marqueePending = false, marqueeActive = false, marqueeAdditive = false;
    int grabbedHandle = kPartHandleNone;
    PointF pressView, pressScene, marqueeStart, marqueeEnd;
    ObjectTransform anchor;
    RectF selectionBounds;
    std::vector<PartDragRecord> records;

    // --- Add Bone ---
    bool addActive = false;
    std::string addTarget, addParent;
    int addParentEnd = 1;
    PointF addStart, addEnd;

    // --- Select/Move Joint ---
    std::string dragBoneId;
    int dragEnd = 1;
    std::vector<std::pair<std::string, int>> grabbedJoints;
    bool jointDragStarted = false;
    BoneHandle activeHandle = BoneHandle::None;
    bool boneMovePending = false, boneMoveActive = false;
    std::vector<std::pair<std::string, int>> movedJoints;
    std::vector<PointF> movedStarts;
    PointF grabPoint, jointPress;
    std::string snapshotObjectId;  // the part the snapshot was taken of
    std::vector<Bone> snapshot;

    // --- Link Joints ---
    bool linkDrag = false;
    JointLinkEnd linkSource, linkTarget, hoveredEnd;
    PointF linkLast;

    // --- Hover ---
    std::string hoverBone;
    int hoverEnd = 1;
    std::string hoverMidpoint;
    PointF lastPoint;

    // Ends every gesture without committing and clears the hover state.
    void Reset();
    // True while a gesture holds the mouse.
    bool Busy() const;

    // Each returns true when it handled the event (the view then repaints).
    bool PartPress(CQuillfenEditorDoc& doc, PointF p, bool ctrl);
    bool PartMove(CQuillfenEditorDoc& doc, PointF p);
    bool PartRelease(CQuillfenEditorDoc& doc, PointF p);
    int HitTestPartHandle(CQuillfenEditorDoc& doc, PointF p) const;
    bool SelectionSceneBounds(const CanvasDocument& scene, RectF& out) const;

    bool AddBonePress(CQuillfenEditorDoc& doc, PointF p);
    bool AddBoneMove(CQuillfenEditorDoc& doc, PointF p);
    bool AddBoneRelease(CQuillfenEditorDoc& doc, PointF p);

    bool JointPress(CQuillfenEditorDoc& doc, PointF p);
    // ctrl carries hanging bones along (joint drags) or changes only the
    // dragged value (width and cap-width handles); alt equalises the caps at
    // a joint.
    bool JointMove(CQuillfenEditorDoc& doc, PointF p, bool buttonDown, bool ctrl, bool alt);
    bool JointRelease(CQuillfenEditorDoc& doc);
    // Whether the pointer shows the move cursor with Select/Move Joint: over
    // a handle of the selected bone, any joint or a midpoint, or in a drag.
    bool JointToolMoveCursor(CQuillfenEditorDoc& doc, PointF p) const;
    // Deletes the selected bone unless a bone hangs on it.
    bool DeleteSelectedBone(CQuillfenEditorDoc& doc);

    bool LinkPress(CQuillfenEditorDoc& doc, PointF p);
    bool LinkMove(CQuillfenEditorDoc& doc, PointF p);
    bool LinkRelease(CQuillfenEditorDoc& doc);
    bool RemoveHoveredLinkEnd(CQuillfenEditorDoc& doc);

    // The mouse capture was lost: the gesture of the tool ends as a release.
    void CaptureLost(CQuillfenEditorDoc& doc, int tool);

private:
    void BeginPartDrag(CQuillfenEditorDoc& doc, int handle, PointF p, bool wait);
    void ApplyTransformDrag(CQuillfenEditorDoc& doc, PointF p);
    void SelectInMarquee(CQuillfenEditorDoc& doc);
    void ApplyHandleDrag(CanvasObject& part, PointF p, bool ctrl, bool alt);
    // A joint of the selected bone within 10 view pixels of p, head first.
    bool SelectedBoneJointAt(const CanvasObject& part, const Bone* bone, PointF p, std::string& id, int& end) const;
};
