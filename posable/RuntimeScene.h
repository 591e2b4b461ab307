#pragma once
// The runtime scene of a posable object: every bone of every part cut out of
// its part's image as a rigid one-bone part, and the joint links that tie
// those parts together (the bones' own parent joints merged with the user's
// links). It is what the rig poses, what Test Bones shows and what the posed
// preview is rendered from. Rebuilt from scratch each time; never stored.
#include "platform/Bitmap.h"
#include "scene/CanvasDocument.h"

#include <cstdint>
#include <string>
#include <vector>

// A cut rectangle in an object's pixel space.
struct PixelRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// "<object id>__<bone id>": the id of the runtime part cut for a bone.
std::string RuntimePartId(const std::string& objectId, const std::string& boneId);
// The object id a runtime part was cut from: the text before the first "__",
// the whole id when there is none.
std::string RuntimePartSourceId(const std::string& partId);
// "<object id>|<bone id>" and "<object id>|<bone id>|<end>".
std::string MakeBoneKey(const std::string& objectId, const std::string& boneId);
std::string MakeJointKey(const JointLinkEnd& end);

// The smallest rectangle holding every pixel whose alpha is not 0; all zero
// when there is none.
PixelRect AlphaBounds(const Bitmap& bitmap);
// PNG bytes of a straight BGRA bitmap; false when encoding fails or gives no
// bytes or 4 GiB or more.
bool EncodeBitmapPng(const Bitmap& bitmap, std::vector<uint8_t>& out);

// The bone's pixels of the object's composed image (straight alpha, faded by
// the feathered region), trimmed to what is not transparent, and where that
// rectangle lies in the object's pixel space. False when nothing is left or
// the image cannot be made.
bool CutBonePart(CanvasObject& object, const Bone& bone, BitmapPtr& bitmap, PixelRect& rect);

// Merges link records that share an end (same object, bone and end) into
// groups, each end once, in the order first met; groups of more than one end
// become "runtime_link_%d" links numbered from 1 without gaps.
std::vector<JointLink> BuildRuntimeLinks(const std::vector<JointLink>& records);

// Replaces runtime and runtimeLinks with the runtime scene of the visible
// objects of the source's visible layers and its user links. With
// encodeParts off the cut images are kept only decoded (enough for drawing
// and measuring, not for storing).
void BuildRuntimeDocument(const CanvasDocument& source, const std::vector<JointLink>& userLinks,
                          CanvasDocument& runtime, std::vector<JointLink>& runtimeLinks, bool encodeParts = true);
