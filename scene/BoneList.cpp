#include "scene/BoneList.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <utility>

namespace {

Bone* FindBone(std::vector<Bone>& bones, const std::string& id) {
    for (Bone& b : bones)
        if (b.id == id) return &b;
    return nullptr;
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

void NormalizeIds(std::vector<Bone>& bones) {
    // 1. Unique, non-empty ids. A later duplicate is renamed and the bones
    //    hanging from that id follow the first rename.
    std::unordered_set<std::string> seen;
    int n = 1;
    for (Bone& b : bones) {
        if (b.id.empty()) {
            b.id = NextFreeBoneId(n, seen);
        } else if (seen.count(b.id)) {
            const std::string old = b.id;
            b.id = NextFreeBoneId(n, seen);
            for (Bone& other : bones)
                if (other.hasParent && other.parentId == old) other.parentId = b.id;
        }
        seen.insert(b.id);
    }

    // 2. A parent must be another bone of this list.
    for (Bone& b : bones) {
        if (!b.hasParent) continue;
        if (b.parentId.empty() || b.parentId == b.id || !seen.count(b.parentId)) ClearParent(b);
    }

    // 3. Break cycles: a bone whose chain of parents comes back to a visited
    //    bone loses its parent. Ids are unique now, so the walk ends.
    for (Bone& b : bones) {
        if (!b.hasParent) continue;
        std::unordered_set<std::string> visited{b.id};
        std::string cur = b.parentId;
        for (;;) {
            if (visited.count(cur)) {
                ClearParent(b);
                break;
            }
            visited.insert(cur);
            const Bone* p = FindBone(bones, cur);
            if (!p || !p->hasParent) break;
            cur = p->parentId;
        }
    }

    // 4.
    SnapToParents(bones);
}

void SnapToParents(std::vector<Bone>& bones) {
    for (size_t pass = 0; pass < bones.size(); ++pass) {
        bool changed = false;
        for (Bone& b : bones) {
            if (!b.hasParent) continue;
            const Bone* p = FindBone(bones, b.parentId);
            if (!p) continue;
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
    struct Move {
        std::string id;
        int32_t end;
        float x, y;
    };
    std::vector<Move> work{{boneId, end, x, y}};
    std::unordered_set<std::string> moved;
    while (!work.empty()) {
        Move m = std::move(work.back());
        work.pop_back();
        Bone* b = FindBone(bones, m.id);
        if (!b || moved.count(m.id)) continue;
        const bool tail = m.end == 1;
        const float dx = m.x - (tail ? b->tailX : b->headX);
        const float dy = m.y - (tail ? b->tailY : b->headY);
        if (dx == 0 && dy == 0) continue;
        moved.insert(m.id);
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
        std::vector<Move> children;
        for (const Bone& c : bones) {
            if (!c.hasParent || c.parentId != m.id) continue;
            if (tail) {
                if (c.parentEnd == 1) children.push_back({c.id, 0, tailX, tailY});
            } else if (c.parentEnd == 0) {
                children.push_back({c.id, 0, headX, headY});
            } else {
                children.push_back({c.id, 0, tailX, tailY});
            }
        }
        work.insert(work.end(), children.rbegin(), children.rend());
    }
}

}  // namespace BoneList
