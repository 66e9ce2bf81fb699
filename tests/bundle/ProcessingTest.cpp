#include "BundleTestSupport.h"

#include "pluginterfaces/vst/vstspeaker.h"

namespace kelto::vst3::test
{
namespace
{
    using namespace Steinberg;

    struct LayoutCase
    {
        const char* name;
        Vst::SpeakerArrangement arrangement;
        size_t numChannels;
    };

    void PrintTo (const LayoutCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class ProcessingLayouts : public ::testing::TestWithParam<LayoutCase>
    {
    protected:
        void SetUp() override
        {
            instance = makeInstance();
            ASSERT_NE (instance, nullptr);

            const auto& layout = GetParam();

            if (layout.arrangement != Vst::SpeakerArr::kStereo)
            {
                ASSERT_EQ (instance->setBusArrangements (layout.arrangement, layout.arrangement),
                           kResultTrue);
            }

            ASSERT_EQ (instance->getBusArrangement (Vst::kInput), layout.arrangement);
            ASSERT_EQ (instance->getBusArrangement (Vst::kOutput), layout.arrangement);
            ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));
        }

        std::unique_ptr<PluginInstance> instance;
    };

    ::testing::AssertionResult
        matches (const Channels& expected, const Channels& actual, float tolerance, int block)
    {
        if (expected.size() != actual.size())
            return ::testing::AssertionFailure()
                   << "channel count " << actual.size() << ", expected " << expected.size();

        for (size_t ch = 0; ch < expected.size(); ++ch)
            for (size_t i = 0; i < expected[ch].size(); ++i)
                if (! (std::abs (expected[ch][i] - actual[ch][i]) <= tolerance))
                    return ::testing::AssertionFailure()
                           << "block " << block << ", channel " << ch << ", sample " << i << ": "
                           << actual[ch][i] << ", expected " << expected[ch][i];

        return ::testing::AssertionSuccess();
    }

    TEST_P (ProcessingLayouts, DefaultParametersRingModulateWithA220HzCarrierFromPhaseZero)
    {
        const auto numChannels = GetParam().numChannels;
        Carrier carrier;
        Channels output;

        for (int block = 0; block < 8; ++block)
        {
            const auto input = makeSine (numChannels, blockSize, (long long) block * blockSize, 440.0, 0.5f);
            ASSERT_EQ (instance->process (input, output), kResultOk);

            auto expected = input;

            for (int i = 0; i < blockSize; ++i)
            {
                const auto c = carrier.next (220.0);

                for (auto& channel : expected)
                    channel[(size_t) i] *= c;
            }

            // The parameter holds 220 Hz only to float precision (one step is 1.5e-5 Hz), so the
            // carrier may drift from the exact one by up to 0.5 * 2pi * 1.5e-5 * 4096 / 44100.
            ASSERT_TRUE (matches (expected, output, 1.0e-5f, block));
        }
    }

    TEST_P (ProcessingLayouts, MixAtZeroPassesTheInputUnchanged)
    {
        Channels output;

        for (int block = 0; block < 3; ++block)
        {
            const auto input =
                makeSine (GetParam().numChannels, blockSize, (long long) block * blockSize, 440.0, 0.5f);
            const auto changes =
                block == 0 ? std::vector<ParamChange> { { mixID, 0.0 } } : std::vector<ParamChange> {};
            ASSERT_EQ (instance->process (input, output, changes), kResultOk);
            ASSERT_TRUE (matches (input, output, 0.0f, block));
        }
    }

    INSTANTIATE_TEST_SUITE_P (Bundle,
                              ProcessingLayouts,
                              ::testing::Values (LayoutCase { "Stereo", Vst::SpeakerArr::kStereo, 2 },
                                                 LayoutCase { "Mono", Vst::SpeakerArr::kMono, 1 }),
                              [] (const auto& info) { return std::string (info.param.name); });

    struct RefusedLayout
    {
        const char* name;
        Vst::SpeakerArrangement input, output;
    };

    void PrintTo (const RefusedLayout& c, std::ostream* os)
    {
        *os << c.name;
    }

    class RefusedLayouts : public ::testing::TestWithParam<RefusedLayout>
    {
    };

    // After refusing, a plug-in may propose the nearest arrangement it supports (JUCE's wrapper does);
    // whatever it then reports must be one of the two it accepts, and it must process in it.
    TEST_P (RefusedLayouts, AreRefusedAndLeaveAnAcceptedArrangement)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);

        EXPECT_EQ (instance->setBusArrangements (GetParam().input, GetParam().output), kResultFalse);

        const auto input = instance->getBusArrangement (Vst::kInput);
        const auto output = instance->getBusArrangement (Vst::kOutput);
        RecordProperty ("arrangementAfterRefusal", std::to_string (input) + "/" + std::to_string (output));
        EXPECT_EQ (input, output);
        EXPECT_TRUE (output == Vst::SpeakerArr::kStereo || output == Vst::SpeakerArr::kMono) << output;

        ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));
        const auto numChannels = (size_t) Vst::SpeakerArr::getChannelCount (output);
        Channels processed;
        EXPECT_EQ (instance->process (makeSine (numChannels, blockSize, 0, 440.0, 0.5f), processed),
                   kResultOk);
    }

    INSTANTIATE_TEST_SUITE_P (
        Bundle,
        RefusedLayouts,
        ::testing::Values (
            RefusedLayout { "StereoInMonoOut", Vst::SpeakerArr::kStereo, Vst::SpeakerArr::kMono },
            RefusedLayout { "MonoInStereoOut", Vst::SpeakerArr::kMono, Vst::SpeakerArr::kStereo },
            RefusedLayout { "Surround51", Vst::SpeakerArr::k51, Vst::SpeakerArr::k51 }),
        [] (const auto& info) { return std::string (info.param.name); });

    TEST (Processing, OnlySinglePrecisionIsOffered)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);
        auto& processor = instance->getProcessor();

        EXPECT_EQ (processor.canProcessSampleSize (Vst::kSample32), kResultTrue);
        EXPECT_NE (processor.canProcessSampleSize (Vst::kSample64), kResultTrue);

        Vst::ProcessSetup setup { Vst::kRealtime, Vst::kSample64, blockSize, sampleRate };
        EXPECT_NE (processor.setupProcessing (setup), kResultOk);
    }

    TEST (Processing, ReportsNoLatencyAndNoTail)
    {
        auto instance = makeInstance();
        ASSERT_NE (instance, nullptr);
        ASSERT_TRUE (instance->startProcessing (sampleRate, blockSize));

        EXPECT_EQ (instance->getProcessor().getLatencySamples(), 0u);
        EXPECT_EQ (instance->getProcessor().getTailSamples(), Vst::kNoTail);
    }
} // namespace
} // namespace kelto::vst3::test
