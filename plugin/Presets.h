#pragma once

#include <juce_core/juce_core.h>

#include <utility>
#include <vector>

namespace Presets
{
struct Preset
{
    juce::String name;
    std::vector<std::pair<juce::String, float>> values; // parameter ID, value in its own unit
};

/** The factory presets in program order; built once, never changed, shared by every caller. */
const std::vector<Preset>& getFactoryPresets();
} // namespace Presets
