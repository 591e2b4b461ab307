#pragma once
// Poses a runtime scene: every runtime part carries exactly one bone; moving
// a bone's head moves its part rigidly, moving its tail turns the part about
// its head (and lengthens a stretchable bone), joint links keep the ends they
// join together, and a head-to-tail chain of parts can be solved by inverse
// kinematics (FABRIK). It never records undo and never touches a document.
//
// Canvas coordinates throughout; rotations in degrees, positive turning +x
// toward +y (clockwise on screen).
#include "platform/Raster.h"
#include "scene/CanvasDocument.h"

#include <string>
#include <vector>

// A one-bone part as it was when the rest was captured; head and tail in the
// part's own pixels from its unrotated top-left corner.
struct PartRest {
    std::string objectId;
    float x = 0, y = 0, width = 0, height = 0, rotation = 0, opacity = 1;
    PointF head, tail;
};

// A link at rest: per end, its canvas position minus the first end's.
struct LinkRest {
    std::string linkId;
    std::vector<PointF> offsets;
};

// The canvas point of normalised part coordinates (u, v): (x + w u, y + h v)
// turned by the object's rotation about its centre.
PointF NormalizedToCanvas(const CanvasObject& object, float u, float v);

// Every visible object of every layer (the layers' own flags are not
// consulted), by z ascending.
std::vector<CanvasObject*> CollectVisibleObjectsByZ(CanvasDocument& scene);

class RuntimeRig {
public:
    CanvasDocument* doc = nullptr;             // not owned; edited in place
    const std::vector<JointLink>* links = nullptr;  // not owned; may be null
    std::vector<PartRest> partRests;
    std::vector<LinkRest> linkRests;

    // The passes SatisfyLinks makes at most and the FABRIK iterations of one
    // solve: both bound the work per drag event whatever the scene holds.
    static constexpr int kLinkPasses = 8;
    static constexpr int kIkIterations = 10;

    // Rebuilds the rest records from the scene and links as they are now.
    void CaptureRest();
    bool GetJointPosition(const JointLinkEnd& end, PointF& out) const;
    // Head (end 0): translates the part. Tail: turns the part about its head
    // toward the target; a stretchable bone's tail lands on the target.
    bool MoveJoint(const JointLinkEnd& end, PointF target);
    // Moves linked ends together by repeated averaging (at most 8 passes).
    void SatisfyLinks();
    // Solves the chain from the grabbed part up through its parents (within
    // its source object) so that the grabbed tail reaches the target.
    bool SolveChainIK(const std::string& grabbedId, PointF target);
    // A point of the part's rest-local pixels where it lies in the pose
    // (stretch included); false without a rest record.
    bool MapRestPointToPose(const CanvasObject& part, const Bone& bone, PointF p, PointF& out) const;

    // Paints the posed scene onto target: background over fillRect, parts
    // (stretched ones along their bone), then bones. screen = zoom canvas + offset.
    // Bone lines and joint discs are sized in view pixels times pixelScale, so
    // a target of device pixels (zoom and offset already scaled by the device
    // pixel ratio, pixelScale the ratio) shows them at their view size.
    static void Draw(const RasterTarget& target, CanvasDocument& scene, const RuntimeRig* rig, float zoom,
                     PointF offset, const RectF& fillRect, float pixelScale = 1.0f);

private:
    const PartRest* FindRest(const std::string& objectId) const;
    CanvasObject* FindOneBonePart(const std::string& objectId, const std::string& boneId) const;
};
