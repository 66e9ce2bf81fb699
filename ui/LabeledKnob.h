#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace kelto::ui
{
/** A rotary slider bound to one parameter, with its caption above and its value text below. */
class LabeledKnob : public juce::Component
{
public:
    LabeledKnob (juce::AudioProcessorValueTreeState& state,
                 const juce::String& parameterID,
                 const juce::String& captionText);
    ~LabeledKnob() override;

    void lookAndFeelChanged() override;
    void resized() override;

private:
    void applyCaptionStyle();

    juce::Slider slider;
    juce::Label label;
    std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment> attachment;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LabeledKnob)
};
} // namespace kelto::ui
