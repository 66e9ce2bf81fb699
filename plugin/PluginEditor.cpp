#include "PluginEditor.h"

#include "Presets.h"

#include "../ui/Theme.h"

namespace
{
constexpr int editorWidth = 720;
constexpr int editorHeight = 440;
constexpr int repaintPeriodMs = 66;
} // namespace

RingEditor::RingEditor (RingProcessor& processorToEdit)
    : juce::AudioProcessorEditor (processorToEdit)
    , ringProcessor (processorToEdit)
    , inputMeter (processorToEdit.levels, kelto::ui::MeterComponent::inputLevel, "IN")
    , outputMeter (processorToEdit.levels, kelto::ui::MeterComponent::outputLevel, "OUT")
{
    // Children draw through their parent's look-and-feel; none gets its own.
    setLookAndFeel (&lookAndFeel);

    freqKnob = std::make_unique<kelto::ui::LabeledKnob> (ringProcessor.apvts, "freq", "FREQUENCY");
    mixKnob = std::make_unique<kelto::ui::LabeledKnob> (ringProcessor.apvts, "mix", "MIX");
    outputKnob = std::make_unique<kelto::ui::LabeledKnob> (ringProcessor.apvts, "output", "OUTPUT");

    addAndMakeVisible (*freqKnob);
    addAndMakeVisible (*mixKnob);
    addAndMakeVisible (*outputKnob);
    addAndMakeVisible (presetBox);

    presetBox.clear (juce::dontSendNotification);
    const auto& presets = Presets::getFactoryPresets();
    for (size_t i = 0; i < presets.size(); ++i)
        presetBox.addItem (presets[i].name, (int) i + 1);

    // Shown once from the processor; later host program changes do not move the selector.
    presetBox.setSelectedId (ringProcessor.getCurrentProgram() + 1, juce::dontSendNotification);
    presetBox.onChange = [this]
    {
        const auto id = presetBox.getSelectedId();
        if (id >= 1)
            ringProcessor.setCurrentProgram (id - 1);
    };

    bypassButton.setClickingTogglesState (true);
    addAndMakeVisible (bypassButton);
    bypassAttachment = std::make_unique<juce::AudioProcessorValueTreeState::ButtonAttachment> (
        ringProcessor.apvts, "bypass", bypassButton);

    addAndMakeVisible (inputMeter);
    addAndMakeVisible (outputMeter);

    // The knobs' value boxes and the selector's label took their colours when they were
    // made, before they had this parent; let them take this look-and-feel's.
    sendLookAndFeelChange();

    startTimer (repaintPeriodMs);

    // Last, so that resized() lays out children that all exist.
    setSize (editorWidth, editorHeight);
}

RingEditor::~RingEditor()
{
    stopTimer();
    setLookAndFeel (nullptr);
}

void RingEditor::paint (juce::Graphics& g)
{
    const auto& t = kelto::ui::mutableTheme();

    g.fillAll (t.background);

    const auto glowCentreX = (float) getWidth() * 0.5f;
    constexpr auto glowRadius = 360.0f - 150.0f;
    g.setGradientFill (juce::ColourGradient (t.secondary.withAlpha ((juce::uint8) 0x1f),
                                             glowCentreX,
                                             150.0f,
                                             t.background.withAlpha ((juce::uint8) 0),
                                             glowCentreX,
                                             360.0f,
                                             true));
    // Past its radius the glow is fully transparent, so only the circle's square needs filling.
    g.fillRect (getLocalBounds().getIntersection (
        juce::Rectangle<float> (
            glowCentreX - glowRadius, 150.0f - glowRadius, 2.0f * glowRadius, 2.0f * glowRadius)
            .getSmallestIntegerContainer()));

    g.setColour (t.accent);
    g.setFont (kelto::ui::monoFont (t.smallFontSize + 1.0f, true));
    g.drawText (
        "KELTO", juce::Rectangle<float> (20.0f, 16.0f, 60.0f, 14.0f), juce::Justification::left, true);

    g.setColour (t.text);
    g.setFont (kelto::ui::sansFont (t.titleFontSize, true));
    g.drawText (
        "ZAVI", juce::Rectangle<float> (20.0f, 28.0f, 360.0f, 30.0f), juce::Justification::left, true);

    g.setColour (t.textFaint);
    g.setFont (kelto::ui::sansFont (t.smallFontSize + 1.0f, false));
    g.drawText ("Ring modulator",
                juce::Rectangle<float> (20.0f, 58.0f, 360.0f, 16.0f),
                juce::Justification::left,
                true);
}

void RingEditor::resized()
{
    auto area = getLocalBounds().reduced (18);

    auto header = area.removeFromTop (56);
    area.removeFromTop (6);
    header.removeFromLeft (230); // the painted texts live here

    bypassButton.setBounds (header.removeFromRight (92).reduced (4, 12));
    presetBox.setBounds (header.removeFromRight (150).reduced (4, 14));

    auto meters = area.removeFromRight (100).reduced (6, 10);
    inputMeter.setBounds (meters.removeFromLeft (meters.getWidth() / 2).reduced (4, 0));
    outputMeter.setBounds (meters.reduced (4, 0));

    area.removeFromRight (8);

    auto topRow = area.removeFromTop (juce::jmin (area.getHeight(), 330) - 130);
    freqKnob->setBounds (topRow.withSizeKeepingCentre (190, topRow.getHeight()));

    mixKnob->setBounds (area.removeFromLeft (area.getWidth() / 2).reduced (10));
    outputKnob->setBounds (area.reduced (10));
}

void RingEditor::timerCallback()
{
    repaint();
}
