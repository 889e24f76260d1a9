// Plugs paths, the motion planners and motion grids into the loader and the world services.
#include "core/Instance.h"
#include "base/GameFile.h"
#include "world/Motion_Grid.h"
#include "world/Motion_Planning.h"
#include "world/Path_Main.h"
#include "world/World_Services.h"

namespace {

double PathLength(int32_t index) {
    const CPath* path = Path_Get(index);
    return path != nullptr ? path->GetLength() : 0.0;
}

void PathPointAt(int32_t index, double position, float* x, float* y, float* speed) {
    const CPath* path = Path_Get(index);
    const PathComputedPoint p =
        path != nullptr ? path->GetPosition(position) : PathComputedPoint{0, 0, 100, 0};
    *x = p.x;
    *y = p.y;
    *speed = p.speed;
}

}  // namespace

void Path_InstallServices() {
    Form_RegisterChunkReader("PATH", ChunkReader{Path_Load, Path_Init, Path_FreeAll});
    WorldServices services;
    services.pathExists = Path_Exists;
    services.pathLength = PathLength;
    services.pathPoint = PathPointAt;
    services.mpLinearStep = Command_MpLinearStep;
    services.mpLinearPath = Command_MpLinearPath;
    services.mpPotentialSettings = Command_MpPotentialSettings;
    services.mpPotentialStep = Command_MpPotentialStep;
    services.mpPotentialPath = Command_MpPotentialPath;
    MpGrid_FillServices(&services);
    World_InstallServices(&services);
}
