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
    Take(d.skeletonBox, s->skeletonBox);
    Take(d.pathExists, s->pathExists);
    Take(d.pathLength, s->pathLength);
    Take(d.pathPoint, s->pathPoint);
    Take(d.mpLinearStep, s->mpLinearStep);
    Take(d.mpLinearPath, s->mpLinearPath);
    Take(d.mpPotentialSettings, s->mpPotentialSettings);
    Take(d.mpPotentialStep, s->mpPotentialStep);
    Take(d.mpPotentialPath, s->mpPotentialPath);
    Take(d.gridCreate, s->gridCreate);
    Take(d.gridDestroy, s->gridDestroy);
    Take(d.gridClearAll, s->gridClearAll);
    Take(d.gridClearCell, s->gridClearCell);
    Take(d.gridClearRectangle, s->gridClearRectangle);
    Take(d.gridAddCell, s->gridAddCell);
    Take(d.gridGetCell, s->gridGetCell);
    Take(d.gridAddRectangle, s->gridAddRectangle);
    Take(d.gridAddInstance, s->gridAddInstance);
    Take(d.gridFindPath, s->gridFindPath);
    Take(d.gridDraw, s->gridDraw);
    Take(d.gridToDsGrid, s->gridToDsGrid);
    Take(d.backgroundExists, s->backgroundExists);
    Take(d.layerFind, s->layerFind);
    Take(d.layerFindByName, s->layerFindByName);
    Take(d.gameSaveFile, s->gameSaveFile);
    Take(d.gameLoadFile, s->gameLoadFile);
    Take(d.gameSaveBuffer, s->gameSaveBuffer);
    Take(d.gameLoadQueueBuffer, s->gameLoadQueueBuffer);
    Take(d.readTargetPixels, s->readTargetPixels);
    Take(d.writePng, s->writePng);
}
