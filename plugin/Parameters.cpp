#include "Parameters.h"

namespace Params
{
juce::String frequencyText (float hz, int)
{
    if (hz < 1000.0f)
        return juce::String (hz, 1) + " Hz";

    return juce::String (hz / 1000.0f, 2) + " kHz";
}

juce::String percentText (float percent, int)
{
    return juce::String (static_cast<int> (percent)) + " %";
}

juce::String decibelText (float dB, int)
{
    return juce::String (dB, 1) + " dB";
}

float frequencyFromText (const juce::String& text)
{
    const auto trimmed = text.trim();
    const auto value = trimmed.getFloatValue();

    // Whatever follows the number decides the unit; "kHz" is what the display writes
    // from 1000 Hz up, so reading it back must give the value shown.
    const auto unit = trimmed.trimCharactersAtStart ("0123456789.+-eE ").trim().toLowerCase();
    if (unit.startsWith ("k"))
        return value * 1000.0f;

    return value;
}

juce::AudioProcessorValueTreeState::ParameterLayout createLayout()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;

    params.push_back (std::make_unique<juce::AudioParameterFloat> (
        juce::ParameterID { "freq", 1 },
        "Frequency",
        juce::NormalisableRange<float> (1.0f, 5000.0f, 0.01f, 0.3f),
        defaultFrequency,
        juce::AudioParameterFloatAttributes()
            .withStringFromValueFunction (frequencyText)
            .withValueFromStringFunction (frequencyFromText)));

    params.push_back (std::make_unique<juce::AudioParameterFloat> (
        juce::ParameterID { "mix", 1 },
        "Mix",
        juce::NormalisableRange<float> (0.0f, 100.0f, 0.1f, 1.0f),
        defaultMix,
        juce::AudioParameterFloatAttributes().withStringFromValueFunction (percentText)));

    params.push_back (std::make_unique<juce::AudioParameterFloat> (
        juce::ParameterID { "output", 1 },
        "Output",
        juce::NormalisableRange<float> (-24.0f, 12.0f, 0.1f, 1.0f),
        defaultOutput,
        juce::AudioParameterFloatAttributes().withStringFromValueFunction (decibelText)));

    params.push_back (std::make_unique<juce::AudioParameterBool> (
        juce::ParameterID { "bypass", 1 }, "Bypass", false, juce::AudioParameterBoolAttributes()));

    return { params.begin(), params.end() };
}
} // namespace Params
