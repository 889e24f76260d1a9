#include "world/World_Services.h"

namespace {

WorldServices g_services;

template <typename F>
void Take(F& dest, F source) {
    if (source != nullptr) dest = source;
}

}  // namespace

const WorldServices& World() {
    return g_services;
}

void World_InstallServices(const WorldServices* s) {
    if (s == nullptr) {
        g_services = WorldServices();
        return;
    }
    WorldServices& d = g_services;
    Take(d.spriteMask, s->spriteMask);
    Take(d.spritePointTest, s->spritePointTest);
    Take(d.spriteRectangleTest, s->spriteRectangleTest);
    Take(d.spriteEllipseTest, s->spriteEllipseTest);
    Take(d.spriteLineTest, s->spriteLineTest);
    Take(d.spritePairTest, s->spritePairTest);
    Take(d.backgroundSize, s->backgroundSize);
    Take(d.skeletonBox, s->skeletonBox);
    Take(d.skeletonPointTest, s->skeletonPointTest);
    Take(d.skeletonLineTest, s->skeletonLineTest);
    Take(d.skeletonRectangleTest, s->skeletonRectangleTest);
    Take(d.skeletonEllipseTest, s->skeletonEllipseTest);
    Take(d.skeletonInstanceTest, s->skeletonInstanceTest);
    Take(d.backgroundExists, s->backgroundExists);
    Take(d.layerFind, s->layerFind);
    Take(d.layerFindByName, s->layerFindByName);
    Take(d.readTargetPixels, s->readTargetPixels);
    Take(d.writePng, s->writePng);
}
