#pragma once

#include <juce_graphics/juce_graphics.h>

namespace kelto::ui
{
/** Every colour and size of the look, in one copyable record. */
struct Theme
{
    juce::Colour background;
    juce::Colour panel;
    juce::Colour panelRaised;
    juce::Colour track;
    juce::Colour outline;
    juce::Colour accent;
    juce::Colour accentBright;
    juce::Colour accentDim;
    juce::Colour accentDeep;
    juce::Colour secondary;
    juce::Colour secondaryBright;
    juce::Colour text;
    juce::Colour textDim;
    juce::Colour textFaint;
    juce::Colour danger;
    juce::Colour success;

    float spacing;
    float trackWidthRatio; // knob arc width as a fraction of the knob radius
    float radius;
    float titleFontSize; // font sizes are JUCE font heights, not points
    float headingFontSize;
    float labelFontSize;
    float bodyFontSize;
    float smallFontSize;
};

/** The dark palette the plug-in ships with. */
Theme obsidianTheme();

/** The one theme record of the process, filled from obsidianTheme() on first use. */
Theme& mutableTheme();

/** The platform's monospaced UI font, bold, at the given JUCE font height. */
juce::Font monoFont (float size, bool bold);

/** The default sans-serif UI font at the given JUCE font height. */
juce::Font sansFont (float size, bool bold);
} // namespace kelto::ui
