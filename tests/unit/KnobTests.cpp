#include "UiTestSupport.h"

#include "plugin/PluginProcessor.h"
#include "ui/LabeledKnob.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>

namespace
{
juce::Slider& sliderOf (kelto::ui::LabeledKnob& knob)
{
    return dynamic_cast<juce::Slider&> (*knob.getChildComponent (0));
}

juce::Label& captionOf (kelto::ui::LabeledKnob& knob)
{
    return dynamic_cast<juce::Label&> (*knob.getChildComponent (1));
}

void expectThemeCaptionStyle (juce::Label& label)
{
    const auto& t = kelto::ui::mutableTheme();
    const auto font = label.getFont();
    EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultMonospacedFontName());
    EXPECT_EQ (font.getTypefaceStyle(), "Bold");
    EXPECT_FLOAT_EQ (font.getHeight(), t.labelFontSize);
    EXPECT_EQ (label.findColour (juce::Label::textColourId), t.textDim);
}

TEST (LabeledKnob, CaptionAboveBoundRotarySlider)
{
    RingProcessor processor;
    kelto::ui::LabeledKnob knob (processor.apvts, "freq", "FREQUENCY");

    auto& label = captionOf (knob);
    EXPECT_EQ (label.getText(), "FREQUENCY");
    EXPECT_EQ (label.getJustificationType(), juce::Justification::centred);
    expectThemeCaptionStyle (label);

    auto& slider = sliderOf (knob);
    EXPECT_EQ (slider.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
    EXPECT_EQ (slider.getTextBoxPosition(), juce::Slider::TextBoxBelow);
    EXPECT_TRUE (slider.isTextBoxEditable());
    EXPECT_EQ (slider.getTextBoxWidth(), 72);
    EXPECT_EQ (slider.getTextBoxHeight(), 16);

    // The attachment gives the slider the parameter's range and value.
    EXPECT_DOUBLE_EQ (slider.getMinimum(), 1.0);
    EXPECT_DOUBLE_EQ (slider.getMaximum(), 5000.0);
    EXPECT_NEAR (slider.getValue(), 220.0, 1.0e-3);
    EXPECT_EQ (slider.getTextFromValue (slider.getValue()), "220.0 Hz");
}

TEST (LabeledKnob, CaptionTakesTopSixteenPixels)
{
    RingProcessor processor;
    kelto::ui::LabeledKnob knob (processor.apvts, "mix", "MIX");

    const struct
    {
        int width, height;
        juce::Rectangle<int> caption, slider;
    } cases[] = {
        { 190, 200, { 0, 0, 190, 16 }, { 0, 16, 190, 184 } },
        { 268, 122, { 0, 0, 268, 16 }, { 0, 16, 268, 106 } },
        { 80, 16, { 0, 0, 80, 16 }, { 0, 16, 80, 0 } },
        { 80, 10, { 0, 0, 80, 10 }, { 0, 10, 80, 0 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height));
        knob.setSize (c.width, c.height);
        EXPECT_EQ (captionOf (knob).getBounds(), c.caption);
        EXPECT_EQ (sliderOf (knob).getBounds(), c.slider);
    }
}

TEST (LabeledKnob, LookAndFeelChangeKeepsCaptionStyle)
{
    RingProcessor processor;
    juce::Component parent;
    kelto::ui::LabeledKnob knob (processor.apvts, "output", "OUTPUT");
    parent.addAndMakeVisible (knob);

    juce::LookAndFeel_V4 onKnob, onParent;
    onKnob.setColour (juce::Label::textColourId, juce::Colours::red);
    onParent.setColour (juce::Label::textColourId, juce::Colours::green);

    knob.setLookAndFeel (&onKnob);
    expectThemeCaptionStyle (captionOf (knob));

    knob.setLookAndFeel (nullptr);
    parent.setLookAndFeel (&onParent);
    expectThemeCaptionStyle (captionOf (knob));

    parent.setLookAndFeel (nullptr);
}

TEST (LabeledKnob, LookAndFeelChangeRereadsTheme)
{
    // A re-themed UI only has to send a look-and-feel change for the captions to follow.
    RingProcessor processor;
    kelto::ui::LabeledKnob knob (processor.apvts, "mix", "MIX");

    auto& theme = kelto::ui::mutableTheme();
    const auto saved = theme;
    theme.textDim = juce::Colours::orange;
    theme.labelFontSize = 15.0f;

    juce::LookAndFeel_V4 other;
    knob.setLookAndFeel (&other);
    const auto colour = captionOf (knob).findColour (juce::Label::textColourId);
    const auto height = captionOf (knob).getFont().getHeight();
    knob.setLookAndFeel (nullptr);
    theme = saved;

    EXPECT_EQ (colour, juce::Colours::orange);
    EXPECT_FLOAT_EQ (height, 15.0f);
}
} // namespace
