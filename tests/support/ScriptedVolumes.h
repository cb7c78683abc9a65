#pragma once

#include "Volumes.h"

#include <vector>

// Stands in for the system's volumes while installed: lists exactly `volumes`.
class ScriptedVolumes final : public VolumeSource {
public:
    ScriptedVolumes() { Install(this); }
    ~ScriptedVolumes() override { Install(nullptr); }
    std::vector<Volume> ListVolumes() override { return volumes; }

    std::vector<Volume> volumes;
};
