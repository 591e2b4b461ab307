#pragma once
// Posing a posable object in place on the canvas: while the Pose tool is
// active the view holds the object's runtime scene and rig, the user drags
// the joints of its one-bone parts, and the pose is written back into the
// object (one undo step) when the session ends.
#include "posable/RuntimeRig.h"
#include "scene/CanvasDocument.h"

#include <string>
#include <vector>

class CQuillfenEditorDoc;

struct CanvasPoseSession {
    bool open = false;
    std::string objectId;
    float scaleX = 1, scaleY = 1;
    CanvasDocument runtime;
    std::vector<JointLink> links;
    RuntimeRig rig;
    SceneRect bounds{0, 0, 1, 1};
    bool dragActive = false;
    std::string dragPartId;
    int dragEnd = 1;
    // A joint moved since the pose was last written into the object.
    bool dirty = false;
    // The stored pose the session was built from. When the object's changes
    // under the session (undo, Reset Pose), it is built again rather than
    // left to write a stale pose back on closing.
    bool builtHasPose = false;
    std::vector<PartPose> builtPoses;

    // Opens on the posable object (replacing a session on another object,
    // whose pose is committed first; one on the same object is kept unless
    // the object's stored pose changed). True when open on it afterwards.
    bool Open(CQuillfenEditorDoc& doc, const std::string& id);
    // Closes; with commit a pose changed since it was last stored is stored
    // in the object first.
    void Close(CQuillfenEditorDoc* doc, bool commit);
    // Stores the runtime pose in the object as one undo step (marking the
    // document modified) when a joint moved since it was last stored; nothing
    // otherwise. The view then rebuilds the session from the posed object.
    bool CommitPose(CQuillfenEditorDoc& doc);

    // Runtime point -> canvas point through the posed object; false without it.
    bool RuntimeToCanvas(const CanvasDocument& main, PointF r, PointF& out) const;
    bool CanvasToRuntime(const CanvasDocument& main, PointF c, PointF& out) const;

    // The joint within 14 client pixels of (px, py): part id and end. toClient
    // maps a canvas point to client pixels.
    bool PickJoint(const CanvasDocument& main, float zoom, float ox, float oy, float px, float py,
                   std::string& partId, int& end);
    // Moves the held joint to the canvas point (IK for a tail with partial IK on).
    bool DragTo(const CanvasDocument& main, PointF canvas);
};
