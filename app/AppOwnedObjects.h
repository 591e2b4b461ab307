#pragma once
// The objects the application owns for the whole run on behalf of the
// brushes subsystem (the stencil library store, the stencil overlay and the
// current brush library) and the layer list's active-layer glyph. The
// application only declares their types, so it does not depend on their
// definitions: the subsystem that defines a type installs the factory that
// makes it, and shared_ptr keeps the deleter from where it was made.
#include <functional>
#include <memory>

class StencilLibraryStore;
class StencilOverlay;
class BrushLibrary;
class ActiveLayerGlyph;

struct AppOwnedObjects {
    std::shared_ptr<StencilLibraryStore> stencilStore;
    std::shared_ptr<StencilOverlay> stencilOverlay;
    std::shared_ptr<BrushLibrary> brushLibrary;
    std::shared_ptr<ActiveLayerGlyph> activeLayerGlyph;  // made by the layer list on first use
};

struct AppObjectFactories {
    std::function<std::shared_ptr<StencilLibraryStore>()> makeStencilStore;
    std::function<std::shared_ptr<StencilOverlay>()> makeStencilOverlay;
    std::function<std::shared_ptr<BrushLibrary>()> makeBrushLibrary;
};

// Filled by the subsystem that defines the objects; empty factories make nothing.
AppObjectFactories& GetAppObjectFactories();

// The application's owned objects (empty before start-up and after exit).
AppOwnedObjects& GetAppOwnedObjects();
// Creates the three objects in order, replacing any held before.
void CreateAppOwnedObjects();
// Deletes the stencil overlay, the stencil library store, the brush library
// and the glyph, in that order.
void DeleteAppOwnedObjects();
