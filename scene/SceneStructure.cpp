// Building and rearranging a scene: identifiers, layers, objects, stacking
// order and the set of selected objects.
#include "scene/CanvasDocument.h"
#include "scene/IdNumbers.h"
#include "scene/ObjectGeometry.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

std::string FirstFreeId(const char* stem, const std::unordered_set<std::string>& used) {
    char buf[64];
    for (int n = 1; n <= 99999; ++n) {
        std::snprintf(buf, sizeof buf, "%s_%d", stem, n);
        if (!used.count(buf)) return buf;
    }
    return stem;
}

namespace {

// Sorts by descending z, stable so that equal z keep their current order.
template <class T> void SortDescendingZ(std::vector<T>& items) {
    std::stable_sort(items.begin(), items.end(), [](const T& a, const T& b) { return a.z > b.z; });
}

// Numbers the items count-1 .. 0 from the front.
template <class T> void RenumberDescendingZ(std::vector<T>& items) {
    const int32_t n = int32_t(items.size());
    for (int32_t i = 0; i < n; ++i) items[size_t(i)].z = n - 1 - i;
}

}  // namespace

// ---------------------------------------------------------------- Layer

void Layer::NormalizeZ() {
    SortDescendingZ(objects);
    RenumberDescendingZ(objects);
}

int32_t Layer::HighestZ() const {
    int32_t z = -1;
    for (const CanvasObject& o : objects) z = std::max(z, o.z);
    return z;
}

void CanvasObject::NormalizePartZ() {
    SortDescendingZ(parts);
    RenumberDescendingZ(parts);
}

int32_t Layer::IndexOfObject(const std::string& id) const {
    const auto it = std::find_if(objects.begin(), objects.end(), [&](const CanvasObject& o) { return o.id == id; });
    if (it == objects.end()) return -1;
    // Rank in a stable descending-z order, without reordering the layer.
    int32_t rank = 0;
    for (auto o = objects.begin(); o != objects.end(); ++o) {
        if (o->z > it->z || (o->z == it->z && o < it)) ++rank;
    }
    return rank;
}

// ---------------------------------------------------------------- Identifiers

std::string CanvasDocument::MakeLayerId() const {
    std::unordered_set<std::string> used;
    for (const Layer& l : layers) used.insert(l.id);
    return FirstFreeId("layer", used);
}

std::string CanvasDocument::MakeObjectId() const {
    std::unordered_set<std::string> used;
    for (const Layer& l : layers)
        for (const CanvasObject& o : l.objects) used.insert(o.id);
    return FirstFreeId("object", used);
}

std::string CanvasObject::MakeImagePartId() const {
    std::unordered_set<std::string> used;
    for (const ImagePart& p : parts) used.insert(p.id);
    return FirstFreeId("image", used);
}

// ---------------------------------------------------------------- Layers

Layer& CanvasDocument::AddLayer() {
    Layer layer;
    layer.id = MakeLayerId();
    int n = 1;
    for (const Layer& l : layers)
        if (l.id != "backdrop") ++n;
    layer.name = "Layer " + std::to_string(n);
    layer.order = layers.empty() ? 0 : layers.back().order + 1;
    layers.push_back(std::move(layer));
    activeLayerId = layers.back().id;
    return layers.back();
}

Layer& CanvasDocument::EnsureFirstLayer() {
    if (layers.empty()) {
        Layer first;
        first.id = "layer_1";
        first.name = "Layer 1";
        first.order = 0;
        layers.push_back(std::move(first));
    }
    return layers.front();
}

Layer& CanvasDocument::GetActiveLayer() {
    if (!activeLayerId.empty())
        if (Layer* l = FindLayer(activeLayerId)) return *l;
    Layer& first = EnsureFirstLayer();
    activeLayerId = first.id;
    return first;
}

void CanvasDocument::SetActiveLayer(const std::string& id) {
    if (FindLayer(id)) activeLayerId = id;
}

bool CanvasDocument::SetLayerVisible(const std::string& id, bool visible) {
    Layer* l = FindLayer(id);
    if (!l || l->visible == visible) return false;
    l->visible = visible;
    for (CanvasObject& o : l->objects) o.InvalidateCaches();
    return true;
}

bool CanvasDocument::SetLayerLocked(const std::string& id, bool locked) {
    Layer* l = FindLayer(id);
    if (!l || l->locked == locked) return false;
    l->locked = locked;
    return true;
}

Layer* CanvasDocument::FindLayer(const std::string& id) {
    for (Layer& l : layers)
        if (l.id == id) return &l;
    return nullptr;
}

// ---------------------------------------------------------------- Objects

CanvasObject* CanvasDocument::FindObject(const std::string& id) {
    for (Layer& l : layers)
        for (CanvasObject& o : l.objects)
            if (o.id == id) return &o;
    return nullptr;
}

const CanvasObject* CanvasDocument::FindObject(const std::string& id) const {
    return const_cast<CanvasDocument*>(this)->FindObject(id);
}

Layer* CanvasDocument::FindLayerOfObject(const std::string& id) {
    for (Layer& l : layers)
        for (const CanvasObject& o : l.objects)
            if (o.id == id) return &l;
    return nullptr;
}

