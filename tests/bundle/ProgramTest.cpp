#include "BundleTestSupport.h"
#include "HostRunLoop.h"

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;

    /** The output gain's 20 ms linear ramp, stepped as the processor's smoother steps it. */
    struct GainRamp
    {
        float current, target, step;
        int remaining;

        GainRamp (float from, float to, int steps)
            : current (from), target (to), step ((to - from) / (float) steps), remaining (steps)
        {
        }

        float next()
        {
            if (remaining <= 0)
                return target;

            --remaining;
            current = remaining == 0 ? target : current + step;
            return current;
        }
    };

    // Program 3, "Metallic Bell": 700 Hz, 70 % wet, -2 dB; each program owns a sixth of the range.
    // A host sends the change to the controller and, in the same block, to the processor. JUCE's
    // wrapper applies it in the controller, so the host here offers a run loop: that makes the
    // test thread the plug-in's UI thread and the controller's follow-up changes synchronous.
    TEST (Programs, ProgramParameterAtSixTenthsSelectsMetallicBell)
    {
        HostRunLoop runLoop;
        HostContext host (&runLoop);
        const HeadlessAgain headlessAgain;

        auto instance = makeInstance (&host);
        ASSERT_NE (instance, nullptr);
        ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));

        auto& controller = instance->getController();
        ASSERT_EQ (controller.setParamNormalized (programID, 0.6), kResultOk);

        const auto mix = 70.0f * 0.01f;
        GainRamp gain (1.0f, std::pow (10.0f, -2.0f * 0.05f), (int) (0.02 * sampleRate));
        Carrier carrier;
        Channels output;

        for (int block = 0; block < 6; ++block)
        {
            const auto input = makeSine (2, blockSize, (long long) block * blockSize, 440.0, 0.5f);
            const auto changes =
                block == 0 ? std::vector<ParamChange> { { programID, 0.6 } } : std::vector<ParamChange> {};
            ASSERT_EQ (instance->process (input, output, changes), kResultOk);

            for (int i = 0; i < blockSize; ++i)
            {
                const auto c = carrier.next (700.0);
                const auto g = gain.next();

                for (size_t ch = 0; ch < 2; ++ch)
                {
                    const auto x = input[ch][(size_t) i];
                    const auto expected = (x * (1.0f - mix) + (x * c) * mix) * g;
                    ASSERT_NEAR (output[ch][(size_t) i], expected, 1.0e-4f)
                        << "block " << block << ", channel " << ch << ", sample " << i;
                }
            }
        }

        const std::vector<std::pair<Vst::ParamID, double>> presetValues {
            { freqID, 0.5542 }, { mixID, 0.7 },     { outputID, 22.0 / 36.0 },
            { bypassID, 0.0 },  { programID, 0.6 },
        };

        for (const auto& [id, normalised] : presetValues)
            EXPECT_NEAR (controller.getParamNormalized (id), normalised, 1.0e-4)
                << "controller, parameter " << id;

        // The saved state carries the preset's values into a new instance; the program index is not
        // part of it.
        auto reloaded = makeInstance (&host);
        ASSERT_NE (reloaded, nullptr);
        ASSERT_EQ (reloaded->setComponentState (instance->getComponentState()), kResultOk);

        for (const auto& [id, normalised] : presetValues)
            EXPECT_NEAR (
                reloaded->getController().getParamNormalized (id), id == programID ? 0.0 : normalised, 1.0e-4)
                << "reloaded, parameter " << id;
    }
} // namespace
} // namespace kelto::vst3::test
