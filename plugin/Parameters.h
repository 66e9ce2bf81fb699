#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace Params
{
/** The four automatable parameters, in host order: "freq", "mix", "output", "bypass". */
juce::AudioProcessorValueTreeState::ParameterLayout createLayout();

/** Display texts of the float parameters; the maximum length is ignored on purpose,
    hosts that pass a short one still get the whole text. */
juce::String frequencyText (float hz, int maximumLength);
juce::String percentText (float percent, int maximumLength);
juce::String decibelText (float dB, int maximumLength);

/** Reads typed frequency text: a "kHz" or "k" suffix means kilohertz, anything else hertz.
    Not limited to the range here; the parameter does that. */
float frequencyFromText (const juce::String& text);

// Defaults, used by the audio thread when a parameter holds a non-finite value.
inline constexpr float defaultFrequency = 220.0f;
inline constexpr float defaultMix = 100.0f;
inline constexpr float defaultOutput = 0.0f;
} // namespace Params
