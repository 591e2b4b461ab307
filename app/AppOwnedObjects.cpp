#include "app/AppOwnedObjects.h"

AppObjectFactories& GetAppObjectFactories() {
    static AppObjectFactories f;
    return f;
}

AppOwnedObjects& GetAppOwnedObjects() {
    static AppOwnedObjects o;
    return o;
}

void CreateAppOwnedObjects() {
    AppOwnedObjects& o = GetAppOwnedObjects();
    const AppObjectFactories& f = GetAppObjectFactories();
    o.stencilStore.reset();
    o.stencilStore = f.makeStencilStore ? f.makeStencilStore() : nullptr;
    o.stencilOverlay.reset();
    o.stencilOverlay = f.makeStencilOverlay ? f.makeStencilOverlay() : nullptr;
    o.brushLibrary.reset();
    o.brushLibrary = f.makeBrushLibrary ? f.makeBrushLibrary() : nullptr;
}

void DeleteAppOwnedObjects() {
    AppOwnedObjects& o = GetAppOwnedObjects();
    o.stencilOverlay.reset();
    o.stencilStore.reset();
    o.brushLibrary.reset();
    o.activeLayerGlyph.reset();
}
