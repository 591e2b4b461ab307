#include "scene/BoneList.h"

#include "scene/CanvasDocument.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

// Index of the first bone with each id, so that following parents costs no
// scan of the list: lists from files may hold many thousands of bones.
std::unordered_map<std::string, size_t> FirstIndexById(const std::vector<Bone>& bones) {
    std::unordered_map<std::string, size_t> index;
    index.reserve(bones.size());
    for (size_t i = 0; i < bones.size(); ++i) index.emplace(bones[i].id, i);
    return index;
}

// Index of the bone's parent, or -1 when it has none or the id is unknown.
int64_t ParentIndex(const Bone& b, const std::unordered_map<std::string, size_t>& index) {
    if (!b.hasParent) return -1;
    const auto it = index.find(b.parentId);
    return it == index.end() ? -1 : int64_t(it->second);
}

// "bone_%d" with the first number from n on whose text is not in seen; n
// moves past every number tried.
std::string NextFreeBoneId(int& n, const std::unordered_set<std::string>& seen) {
    char buf[32];
    for (;;) {
        std::snprintf(buf, sizeof buf, "bone_%d", n);
        ++n;
        if (!seen.count(buf)) return buf;
    }
}

void ClearParent(Bone& b) {
    b.hasParent = false;
    b.parentId.clear();
}

}  // namespace

