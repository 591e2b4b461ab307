#pragma once
// The objects the application owns for the whole run on behalf of the
// brushes subsystem (the stencil library store, the stencil overlay and the
// current brush library) and the layer list's active-layer glyph. The
// application holds them type-erased, so it does not depend on their
// definitions; the subsystem installs the factories that make them.
#include <functional>
#include <memory>

struct AppOwnedObjects {
    std::shared_ptr<void> stencilStore;
    std::shared_ptr<void> stencilOverlay;
    std::shared_ptr<void> brushLibrary;
    std::shared_ptr<void> activeLayerGlyph;  // made by the layer list on first use
};

struct AppObjectFactories {
    std::function<std::shared_ptr<void>()> makeStencilStore;
    std::function<std::shared_ptr<void>()> makeStencilOverlay;
    std::function<std::shared_ptr<void>()> makeBrushLibrary;
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
