// The cameras the simulator has connected, as its camera list (3201)
// reports them, for the replies of other areas (status pages, PTZ).
#pragma once
#include <vector>

#include "common/records/camera.h"

std::vector<CameraListRecord> sim_connected_cameras();