namespace BoneList {

void NormalizeIds(std::vector<Bone>& bones, BoneIdRenames* renames) {
    // The bone each id named before, to tell the links where it went.
    std::unordered_map<std::string, size_t> before;
    if (renames) {
        *renames = BoneIdRenames{};
        before = FirstIndexById(bones);
    }

    // 1. Unique, non-empty ids. A later duplicate is renamed and the bones
    //    hanging from that id follow the first rename.
    //    The bones are grouped by the parent id they name, so a rename moves
    //    one group instead of scanning the list.
    std::unordered_map<std::string, std::vector<size_t>> childrenOf;
    for (size_t i = 0; i < bones.size(); ++i)
        if (bones[i].hasParent) childrenOf[bones[i].parentId].push_back(i);
    std::unordered_set<std::string> seen;
    int n = 1;
    for (Bone& b : bones) {
        if (b.id.empty()) {
            b.id = NextFreeBoneId(n, seen);
        } else if (seen.count(b.id)) {
            const std::string old = b.id;
            b.id = NextFreeBoneId(n, seen);
            const auto from = childrenOf.find(old);
            if (from != childrenOf.end() && !from->second.empty()) {
                std::vector<size_t> moved = std::move(from->second);
                from->second.clear();
                for (size_t c : moved) bones[c].parentId = b.id;
                std::vector<size_t>& to = childrenOf[b.id];
                to.insert(to.end(), moved.begin(), moved.end());
            }
        }
        seen.insert(b.id);
    }
    if (renames) {
        for (const auto& [id, i] : before)
            if (bones[i].id != id) renames->renamed.emplace(id, bones[i].id);
        for (const Bone& b : bones)
            if (!before.count(b.id)) renames->unknown.insert(b.id);
    }

    // 2. A parent must be another bone of this list.
    for (Bone& b : bones) {
        if (!b.hasParent) continue;
        if (b.parentId.empty() || b.parentId == b.id || !seen.count(b.parentId)) ClearParent(b);
    }

    // 3. Break cycles: a bone whose chain of parents comes back to a visited
    //    bone loses its parent. Ids are unique now, so the walk ends. Clearing
    //    parents never makes a chain that ended loop, so a bone once seen to
    //    reach a root is remembered and later walks stop there.
    const std::unordered_map<std::string, size_t> index = FirstIndexById(bones);
    std::vector<uint8_t> reachesRoot(bones.size(), 0);
    std::vector<uint32_t> visitedBy(bones.size(), 0);
    std::vector<size_t> path;
    for (size_t i = 0; i < bones.size(); ++i) {
        if (!bones[i].hasParent || reachesRoot[i]) {
            reachesRoot[i] = 1;
            continue;
        }
        const uint32_t stamp = uint32_t(i) + 1;
        path.clear();
        size_t cur = i;
        bool cycle = false;
        for (;;) {
            if (reachesRoot[cur]) break;
            if (visitedBy[cur] == stamp) {
                cycle = true;
                break;
            }
            visitedBy[cur] = stamp;
            path.push_back(cur);
            const int64_t parent = ParentIndex(bones[cur], index);
            if (parent < 0) break;
            cur = size_t(parent);
        }
        if (cycle) {
            ClearParent(bones[i]);
            reachesRoot[i] = 1;
        } else {
            for (size_t k : path) reachesRoot[k] = 1;
        }
    }

    // 4.
    SnapToParents(bones);
}

void RemapLinkEnds(std::vector<JointLink>& links, const std::string& objectId, const BoneIdRenames& renames) {
    if (renames.Empty()) return;
    for (size_t k = links.size(); k-- > 0;) {
        auto& ends = links[k].ends;
        const size_t count = ends.size();
        ends.erase(std::remove_if(ends.begin(), ends.end(),
                                  [&](JointLinkEnd& e) {
                                      if (e.objectId != objectId) return false;
                                      const auto it = renames.renamed.find(e.boneId);
                                      if (it != renames.renamed.end()) {
                                          e.boneId = it->second;
                                          return false;
                                      }
                                      return renames.unknown.count(e.boneId) != 0;
                                  }),
                   ends.end());
        if (ends.size() != count && ends.size() < 2) links.erase(links.begin() + std::ptrdiff_t(k));
    }
}

void MapToPlacement(std::vector<Bone>& bones, const ObjectTransform& from, const ObjectTransform& to) {
    constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
    const double fw = std::max<double>(from.width, 1), fh = std::max<double>(from.height, 1);
    const double tw = std::max<double>(to.width, 1), th = std::max<double>(to.height, 1);
    const double fcx = from.x + fw / 2, fcy = from.y + fh / 2, tcx = to.x + tw / 2, tcy = to.y + th / 2;
    const double a = from.rotation * kDegToRad, b = -to.rotation * kDegToRad;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    auto map = [&](float& u, float& v) {
        // Old frame to the scene: about the old centre, turned by the old rotation.
        const double lx = (u - 0.5) * fw, ly = (v - 0.5) * fh;
        const double sx = fcx + lx * ca - ly * sa, sy = fcy + lx * sa + ly * ca;
        // The scene to the new frame.
        const double dx = sx - tcx, dy = sy - tcy;
        const double nx = dx * cb - dy * sb, ny = dx * sb + dy * cb;
        u = float(nx / tw + 0.5);
        v = float(ny / th + 0.5);
    };
    const float side = float(std::max(fw, fh) / std::max(tw, th));
    for (Bone& bone : bones) {
        map(bone.headX, bone.headY);
        map(bone.tailX, bone.tailY);
        for (float* f : {&bone.width, &bone.headCapWidth, &bone.tailCapWidth, &bone.headOffset, &bone.tailOffset,
                         &bone.feather})
            *f *= side;
    }
}

void SnapToParents(std::vector<Bone>& bones) {
    const std::unordered_map<std::string, size_t> index = FirstIndexById(bones);
    // Bones whose chain ends at a root are snapped parents first, in one
    // sweep; the passes below then only have work on chains that loop.
    std::vector<uint8_t> state(bones.size(), 0);  // 0 new, 1 on the walk, 2 done
    std::vector<size_t> path;
    for (size_t i = 0; i < bones.size(); ++i) {
        path.clear();
        size_t cur = i;
        while (state[cur] == 0) {
            state[cur] = 1;
            path.push_back(cur);
            const int64_t parent = ParentIndex(bones[cur], index);
            if (parent < 0) break;
            cur = size_t(parent);
        }
        // Stopped at a root, at a bone known to reach one, or at a loop.
        const bool rooted = state[cur] == 2 || (state[cur] == 1 && ParentIndex(bones[cur], index) < 0);
        // Parents first: the walk went child to parent.
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            Bone& b = bones[*it];
            state[*it] = rooted ? 2 : 3;
            if (!rooted) continue;
            const int64_t parent = ParentIndex(b, index);
            if (parent < 0) continue;
            const Bone& p = bones[size_t(parent)];
            const float tx = b.parentEnd != 0 ? p.tailX : p.headX;
            const float ty = b.parentEnd != 0 ? p.tailY : p.headY;
            if (b.headX != tx || b.headY != ty) {
                b.headX = tx;
                b.headY = ty;
            }
        }
    }
    for (size_t pass = 0; pass < bones.size(); ++pass) {
        bool changed = false;
        for (Bone& b : bones) {
            const int64_t parent = ParentIndex(b, index);
            if (parent < 0) continue;
            const Bone* p = &bones[size_t(parent)];
            const float tx = b.parentEnd != 0 ? p->tailX : p->headX;
            const float ty = b.parentEnd != 0 ? p->tailY : p->headY;
            if (b.headX != tx || b.headY != ty) {
                b.headX = tx;
                b.headY = ty;
                changed = true;
            }
        }
        if (!changed) break;
    }
}

