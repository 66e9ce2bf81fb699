#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <ostream>

// Readable colours in assertion messages.
namespace juce
{
inline void PrintTo (const Colour& colour, std::ostream* os)
{
    *os << colour.toDisplayString (true).toStdString();
}
} // namespace juce

namespace kelto::test
{
/** Renders a component and its children in the software renderer at scale 1. */
inline juce::Image snapshot (juce::Component& component)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
}

/** Largest per-channel difference between two colours, alpha included. */
inline int channelDistance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs ((int) a.getAlpha() - (int) b.getAlpha()),
                       std::abs ((int) a.getRed() - (int) b.getRed()),
                       std::abs ((int) a.getGreen() - (int) b.getGreen()),
                       std::abs ((int) a.getBlue() - (int) b.getBlue()));
}
} // namespace kelto::test
