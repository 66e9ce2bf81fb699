#include "KeltoLookAndFeel.h"

#include "Theme.h"

namespace kelto::ui
{
KeltoLookAndFeel::KeltoLookAndFeel()
{
    const auto& t = mutableTheme();

    setColour (juce::ResizableWindow::backgroundColourId, t.background);
    setColour (juce::Slider::textBoxTextColourId, t.text);
    setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    setColour (juce::Label::textColourId, t.text);
    setColour (juce::ComboBox::backgroundColourId, t.background);
    setColour (juce::ComboBox::textColourId, t.text);
    setColour (juce::ComboBox::outlineColourId, t.outline);
    setColour (juce::ComboBox::arrowColourId, t.accent);
    setColour (juce::PopupMenu::backgroundColourId, t.panel);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, t.accent.withAlpha ((juce::uint8) 0x40));
    setColour (juce::TextButton::buttonColourId, t.panel);
    setColour (juce::TextButton::buttonOnColourId, t.accent);
    setColour (juce::TextButton::textColourOffId, t.textDim);
    setColour (juce::TextButton::textColourOnId, t.background);
}

KeltoLookAndFeel::~KeltoLookAndFeel() = default;

void KeltoLookAndFeel::drawRotarySlider (juce::Graphics& g,
                                         int x,
                                         int y,
                                         int width,
                                         int height,
                                         float sliderPosProportional,
                                         float rotaryStartAngle,
                                         float rotaryEndAngle,
                                         juce::Slider&)
{
    // Read on every call so that all knobs follow the one shared theme.
    const auto& t = mutableTheme();

    const auto bounds = juce::Rectangle<int> (x, y, width, height).toFloat().reduced (6.0f);
    const auto radius = juce::jmin (bounds.getWidth(), bounds.getHeight()) / 2.0f;
    const auto centre = bounds.getCentre();
    const auto lineW = radius * t.trackWidthRatio;
    const auto arcR = radius - lineW / 2.0f; // keeps the stroke's outer edge on the radius

    const juce::PathStrokeType stroke (lineW, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);

    juce::Path track;
    track.addCentredArc (centre.x, centre.y, arcR, arcR, 0.0f, rotaryStartAngle, rotaryEndAngle, true);
    g.setColour (t.track);
    g.strokePath (track, stroke);

    const auto toAngle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);
    juce::Path value;
    value.addCentredArc (centre.x, centre.y, arcR, arcR, 0.0f, rotaryStartAngle, toAngle, true);

    g.setColour (t.accent.withAlpha ((juce::uint8) 0x40));
    g.strokePath (
        value,
        juce::PathStrokeType (2.0f * lineW, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    g.setColour (t.accent);
    g.strokePath (value, stroke);

    const auto knobR = radius - 1.7f * lineW;
    const juce::Rectangle<float> body (centre.x - knobR, centre.y - knobR, 2.0f * knobR, 2.0f * knobR);
    g.setColour (t.panelRaised.brighter (0.1f));
    g.fillEllipse (body);
    g.setColour (t.outline);
    g.drawEllipse (body, 1.0f);

    juce::Path pointer;
    const auto corner = 0.32f * lineW;
    pointer.addRoundedRectangle (-0.32f * lineW,
                                 -0.88f * knobR,
                                 0.64f * lineW,
                                 0.55f * (0.88f * knobR),
                                 corner,
                                 corner,
                                 true,
                                 true,
                                 true,
                                 true);
    pointer.applyTransform (juce::AffineTransform::rotation (toAngle).translated (centre.x, centre.y));
    g.setColour (t.accentBright);
    g.fillPath (pointer);
}
} // namespace kelto::ui
