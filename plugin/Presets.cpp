#include "Presets.h"

namespace Presets
{
const std::vector<Preset>& getFactoryPresets()
{
    static const std::vector<Preset> presets {
        { "Slow Tremolo", { { "freq", 4.0f }, { "mix", 100.0f }, { "output", 0.0f } } },
        { "Classic Ring", { { "freq", 220.0f }, { "mix", 100.0f }, { "output", 0.0f } } },
        { "Robot Voice", { { "freq", 90.0f }, { "mix", 90.0f }, { "output", 1.0f } } },
        { "Metallic Bell", { { "freq", 700.0f }, { "mix", 70.0f }, { "output", -2.0f } } },
        { "Clangorous", { { "freq", 1500.0f }, { "mix", 60.0f }, { "output", -3.0f } } },
        { "Sci-Fi Sweep", { { "freq", 45.0f }, { "mix", 100.0f }, { "output", 0.0f } } },
    };
    return presets;
}
} // namespace Presets
