#include "plugin/PluginProcessor.h"
#include "plugin/Presets.h"

#include <gtest/gtest.h>

namespace
{
struct Expected
{
    const char* name;
    float freq, mix, output;
};

const Expected factory[] = {
    { "Slow Tremolo", 4.0f, 100.0f, 0.0f },  { "Classic Ring", 220.0f, 100.0f, 0.0f },
    { "Robot Voice", 90.0f, 90.0f, 1.0f },   { "Metallic Bell", 700.0f, 70.0f, -2.0f },
    { "Clangorous", 1500.0f, 60.0f, -3.0f }, { "Sci-Fi Sweep", 45.0f, 100.0f, 0.0f },
};

float value (RingProcessor& p, const char* id)
{
    return p.apvts.getRawParameterValue (id)->load();
}

void set (RingProcessor& p, const char* id, float v)
{
    auto* param = p.apvts.getParameter (id);
    param->setValueNotifyingHost (param->convertTo0to1 (v));
}

// Records the order in which the host hears of parameter changes.
struct ChangeLog : juce::AudioProcessorListener
{
    juce::StringArray changes;
    juce::AudioProcessor* processor = nullptr;

    void audioProcessorParameterChanged (juce::AudioProcessor* p, int index, float) override
    {
        changes.add (dynamic_cast<juce::RangedAudioParameter*> (p->getParameters()[index])->getParameterID());
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override
    {
        changes.add ("changed");
    }
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int) override
    {
        changes.add ("begin");
    }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int) override
    {
        changes.add ("end");
    }
};
} // namespace

TEST (Presets, FactoryListHoldsSixPresetsOfThreeValues)
{
    const auto& presets = Presets::getFactoryPresets();
    ASSERT_EQ (presets.size(), std::size (factory));
    EXPECT_EQ (&presets, &Presets::getFactoryPresets());

    for (size_t i = 0; i < presets.size(); ++i)
    {
        SCOPED_TRACE (factory[i].name);
        EXPECT_EQ (presets[i].name, factory[i].name);
        ASSERT_EQ (presets[i].values.size(), 3u);
        EXPECT_EQ (presets[i].values[0], std::make_pair (juce::String ("freq"), factory[i].freq));
        EXPECT_EQ (presets[i].values[1], std::make_pair (juce::String ("mix"), factory[i].mix));
        EXPECT_EQ (presets[i].values[2], std::make_pair (juce::String ("output"), factory[i].output));
    }
}

TEST (Presets, ProgramsAreTheFactoryPresets)
{
    RingProcessor processor;
    ASSERT_EQ (processor.getNumPrograms(), 6);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_FLOAT_EQ (value (processor, "freq"), 220.0f); // construction applies no preset

    for (int i = 0; i < 6; ++i)
        EXPECT_EQ (processor.getProgramName (i), factory[i].name);

    for (int bad : { -1, 6, 1000, std::numeric_limits<int>::min() })
        EXPECT_EQ (processor.getProgramName (bad), "") << bad;

    processor.changeProgramName (0, "Renamed");
    EXPECT_EQ (processor.getProgramName (0), "Slow Tremolo");
}

TEST (Presets, SelectingAProgramAppliesItsValuesAndLeavesBypass)
{
    for (auto bypass : { 0.0f, 1.0f })
        for (int i = 0; i < 6; ++i)
        {
            SCOPED_TRACE (juce::String (factory[i].name) + (bypass > 0 ? " bypassed" : ""));
            RingProcessor processor;
            set (processor, "bypass", bypass);
            processor.setCurrentProgram (i);
            EXPECT_EQ (processor.getCurrentProgram(), i);
            EXPECT_NEAR (value (processor, "freq"), factory[i].freq, 0.005f);
            EXPECT_NEAR (value (processor, "mix"), factory[i].mix, 0.005f);
            EXPECT_NEAR (value (processor, "output"), factory[i].output, 0.005f);
            EXPECT_EQ (value (processor, "bypass"), bypass);
        }

    RingProcessor processor;
    processor.setCurrentProgram (3);
    EXPECT_NEAR (processor.apvts.getParameter ("freq")->getValue(), 0.5542f, 1.0e-4f);
    EXPECT_NEAR (processor.apvts.getParameter ("mix")->getValue(), 0.7f, 1.0e-4f);
    EXPECT_NEAR (processor.apvts.getParameter ("output")->getValue(), 0.6111f, 1.0e-4f);
}

TEST (Presets, HostHearsThreeChangesInOrderWithoutGestures)
{
    RingProcessor processor;
    ChangeLog log;
    processor.addListener (&log);
    processor.setCurrentProgram (2);
    processor.removeListener (&log);
    EXPECT_EQ (log.changes, juce::StringArray ({ "freq", "mix", "output" }));
}

TEST (Presets, InvalidIndicesAreIgnored)
{
    RingProcessor processor;
    processor.setCurrentProgram (2);
    set (processor, "freq", 333.0f);

    for (int bad : { -1, 6, 99, std::numeric_limits<int>::max() })
    {
        processor.setCurrentProgram (bad);
        EXPECT_EQ (processor.getCurrentProgram(), 2) << bad;
        EXPECT_NEAR (value (processor, "freq"), 333.0f, 0.005f) << bad;
    }
}

TEST (Presets, ReselectingTheCurrentProgramRestoresAMovedKnob)
{
    RingProcessor processor;
    processor.setCurrentProgram (4);
    set (processor, "freq", 80.0f);
    EXPECT_EQ (processor.getCurrentProgram(), 4);

    processor.setCurrentProgram (4);
    EXPECT_NEAR (value (processor, "freq"), 1500.0f, 0.005f);
}
