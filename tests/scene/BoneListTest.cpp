#include "scene/BoneList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

Bone MakeBone(const std::string& id, const std::string& parent = "", int32_t parentEnd = 1) {
    Bone b;
    b.id = id;
    b.hasParent = !parent.empty();
    b.parentId = parent;
    b.parentEnd = parentEnd;
    return b;
}

Bone At(Bone b, float hx, float hy, float tx, float ty) {
    b.headX = hx;
    b.headY = hy;
    b.tailX = tx;
    b.tailY = ty;
    return b;
}

std::vector<std::string> Ids(const std::vector<Bone>& bones) {
    std::vector<std::string> ids;
    for (const Bone& b : bones) ids.push_back(b.id);
    return ids;
}

std::vector<std::string> Parents(const std::vector<Bone>& bones) {
    std::vector<std::string> parents;
    for (const Bone& b : bones) parents.push_back(b.hasParent ? b.parentId : "-");
    return parents;
}

TEST(BoneList, NormalizeIdsRepairsBrokenRigs) {
    struct Case {
        const char* what;
        std::vector<Bone> in;
        std::vector<std::string> ids;
        std::vector<std::string> parents;
    };
    const Case cases[] = {
        {"empty id first, duplicates follow the first rename",
         {MakeBone(""), MakeBone("bone_1"), MakeBone("bone_1"), MakeBone("x", "bone_1")},
         {"bone_1", "bone_2", "bone_3", "x"},
         {"-", "-", "-", "bone_2"}},
        {"own id and missing parents are dropped",
         {MakeBone("a", "a"), MakeBone("b", "nobody"), MakeBone("c", "a")},
         {"a", "b", "c"},
         {"-", "-", "a"}},
        {"a two-bone cycle loses the first link it meets",
         {MakeBone("a", "b"), MakeBone("b", "a")},
         {"a", "b"},
         {"-", "a"}},
        {"a longer cycle is broken once",
         {MakeBone("a", "c"), MakeBone("b", "a"), MakeBone("c", "b"), MakeBone("d", "c")},
         {"a", "b", "c", "d"},
         {"-", "a", "b", "c"}},
        {"duplicate ids behind a cycle",
         {MakeBone("k", "k2"), MakeBone("k", "k"), MakeBone("k2", "k")},
         {"k", "bone_1", "k2"},
         {"k2", "-", "bone_1"}},
    };
    for (const Case& c : cases) {
        std::vector<Bone> bones = c.in;
        BoneList::NormalizeIds(bones);
        EXPECT_EQ(Ids(bones), c.ids) << c.what;
        EXPECT_EQ(Parents(bones), c.parents) << c.what;
    }
}

// Links name bones by id; when repeated ids are renamed every link end must
// keep naming the bone it named before (the first bone with that id), and an
// end whose id named no bone must not come to name a freshly renamed one.
TEST(BoneList, RenamedBoneIdsCarryTheirLinkEnds) {
    struct Case {
        const char* what;
        std::vector<Bone> bones;
        std::vector<std::vector<std::string>> links;  // ends as "object/bone/end"
        std::vector<std::vector<std::string>> after;
    };
    const Case cases[] = {
        {"an empty id takes the number a later bone carried",
         {MakeBone(""), MakeBone("bone_1"), MakeBone("bone_1"), MakeBone("x")},
         {{"p/bone_1/1", "q/k/0"}, {"p//0", "q/m/1"}, {"p/x/1", "q/n/0"}},
         {{"p/bone_2/1", "q/k/0"}, {"p/bone_1/0", "q/m/1"}, {"p/x/1", "q/n/0"}}},
        {"an end on an id that named no bone is dropped, not re-aimed",
         {MakeBone("a"), MakeBone("a"), MakeBone("b")},
         {{"p/bone_1/1", "q/k/0"}, {"p/bone_1/0", "q/k/1", "r/j/0"}, {"p/a/1", "q/k/1"}},
         {{"q/k/1", "r/j/0"}, {"p/a/1", "q/k/1"}}},
        {"ends on other objects keep their ids",
         {MakeBone(""), MakeBone("bone_1")},
         {{"q/bone_1/1", "p/bone_1/0"}},
         {{"q/bone_1/1", "p/bone_2/0"}}},
        {"sound lists change nothing",
         {MakeBone("a"), MakeBone("b", "a")},
         {{"p/a/1", "p/b/0"}, {"p/zzz/1", "q/k/0"}},
         {{"p/a/1", "p/b/0"}, {"p/zzz/1", "q/k/0"}}},
    };
    auto parse = [](const std::vector<std::vector<std::string>>& in) {
        std::vector<JointLink> links;
        for (const auto& l : in) {
            JointLink link;
            for (const std::string& e : l) {
                const size_t a = e.find('/'), b = e.rfind('/');
                link.ends.push_back({e.substr(0, a), e.substr(a + 1, b - a - 1), std::stoi(e.substr(b + 1))});
            }
            links.push_back(link);
        }
        return links;
    };
    auto show = [](const std::vector<JointLink>& links) {
        std::vector<std::vector<std::string>> out;
        for (const JointLink& l : links) {
            out.emplace_back();
            for (const JointLinkEnd& e : l.ends)
                out.back().push_back(e.objectId + "/" + e.boneId + "/" + std::to_string(e.end));
        }
        return out;
    };
    for (const Case& c : cases) {
        std::vector<Bone> bones = c.bones;
        BoneList::BoneIdRenames renames;
        BoneList::NormalizeIds(bones, &renames);
        std::vector<JointLink> links = parse(c.links);
        BoneList::RemapLinkEnds(links, "p", renames);
        EXPECT_EQ(show(links), c.after) << c.what;
    }
}

