#include "LabeledKnob.h"

#include "Theme.h"

namespace kelto::ui
{
namespace
{
    constexpr int captionHeight = 16;
    constexpr int textBoxWidth = 72;
    constexpr int textBoxHeight = 16;
} // namespace

LabeledKnob::LabeledKnob (juce::AudioProcessorValueTreeState& state,
                          const juce::String& parameterID,
                          const juce::String& captionText)
{
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, textBoxWidth, textBoxHeight);
    addAndMakeVisible (slider);

    label.setText (captionText, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centred);
    applyCaptionStyle();
    addAndMakeVisible (label);

    attachment =
        std::make_unique<juce::AudioProcessorValueTreeState::SliderAttachment> (state, parameterID, slider);
}

LabeledKnob::~LabeledKnob() = default;

void LabeledKnob::applyCaptionStyle()
{
    const auto& t = mutableTheme();
    label.setFont (monoFont (t.labelFontSize, true));
    label.setColour (juce::Label::textColourId, t.textDim);
}

void LabeledKnob::lookAndFeelChanged()
{
    // The caption keeps the theme's look whatever look-and-feel an ancestor installs.
    applyCaptionStyle();
}

void LabeledKnob::resized()
{
    auto area = getLocalBounds();
    label.setBounds (area.removeFromTop (captionHeight));
    slider.setBounds (area);
}
} // namespace kelto::ui
