#pragma once
// Records of posable objects and rigs: bones, joint links, the Pose Editor's
// sub-scene of parts and the posed placement of runtime parts. Plain values;
// nothing here is shared or cached.
#include <cstdint>
#include <string>
#include <vector>

struct Bone {
    std::string id;  // "bone_%d", unique within its bone list
    std::string name;
    bool hasParent = false;
    std::string parentId;
    int32_t parentEnd = 1;  // end of the parent this bone's head attaches to: 0 head, 1 tail
    float headX = 0, headY = 0;  // normalised part coordinates
    float tailX = 0, tailY = 0;
    bool stretchable = false;
    float width = 0.25f;
    float headCapLength = 0.12f;
    float tailCapLength = 0.12f;
    float headShift = 0, tailShift = 0;    // -1..1
    float headOffset = 0, tailOffset = 0;  // -1..1
    float headCapWidth = 0.25f;
    float tailCapWidth = 0.25f;
    int32_t roundHeadCap = 1;
    int32_t roundTailCap = 1;
    float feather = 0.01f;
    bool wholeImage = true;  // a single bone of an object covers the whole image
};

struct JointLinkEnd {
    std::string objectId;
    std::string boneId;
    int32_t end = 0;  // 0 head, 1 tail
};

struct JointLink {
    std::string id;  // "lj_%d", unique among a scene's links
    std::string name;
    std::vector<JointLinkEnd> ends;
};

// The stored form of an image part inside a posable part: no caches.
struct ImagePartRecord {
    std::string id;
    std::string name;
    std::string source;
    std::vector<uint8_t> encoded;
    float pixelWidth = 0, pixelHeight = 0;
    float offsetX = 0, offsetY = 0;
    float displayWidth = 0, displayHeight = 0;
    float opacity = 1.0f;
    bool visible = true;
    int32_t z = 0;
};

struct PosablePart {
    std::string id;
    std::string name;
    float x = 0, y = 0, width = 0, height = 0;
    float rotation = 0;
    float opacity = 1.0f;
    std::vector<ImagePartRecord> parts;
    std::vector<Bone> bones;
    bool visible = true;
    bool locked = false;
    int32_t z = 0;
};

constexpr uint32_t kPosableSceneDefaultColour = 0xFF5C6068;

struct PosableScene {
    float width = 1024;
    float height = 1024;
    uint32_t colour = kPosableSceneDefaultColour;
    std::vector<PosablePart> parts;
    std::vector<JointLink> links;
    bool usePartialIK = false;
};

struct PartPose {
    std::string objectId;
    float x = 0, y = 0, width = 0, height = 0;
    float rotation = 0;
    float opacity = 0;
    float headX = 0, headY = 0, tailX = 0, tailY = 0;
};
