// Scenes beside the sample's library: mksample writes its folders into the
// builder's scratch folder, and the builder works in its "game" folder from
// then on (the sample's library read, the scene files written beside it).
#pragma once

#include <gtest/gtest.h>

#include "scene_harness.h"
#include "sample_copy.h"
#include "tool_run.h"

inline ::testing::AssertionResult UseSampleGame(scene::SceneBuilder &builder) {
    const toolrun::ToolRun sample = samplecopy::Make(builder.folder.Path());
    if (sample.exitCode != 0) {
        return ::testing::AssertionFailure() << "mksample: " << sample.err;
    }
    if (!builder.UseGameFolder(builder.folder / "game")) {
        return ::testing::AssertionFailure() << "the sample's library does not read";
    }
    return ::testing::AssertionSuccess();
}
