#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace kelto::ui
{
/** Recolours JUCE's standard widgets with the theme and draws rotary sliders as arc knobs. */
class KeltoLookAndFeel : public juce::LookAndFeel_V4
{
public:
    KeltoLookAndFeel();
    ~KeltoLookAndFeel() override;

    void drawRotarySlider (juce::Graphics& g,
                           int x,
                           int y,
                           int width,
                           int height,
                           float sliderPosProportional,
                           float rotaryStartAngle,
                           float rotaryEndAngle,
                           juce::Slider& slider) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KeltoLookAndFeel)
};
} // namespace kelto::ui