void MoveBoneEnd(std::vector<Bone>& bones, const std::string& boneId, int32_t end, float x, float y) {
    // A worklist instead of recursion, and each bone id moved at most once:
    // a long chain cannot exhaust the stack and a parent cycle cannot loop.
    // Ids resolve to the first bone carrying them, so a bone is named by that
    // index; the children of each bone are indexed once, in list order, so a
    // move costs no scan of the list per bone moved.
    const auto index = FirstIndexById(bones);
    const auto start = index.find(boneId);
    if (start == index.end()) return;
    const size_t n = bones.size();
    std::vector<size_t> childStart(n + 1, 0);
    std::vector<int64_t> parentOf(n, -1);
    for (size_t i = 0; i < n; ++i) {
        parentOf[i] = ParentIndex(bones[i], index);
        if (parentOf[i] >= 0) ++childStart[size_t(parentOf[i]) + 1];
    }
    for (size_t i = 0; i < n; ++i) childStart[i + 1] += childStart[i];
    std::vector<size_t> children(childStart[n]);
    {
        std::vector<size_t> fill(childStart.begin(), childStart.end() - 1);
        for (size_t i = 0; i < n; ++i)
            if (parentOf[i] >= 0) children[fill[size_t(parentOf[i])]++] = i;
    }

    struct Move {
        size_t bone;
        int32_t end;
        float x, y;
    };
    std::vector<Move> work{{start->second, end, x, y}};
    std::vector<char> moved(n, 0);
    while (!work.empty()) {
        const Move m = work.back();
        work.pop_back();
        if (moved[m.bone]) continue;
        Bone* b = &bones[m.bone];
        const bool tail = m.end == 1;
        const float dx = m.x - (tail ? b->tailX : b->headX);
        const float dy = m.y - (tail ? b->tailY : b->headY);
        if (dx == 0 && dy == 0) continue;
        moved[m.bone] = 1;
        if (tail) {
            b->tailX = m.x;
            b->tailY = m.y;
        } else {
            b->headX = m.x;
            b->headY = m.y;
            b->tailX += dx;
            b->tailY += dy;
        }
        const float headX = b->headX, headY = b->headY, tailX = b->tailX, tailY = b->tailY;
        // Children in list order: pushed in reverse so the first is handled first.
        for (size_t k = childStart[m.bone + 1]; k-- > childStart[m.bone];) {
            const Bone& c = bones[children[k]];
            const size_t target = index.at(c.id);
            if (tail) {
                if (c.parentEnd == 1) work.push_back({target, 0, tailX, tailY});
            } else if (c.parentEnd == 0) {
                work.push_back({target, 0, headX, headY});
            } else {
                work.push_back({target, 0, tailX, tailY});
            }
        }
    }
}

}  // namespace BoneList
