#include "scene/CanvasDocument.h"
#include "scene/JointLinks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

JointLink Link(const std::string& id, std::vector<JointLinkEnd> ends) {
    JointLink l;
    l.id = id;
    l.ends = std::move(ends);
    return l;
}

// Parts "arm" (bones b1, b2) and "leg" (bone b1) in layer_1.
CanvasDocument RigScene() {
    CanvasDocument doc;
    for (const char* id : {"arm", "leg"}) {
        CanvasObject o;
        o.id = id;
        o.bones.resize(std::string(id) == "arm" ? 2 : 1);
        for (size_t i = 0; i < o.bones.size(); ++i) o.bones[i].id = "b" + std::to_string(i + 1);
        EXPECT_TRUE(doc.AddObjectToLayer(doc.GetActiveLayer(), o));
    }
    return doc;
}

TEST(JointLinks, ResolveDropsDeadEndsAndShortLinks) {
    CanvasDocument doc = RigScene();
    std::vector<JointLink> links = {
        Link("lj_1", {{"arm", "b1", 1}, {"leg", "b1", 0}}),                      // sound
        Link("lj_2", {{"arm", "b2", 0}, {"arm", "b2", 0}}),                      // same joint twice
        Link("lj_3", {{"arm", "b1", 0}, {"ghost", "b1", 0}, {"leg", "b9", 1}}),  // missing object, bone
        Link("lj_4", {{"leg", "b1", 1}, {"arm", "b2", 1}, {"leg", "b1", 1}, {"arm", "b1", 0}}),
        Link("lj_5", {}),
    };
    doc.ResolveJointLinks(links);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].id, "lj_1");
    EXPECT_EQ(links[1].id, "lj_4");
    ASSERT_EQ(links[1].ends.size(), 3u);
    EXPECT_EQ(links[1].ends[2].boneId, "b1");
    EXPECT_EQ(links[1].ends[2].objectId, "arm");

    // Deleting a part takes its ends with it, and the link they leave.
    ASSERT_TRUE(doc.DeleteObject("leg"));
    doc.ResolveJointLinks(links);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].id, "lj_4");
}

TEST(JointLinks, FindMatchesAllThreeAndIdsReuseGaps) {
    std::vector<JointLink> links = {Link("lj_1", {{"arm", "b1", 1}, {"leg", "b1", 0}}),
                                    Link("lj_3", {{"arm", "b1", 0}, {"leg", "b1", 1}})};
    EXPECT_EQ(JointLinkList::Find(links, "leg", "b1", 1), &links[1]);
    EXPECT_EQ(JointLinkList::Find(links, "arm", "b1", 1), &links[0]);
    EXPECT_EQ(JointLinkList::Find(links, "arm", "b2", 1), nullptr);
    EXPECT_EQ(MakeJointLinkId(links), "lj_2");
    links[0].id = "lj_2";
    links[1].id = "lj_1";
    EXPECT_EQ(MakeJointLinkId(links), "lj_3");
}

}  // namespace
