// The audio thread must never allocate. Every heap request in this program goes through
// the counting allocator, which counts while a test says so.
#include "plugin/PluginProcessor.h"
#include "tests/support/CountingAllocator.h"

#include <gtest/gtest.h>

using kelto::test::CountAllocations;

TEST (RealTime, CountingSeesAllocations)
{
    CountAllocations counter;
    juce::MemoryBlock block (1000);
    EXPECT_GE (counter.count(), 1); // the hook works, so a zero below means something
}

TEST (RealTime, ProcessingWithinThePreparedSizeNeverAllocates)
{
    for (auto layout : { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono() })
    {
        SCOPED_TRACE (layout.getDescription());
        RingProcessor processor;
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (layout);
        buses.outputBuses.add (layout);
        ASSERT_TRUE (processor.setBusesLayout (buses));

        constexpr int maxBlock = 512;
        processor.prepareToPlay (48000.0, maxBlock);

        const auto channels = layout.size();
        // Sized through setSize, whose storage arithmetic lets later smaller sizes reuse it.
        juce::AudioBuffer<float> buffer;
        buffer.setSize (channels, maxBlock);
        juce::MidiBuffer midi;
        auto* bypass = processor.apvts.getRawParameterValue ("bypass");
        auto* output = processor.apvts.getRawParameterValue ("output");
        auto* freq = processor.apvts.getRawParameterValue ("freq");

        CountAllocations counter;
        // Processing, gain ramps, fading to dry, bypassed, fading back, silent and odd sizes.
        for (int block = 0; block < 400; ++block)
        {
            const auto n = (block * 37) % (maxBlock + 1);
            buffer.setSize (channels, n, false, false, true);
            for (int ch = 0; ch < channels; ++ch)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (ch, i, (float) ((i % 100) - 50) * 0.01f);
            if (block % 50 == 7)
                buffer.clear();

            bypass->store ((block / 60) % 2 == 1 ? 1.0f : 0.0f);
            output->store ((float) ((block % 7) - 3));
            freq->store (block % 11 == 0 ? std::numeric_limits<float>::quiet_NaN() : 100.0f + (float) block);
            processor.processBlock (buffer, midi);
        }
        EXPECT_EQ (counter.count(), 0);
    }
}

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
