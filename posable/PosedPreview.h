#pragma once
// The picture a posable object shows on the canvas: one image part, the
// preview, rendered from its runtime scene at rest or in its stored pose.
// Compositing, filters, hit tests and export treat a posable object as a
// bitmap; only these operations know how its picture was made. None of them
// records undo.
#include "platform/Bitmap.h"
#include "scene/CanvasDocument.h"

#include <string>
#include <vector>

class CQuillfenEditorDoc;

struct PosePreviewImage {
    std::string fileName;
    std::vector<uint8_t> png;
    BitmapPtr bitmap;  // the decoded picture, so the preview never decodes its own PNG
    float width = 0, height = 0;
};

// Renders the visible objects of the visible layers by z, rigidly, into an
// image covering their rotated bounds: unscaled (one pixel per scene unit),
// or stretched per axis to ceil(targetWidth) x ceil(targetHeight) when both
// are positive. bounds receives the union's origin and the pixel size. False
// when nothing is visible or the image cannot be made.
bool RenderPosedScene(CanvasDocument& runtime, PosePreviewImage& image, SceneRect& bounds, float targetWidth = 0,
                      float targetHeight = 0);

// Gives the runtime parts named by the poses their posed placement and bone;
// poses naming no one-bone part are ignored.
void ApplyPartPoses(CanvasDocument& runtime, const std::vector<PartPose>& poses);

// Makes the object posable from the scene, at rest, sized as the render times
// the scale (the object's size over its preview's pixel size). False (object
// untouched) when the render fails.
bool ApplyPosableScene(CanvasObject& object, const PosableScene& scene, float scaleX, float scaleY);

// Where the picture of the scene begins, in scene units: the origin of its
// render at rest, or in posedBy's stored pose when posedBy has one. False
// when nothing of it is visible.
bool PosableSceneRenderOrigin(const PosableScene& scene, const CanvasObject* posedBy, float& x, float& y);

// ApplyPosableScene for an object whose picture began at (originX, originY)
// of the scene it showed: the object moves so that every part stays where it
// was on the canvas, whatever the new picture's bounds. False (object
// untouched) when the render fails.
bool ApplyPosableSceneInPlace(CanvasObject& object, const PosableScene& scene, float scaleX, float scaleY,
                              float originX, float originY);

// Stores a pose made on the canvas and re-renders; the object grows or
// shrinks around the posed parts so the parts left alone stay in place.
// scale is the object's size over its preview's pixel size, origin the bounds
// origin of the render made when posing began. False in any workspace but the
// canvas, or without a posable object of that id in the main scene.
bool CommitPose(CQuillfenEditorDoc& doc, const std::string& objectId, const std::vector<PartPose>& poses,
                float scaleX, float scaleY, float originX, float originY);

// Puts a posed object back into its rest pose where it stands: the parts
// that the pose left alone stay on their canvas points, and a rest, pose and
// reset come back to the very box the object had. scale as for CommitPose.
// False (object untouched) when the render fails.
bool ResetPoseInPlace(CanvasObject& object, float scaleX, float scaleY);

// Re-renders the preview at the object's size when it has grown past the
// preview's pixels; position, size, scene and pose stay.
bool UpdatePosableImageResolution(CanvasObject& object);