bool CanvasDocument::AddObjectToLayer(const Layer& layer, const CanvasObject& object) {
    if (FindObject(object.id)) return false;
    Layer* target = FindLayer(layer.id);
    if (!target) return false;
    target->objects.push_back(object);
    target->NormalizeZ();
    return true;
}

bool CanvasDocument::AddEmptyObject(std::string* newId) {
    CanvasObject o;
    o.id = MakeObjectId();
    o.name = "Untitled";
    o.kind = kObjectBitmap;
    o.width = WholeObjectSide(width);
    o.height = WholeObjectSide(height);
    Layer& layer = GetActiveLayer();
    // A locked layer takes no new object: it could be neither moved nor deleted.
    if (layer.locked) return false;
    o.z = layer.HighestZ() + 1;
    const std::string id = o.id;
    if (!AddObjectToLayer(layer, o)) return false;
    SelectObject(id);
    if (newId) *newId = id;
    return true;
}

bool CanvasDocument::DeleteObject(const std::string& id) {
    for (Layer& l : layers) {
        const auto it = std::find_if(l.objects.begin(), l.objects.end(), [&](const CanvasObject& o) { return o.id == id; });
        if (it == l.objects.end()) continue;
        l.objects.erase(it);
        l.NormalizeZ();
        RemoveFromSelection(id);
        if (selectedMaskObjectId == id) selectedMaskObjectId.clear();
        return true;
    }
    return false;
}

bool CanvasDocument::MoveObjectToLayer(const std::string& id, const std::string& layerId, int32_t index) {
    Layer* source = FindLayerOfObject(id);
    Layer* target = FindLayer(layerId);
    if (!source || !target) return false;
    const int32_t oldIndex = source->IndexOfObject(id);
    if (oldIndex < 0) return false;

    const auto it =
        std::find_if(source->objects.begin(), source->objects.end(), [&](const CanvasObject& o) { return o.id == id; });
    CanvasObject moved = std::move(*it);
    source->objects.erase(it);

    int64_t insertAt = index;
    if (source == target) {
        // Removing the object shifted everything below it up by one.
        if (oldIndex < index) insertAt = int64_t(index) - 1;
    } else {
        source->NormalizeZ();
    }
    SortDescendingZ(target->objects);
    insertAt = std::clamp<int64_t>(insertAt, 0, int64_t(target->objects.size()));
    target->objects.insert(target->objects.begin() + insertAt, std::move(moved));
    RenumberDescendingZ(target->objects);

    SelectObject(id);
    return true;
}

bool CanvasDocument::AddImagePart(const std::string& objectId, const ImagePart& part) {
    CanvasObject* o = FindObject(objectId);
    if (!o) return false;
    for (const ImagePart& p : o->parts)
        if (p.id == part.id) return false;

    ImagePart copy = part;
    if (copy.id.empty()) copy.id = o->MakeImagePartId();
    if (copy.name.empty()) copy.name = copy.source;
    if (!(copy.displayWidth > 0) || !(copy.displayHeight > 0)) {
        copy.offsetX = copy.offsetY = 0;
        copy.displayWidth = copy.pixelWidth;
        copy.displayHeight = copy.pixelHeight;
    }
    if (!(copy.opacity <= 1)) copy.opacity = 1;  // also a NaN
    if (copy.opacity < 0) copy.opacity = 0;
    int32_t top = -1;
    for (const ImagePart& p : o->parts) top = std::max(top, p.z);
    copy.z = top + 1;
    o->parts.push_back(std::move(copy));
    o->NormalizePartZ();
    o->InvalidateCaches();
    return true;
}

// ---------------------------------------------------------------- Selection set

bool CanvasDocument::IsSelected(const std::string& id) const {
    return std::find(selectedIds.begin(), selectedIds.end(), id) != selectedIds.end();
}

bool CanvasDocument::SelectObject(const std::string& id) {
    selectedIds.clear();
    selectedMaskObjectId.clear();
    if (!FindObject(id)) {
        primarySelectedId.clear();
        return false;
    }
    primarySelectedId = id;
    selectedIds.push_back(id);
    return true;
}

void CanvasDocument::AddToSelection(const std::string& id) {
    if (!FindObject(id) || IsSelected(id)) return;
    selectedIds.push_back(id);
    primarySelectedId = id;
}

void CanvasDocument::RemoveFromSelection(const std::string& id) {
    const auto it = std::find(selectedIds.begin(), selectedIds.end(), id);
    if (it == selectedIds.end()) return;
    selectedIds.erase(it);
    if (primarySelectedId == id) {
        if (selectedIds.empty())
            primarySelectedId.clear();
        else
            primarySelectedId = selectedIds.back();
    }
}

void CanvasDocument::ToggleSelection(const std::string& id) {
    if (IsSelected(id))
        RemoveFromSelection(id);
    else
        AddToSelection(id);
}

void CanvasDocument::ClearSelection() {
    primarySelectedId.clear();
    selectedIds.clear();
    selectedMaskObjectId.clear();
}
