#include "plugin/PluginProcessor.h"

#include <gtest/gtest.h>

TEST (ProcessorShell, FixedAnswers)
{
    RingProcessor processor;
    EXPECT_EQ (processor.getName(), "KELTO ZAVI");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_FALSE (processor.supportsDoublePrecisionProcessing());
    EXPECT_EQ (processor.getLatencySamples(), 0);

    processor.prepareToPlay (48000.0, 256);
    EXPECT_EQ (processor.getLatencySamples(), 0);
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
}

TEST (ProcessorShell, BusesAreStereoInputAndOutput)
{
    RingProcessor processor;
    ASSERT_EQ (processor.getBusCount (true), 1);
    ASSERT_EQ (processor.getBusCount (false), 1);

    const auto* in = processor.getBus (true, 0);
    const auto* out = processor.getBus (false, 0);
    EXPECT_EQ (in->getName(), "Input");
    EXPECT_EQ (out->getName(), "Output");
    EXPECT_EQ (in->getDefaultLayout(), juce::AudioChannelSet::stereo());
    EXPECT_EQ (out->getDefaultLayout(), juce::AudioChannelSet::stereo());
    EXPECT_TRUE (in->isEnabledByDefault());
    EXPECT_TRUE (out->isEnabledByDefault());
    EXPECT_FALSE (processor.canAddBus (true));
    EXPECT_FALSE (processor.canRemoveBus (false));
}

TEST (ProcessorShell, AcceptsOnlyMatchingMonoOrStereo)
{
    using Set = juce::AudioChannelSet;
    const auto disabled = Set::disabled();

    struct Case
    {
        const char* what;
        Set in, out;
        bool accepted;
    };

    const Case cases[] = {
        { "stereo to stereo", Set::stereo(), Set::stereo(), true },
        { "mono to mono", Set::mono(), Set::mono(), true },
        { "mono to stereo", Set::mono(), Set::stereo(), false },
        { "stereo to mono", Set::stereo(), Set::mono(), false },
        { "LCR", Set::createLCR(), Set::createLCR(), false },
        { "quad", Set::quadraphonic(), Set::quadraphonic(), false },
        { "5.1", Set::create5point1(), Set::create5point1(), false },
        { "one discrete channel", Set::discreteChannels (1), Set::discreteChannels (1), false },
        { "two discrete channels", Set::discreteChannels (2), Set::discreteChannels (2), false },
        { "input disabled", disabled, Set::stereo(), false },
        { "output disabled", Set::stereo(), disabled, false },
        { "both disabled", disabled, disabled, false },
    };

    RingProcessor processor;
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.accepted) << c.what;
    }

    juce::AudioProcessor::BusesLayout noInputBus;
    noInputBus.outputBuses.add (juce::AudioChannelSet::stereo());
    EXPECT_FALSE (processor.checkBusesLayoutSupported (noInputBus));

    juce::AudioProcessor::BusesLayout noOutputBus;
    noOutputBus.inputBuses.add (juce::AudioChannelSet::stereo());
    EXPECT_FALSE (processor.checkBusesLayoutSupported (noOutputBus));
}

TEST (ProcessorShell, HostResetKeepsTheCarrierRunning)
{
    RingProcessor processor;
    juce::MidiBuffer midi;
    processor.prepareToPlay (44100.0, 64);

    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    processor.processBlock (buffer, midi);
    processor.reset();

    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 64; ++i)
            buffer.setSample (ch, i, 1.0f);
    processor.processBlock (buffer, midi);
    EXPECT_FLOAT_EQ (buffer.getSample (0, 0), (float) std::sin (64 * 220.0 * 6.283185307179586 / 44100.0));
}