TEST(BoneList, SnapToParentsMovesHeadsOntoTheAttachedEnd) {
    std::vector<Bone> bones = {
        At(MakeBone("root"), 0, 0, 1, 0),
        At(MakeBone("tailChild", "root", 1), 5, 5, 2, 2),
        At(MakeBone("headChild", "root", 0), 5, 5, 0, 1),
        At(MakeBone("grandChild", "tailChild", 1), 9, 9, 3, 3),
    };
    BoneList::SnapToParents(bones);
    EXPECT_EQ(bones[1].headX, 1);
    EXPECT_EQ(bones[1].headY, 0);
    EXPECT_EQ(bones[1].tailX, 2);  // the tail stays
    EXPECT_EQ(bones[2].headX, 0);
    EXPECT_EQ(bones[2].headY, 0);
    EXPECT_EQ(bones[3].headX, 2);
    EXPECT_EQ(bones[3].headY, 2);
}

TEST(BoneList, MoveBoneEndCarriesAttachedBones) {
    const std::vector<Bone> rig = {
        At(MakeBone("root"), 0, 0, 1, 0),
        At(MakeBone("atTail", "root", 1), 1, 0, 2, 0),
        At(MakeBone("atHead", "root", 0), 0, 0, 0, 1),
        At(MakeBone("leaf", "atTail", 1), 2, 0, 3, 0),
    };
    {
        // Tail: only what hangs from the tail follows, keeping its shape.
        std::vector<Bone> b = rig;
        BoneList::MoveBoneEnd(b, "root", 1, 1, 1);
        EXPECT_EQ(b[0].headX, 0);
        EXPECT_EQ(b[0].tailY, 1);
        EXPECT_EQ(b[1].headY, 1);
        EXPECT_EQ(b[1].tailY, 1);
        EXPECT_EQ(b[3].headY, 1);
        EXPECT_EQ(b[3].tailX, 3);
        EXPECT_EQ(b[2].headX, 0);
        EXPECT_EQ(b[2].headY, 0);
        EXPECT_EQ(b[2].tailY, 1);
    }
    {
        // Head: the whole subtree moves by the same delta.
        std::vector<Bone> b = rig;
        BoneList::MoveBoneEnd(b, "root", 0, 10, 20);
        for (size_t i = 0; i < b.size(); ++i) {
            EXPECT_EQ(b[i].headX, rig[i].headX + 10) << i;
            EXPECT_EQ(b[i].tailY, rig[i].tailY + 20) << i;
        }
    }
    {
        // No move, no visit: an out-of-place child stays out of place.
        std::vector<Bone> b = rig;
        b[1].headX = 7;
        BoneList::MoveBoneEnd(b, "root", 1, 1, 0);
        EXPECT_EQ(b[1].headX, 7);
        BoneList::MoveBoneEnd(b, "missing", 1, 5, 5);
    }
}

