#include "document/ProjectInfo.h"

#include "scene/CanvasDocument.h"

#include <cstdio>

namespace {

// Model strings are UTF-8, or WTF-8 where a stored name held a lone
// surrogate; those become \u escapes so the output stays valid JSON.
void AppendJsonString(std::string& out, const std::string& s) {
    out += '"';
    char buf[8];
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c == 0xED && i + 2 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0xA0) {
            const unsigned cp = 0xD000u | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                                (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            std::snprintf(buf, sizeof buf, "\\u%04x", cp);
            out += buf;
            i += 2;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    out += buf;
}

void AppendBool(std::string& out, bool v) { out += v ? "true" : "false"; }

void AppendPoint(std::string& out, float x, float y) {
    out += '[';
    AppendNumber(out, x);
    out += ", ";
    AppendNumber(out, y);
    out += ']';
}

// A posable object's rig as stored: each part with its bones (parent, ends),
// the joint links, and the pose stored on the canvas.
void AppendPosable(std::string& j, const CanvasObject& o) {
    j += ", \"posableParts\": [";
    for (size_t pi = 0; pi < o.posableScene.parts.size(); ++pi) {
        const PosablePart& p = o.posableScene.parts[pi];
        j += pi ? ", {\"id\": " : "{\"id\": ";
        AppendJsonString(j, p.id);
        j += ", \"name\": ";
        AppendJsonString(j, p.name);
        j += ", \"bones\": [";
        for (size_t bi = 0; bi < p.bones.size(); ++bi) {
            const Bone& b = p.bones[bi];
            j += bi ? ", {\"id\": " : "{\"id\": ";
            AppendJsonString(j, b.id);
            j += ", \"name\": ";
            AppendJsonString(j, b.name);
            j += ", \"parent\": ";
            if (b.hasParent) AppendJsonString(j, b.parentId);
            else j += "null";
            j += ", \"head\": ";
            AppendPoint(j, b.headX, b.headY);
            j += ", \"tail\": ";
            AppendPoint(j, b.tailX, b.tailY);
            j += "}";
        }
        j += "]}";
    }
    j += "], \"jointLinks\": ";
    AppendNumber(j, double(o.posableScene.links.size()));
    j += ", \"hasPose\": ";
    AppendBool(j, o.hasPose);
    j += ", \"poses\": [";
    for (size_t i = 0; i < o.partPoses.size(); ++i) {
        const PartPose& q = o.partPoses[i];
        j += i ? ", {\"part\": " : "{\"part\": ";
        AppendJsonString(j, q.objectId);
        for (auto [key, v] : {std::pair{"x", q.x}, {"y", q.y}, {"width", q.width}, {"height", q.height},
                              {"rotation", q.rotation}, {"opacity", q.opacity}}) {
            j += ", \"";
            j += key;
            j += "\": ";
            AppendNumber(j, v);
        }
        j += ", \"head\": ";
        AppendPoint(j, q.headX, q.headY);
        j += ", \"tail\": ";
        AppendPoint(j, q.tailX, q.tailY);
        j += "}";
    }
    j += "]";
}

void AppendColour(std::string& out, uint32_t argb) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\"0x%08X\"", argb);
    out += buf;
}

}  // namespace

std::string ProjectInfoJson(const CanvasDocument& scene) {
    std::string j = "{\n  \"canvas\": {\"width\": ";
    AppendNumber(j, scene.width);
    j += ", \"height\": ";
    AppendNumber(j, scene.height);
    j += ", \"colour\": ";
    AppendColour(j, scene.canvasColour);
    j += "},\n  \"layers\": [";
    for (size_t li = 0; li < scene.layers.size(); ++li) {
        const Layer& l = scene.layers[li];
        j += li ? ",\n    {" : "\n    {";
        j += "\"id\": ";
        AppendJsonString(j, l.id);
        j += ", \"name\": ";
        AppendJsonString(j, l.name);
        j += ", \"order\": ";
        AppendNumber(j, l.order);
        j += ", \"visible\": ";
        AppendBool(j, l.visible);
        j += ", \"locked\": ";
        AppendBool(j, l.locked);
        j += ", \"active\": ";
        AppendBool(j, l.id == scene.activeLayerId);
        j += ", \"objects\": [";
        for (size_t oi = 0; oi < l.objects.size(); ++oi) {
            const CanvasObject& o = l.objects[oi];
            j += oi ? ",\n      {" : "\n      {";
            j += "\"id\": ";
            AppendJsonString(j, o.id);
            j += ", \"name\": ";
            AppendJsonString(j, o.name);
            j += ", \"kind\": ";
            AppendNumber(j, o.kind);
            for (auto [key, v] : {std::pair{"x", o.x}, {"y", o.y}, {"width", o.width}, {"height", o.height},
                                  {"rotation", o.rotation}, {"opacity", o.opacity}}) {
                j += ", \"";
                j += key;
                j += "\": ";
                AppendNumber(j, v);
            }
            j += ", \"blendMode\": ";
            AppendNumber(j, o.blendMode);
            j += ", \"clipToLayerBelow\": ";
            AppendBool(j, o.clipToLayerBelow);
            j += ", \"maskEnabled\": ";
            AppendBool(j, o.maskEnabled);
            j += ", \"imageParts\": ";
            AppendNumber(j, double(o.parts.size()));
            j += ", \"bones\": ";
            AppendNumber(j, double(o.bones.size()));
            j += ", \"filters\": [";
            for (size_t fi = 0; fi < o.effects.size(); ++fi) {
                j += fi ? ", [" : "[";
                AppendNumber(j, o.effects[fi].type);
                j += ", ";
                AppendBool(j, o.effects[fi].enabled);
                j += "]";
            }
            j += "]";
            AppendPosable(j, o);
            j += "}";
        }
        j += l.objects.empty() ? "]}" : "\n    ]}";
    }
    j += scene.layers.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return j;
}
