#include "plugin/Parameters.h"
#include "plugin/PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
struct FloatParamCase
{
    const char* id;
    const char* name;
    float start, end, interval, skew, defaultValue, normalisedDefault;
};

juce::RangedAudioParameter& param (RingProcessor& p, const char* id)
{
    auto* result = p.apvts.getParameter (id);
    EXPECT_NE (result, nullptr) << id;
    return *result;
}
} // namespace

TEST (ParameterLayout, HostSeesFourParametersInOrder)
{
    RingProcessor processor;
    const auto& params = processor.getParameters();
    ASSERT_EQ (params.size(), 4);

    const char* ids[] = { "freq", "mix", "output", "bypass" };
    const char* names[] = { "Frequency", "Mix", "Output", "Bypass" };

    for (int i = 0; i < 4; ++i)
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (params[i]);
        ASSERT_NE (ranged, nullptr);
        EXPECT_EQ (ranged->getParameterID(), ids[i]);
        EXPECT_EQ (ranged->getName (100), names[i]);
        EXPECT_EQ (ranged->getVersionHint(), 1);
        EXPECT_EQ (ranged->getLabel(), "");
        EXPECT_TRUE (ranged->isAutomatable());
        EXPECT_FALSE (ranged->isMetaParameter());
        EXPECT_EQ (ranged->getCategory(), juce::AudioProcessorParameter::genericParameter);
    }

    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (params[3]), nullptr);
    EXPECT_EQ (processor.getBypassParameter(), nullptr); // the host gets a bypass of its own
}

TEST (ParameterLayout, FloatRangesAndDefaults)
{
    const FloatParamCase cases[] = {
        { "freq", "Frequency", 1.0f, 5000.0f, 0.01f, 0.3f, 220.0f, 0.3913f },
        { "mix", "Mix", 0.0f, 100.0f, 0.1f, 1.0f, 100.0f, 1.0f },
        { "output", "Output", -24.0f, 12.0f, 0.1f, 1.0f, 0.0f, 0.6667f },
    };

    RingProcessor processor;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.id);
        auto* p = dynamic_cast<juce::AudioParameterFloat*> (&param (processor, c.id));
        ASSERT_NE (p, nullptr);
        const auto& range = p->getNormalisableRange();
        EXPECT_FLOAT_EQ (range.start, c.start);
        EXPECT_FLOAT_EQ (range.end, c.end);
        EXPECT_FLOAT_EQ (range.interval, c.interval);
        EXPECT_FLOAT_EQ (range.skew, c.skew);
        EXPECT_FALSE (range.symmetricSkew);
        EXPECT_FLOAT_EQ (p->get(), c.defaultValue);
        EXPECT_NEAR (
            static_cast<juce::AudioProcessorParameter*> (p)->getDefaultValue(), c.normalisedDefault, 1.0e-4f);
    }

    EXPECT_EQ (param (processor, "bypass").getDefaultValue(), 0.0f);
}

TEST (ParameterLayout, FrequencySkewPlacesLandmarks)
{
    RingProcessor processor;
    auto& freq = param (processor, "freq");

    const std::pair<float, float> cases[] = { { 0.25f, 50.0f }, { 0.5f, 497.0f }, { 0.75f, 1917.0f } };
    for (auto [position, hz] : cases)
        EXPECT_NEAR (freq.convertFrom0to1 (position), hz, 1.0f) << position;
}

TEST (ParameterLayout, ValueTexts)
{
    struct Case
    {
        juce::String (*format) (float, int);
        float value;
        const char* text;
    };

    const Case cases[] = {
        { Params::frequencyText, 1.0f, "1.0 Hz" },
        { Params::frequencyText, 4.0f, "4.0 Hz" },
        { Params::frequencyText, 220.0f, "220.0 Hz" },
        { Params::frequencyText, 999.9f, "999.9 Hz" },
        { Params::frequencyText, 999.95f, "1000.0 Hz" },
        { Params::frequencyText, 1000.0f, "1.00 kHz" },
        { Params::frequencyText, 1500.0f, "1.50 kHz" },
        { Params::frequencyText, 5000.0f, "5.00 kHz" },
        { Params::percentText, 100.0f, "100 %" },
        { Params::percentText, 99.9f, "99 %" },
        { Params::percentText, 70.0f, "70 %" },
        { Params::percentText, 0.5f, "0 %" },
        { Params::percentText, 0.0f, "0 %" },
        { Params::decibelText, -24.0f, "-24.0 dB" },
        { Params::decibelText, -2.0f, "-2.0 dB" },
        { Params::decibelText, 0.0f, "0.0 dB" },
        { Params::decibelText, 12.0f, "12.0 dB" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (c.format (c.value, 100), c.text) << c.value;
}

TEST (ParameterLayout, ParametersShowWholeTextWhateverTheMaximumLength)
{
    RingProcessor processor;

    const std::tuple<const char*, float, const char*> cases[] = {
        { "freq", 220.0f, "220.0 Hz" }, { "freq", 5000.0f, "5.00 kHz" }, { "freq", 1.0f, "1.0 Hz" },
        { "mix", 100.0f, "100 %" },     { "mix", 0.0f, "0 %" },          { "output", -24.0f, "-24.0 dB" },
        { "output", 12.0f, "12.0 dB" },
    };

    for (auto [id, value, text] : cases)
    {
        auto& p = param (processor, id);
        EXPECT_EQ (p.getText (p.convertTo0to1 (value), 4), text) << id << " " << value;
    }

    auto& bypass = param (processor, "bypass");
    EXPECT_EQ (bypass.getText (0.0f, 100), "Off");
    EXPECT_EQ (bypass.getText (1.0f, 100), "On");
}

TEST (ParameterLayout, TypedTextBecomesValue)
{
    RingProcessor processor;

    const std::tuple<const char*, const char*, float> cases[] = {
        // Kilohertz text reads back to the value it shows.
        { "freq", "2 kHz", 2000.0f },   { "freq", "2.00 kHz", 2000.0f }, { "freq", "1.50 kHz", 1500.0f },
        { "freq", "1.5k", 1500.0f },    { "freq", "5.00 KHZ", 5000.0f }, { "freq", "9 kHz", 5000.0f },
        { "freq", "220.0 Hz", 220.0f }, { "freq", "440", 440.0f },       { "freq", "0.2", 1.0f },
        { "freq", "99999", 5000.0f },   { "mix", "50 %", 50.0f },        { "mix", "150", 100.0f },
        { "output", "-30", -24.0f },    { "output", "-2.0 dB", -2.0f },  { "output", "20 dB", 12.0f },
    };

    for (auto [id, text, expected] : cases)
    {
        auto& p = param (processor, id);
        EXPECT_NEAR (p.convertFrom0to1 (p.getValueForText (text)), expected, 0.01f)
            << id << " '" << text << "'";
    }
}