TEST(BoneList, MoveBoneEndTerminatesOnParentCycles) {
    // Unrepaired lists can hold cycles. Here each move of one bone shifts the
    // other again (a hangs from b's head, b from a's tail), so following the
    // parents without remembering what moved would never end.
    std::vector<Bone> cycle = {At(MakeBone("a", "b", 0), 0, 0, 1, 0), At(MakeBone("b", "a", 1), 1, 0, 0, 0)};
    BoneList::MoveBoneEnd(cycle, "a", 0, 5, 5);
    EXPECT_EQ(cycle[0].headX, 5);
    EXPECT_EQ(cycle[0].tailX, 6);
    EXPECT_EQ(cycle[1].headX, 6);
    EXPECT_EQ(cycle[1].tailX, 5);
}

}  // namespace

namespace {

// A chain of n bones listed child first: bone k hangs from the tail of bone
// k + 1, the last is the root; every tail sits at (k, 0) and every head at 0.
std::vector<Bone> LongChainChildFirst(int n) {
    std::vector<Bone> bones;
    bones.reserve(size_t(n));
    for (int k = 0; k < n; ++k) {
        Bone b = MakeBone("b" + std::to_string(k), k + 1 < n ? "b" + std::to_string(k + 1) : "");
        bones.push_back(At(b, 0, 0, float(k), 0));
    }
    return bones;
}

}  // namespace

// Rigs from files may be very long; repairs must not walk the list once per
// bone and step, and the whole chain must end up attached.
TEST(BoneList, LongChainsAndManyDuplicatesStayAttached) {
    const int n = 100000;
    std::vector<Bone> chain = LongChainChildFirst(n);
    BoneList::NormalizeIds(chain);
    for (int k = 0; k + 1 < n; k += 9973) {
        ASSERT_TRUE(chain[size_t(k)].hasParent) << k;
        EXPECT_EQ(chain[size_t(k)].headX, float(k + 1)) << k;
    }
    EXPECT_FALSE(chain.back().hasParent);

    // The same chain closed into a loop: exactly one bone loses its parent.
    std::vector<Bone> loop = LongChainChildFirst(n);
    loop.back().hasParent = true;
    loop.back().parentId = "b0";
    BoneList::NormalizeIds(loop);
    int roots = 0;
    for (const Bone& b : loop) roots += b.hasParent ? 0 : 1;
    EXPECT_EQ(roots, 1);
    EXPECT_FALSE(loop.front().hasParent);

    // Every bone named "a", each but the first hanging from "a": the children
    // follow the first rename, as with a short list.
    std::vector<Bone> same(size_t(n), MakeBone("a", "a"));
    same[0] = MakeBone("a");
    BoneList::NormalizeIds(same);
    EXPECT_EQ(same[0].id, "a");
    EXPECT_EQ(same[1].id, "bone_1");
    EXPECT_FALSE(same[1].hasParent);  // it named itself once renamed
    EXPECT_EQ(same[2].parentId, "bone_1");
    EXPECT_EQ(same.back().parentId, "bone_1");
}

// Dragging the root of a very long rig must carry every descendant without
// scanning the list once per bone moved.
TEST(BoneList, MoveBoneEndCarriesLongChains) {
    const int n = 100000;
    std::vector<Bone> chain = LongChainChildFirst(n);
    BoneList::NormalizeIds(chain);
    const std::vector<Bone> before = chain;
    const std::string root = "b" + std::to_string(n - 1);

    // The root's tail: the root's head stays, everything below shifts.
    BoneList::MoveBoneEnd(chain, root, 1, float(n - 1) + 2, 3);
    for (size_t k = 0; k + 1 < size_t(n); ++k) {
        ASSERT_EQ(chain[k].headX, before[k].headX + 2) << k;
        ASSERT_EQ(chain[k].headY, 3) << k;
        ASSERT_EQ(chain[k].tailX, before[k].tailX + 2) << k;
        ASSERT_EQ(chain[k].tailY, 3) << k;
    }
    EXPECT_EQ(chain.back().headX, before.back().headX);
    EXPECT_EQ(chain.back().tailY, 3);

    // A bone in the middle by its head: it and what hangs below it move,
    // its ancestors stay.
    const size_t mid = size_t(n) / 2;
    const std::vector<Bone> moved = chain;
    BoneList::MoveBoneEnd(chain, "b" + std::to_string(mid), 0, moved[mid].headX - 1, 13);
    for (size_t k = 0; k < size_t(n); ++k) {
        const bool below = k <= mid;
        ASSERT_EQ(chain[k].headX, moved[k].headX - (below ? 1 : 0)) << k;
        ASSERT_EQ(chain[k].tailY, below ? 13 : 3) << k;
    }
}
