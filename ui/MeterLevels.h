#pragma once

#include <atomic>

namespace kelto::ui
{
/** Peak levels published by the audio thread once per block and polled by the meters.
    Linear magnitudes, 1.0 = full scale. Relaxed loads and stores: each field stands alone. */
struct MeterLevels
{
    std::atomic<float> inputPeak { 0.0f };
    std::atomic<float> outputPeak { 0.0f };
};
} // namespace kelto::ui
