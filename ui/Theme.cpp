#include "Theme.h"

namespace kelto::ui
{
Theme obsidianTheme()
{
    return {
        juce::Colour (0xff0c0c0e), // background
        juce::Colour (0xff141417), // panel
        juce::Colour (0xff1a1a1e), // panelRaised
        juce::Colour (0xff26262b), // track
        juce::Colour (0xff34343b), // outline
        juce::Colour (0xffe8b24c), // accent
        juce::Colour (0xfff3d38a), // accentBright
        juce::Colour (0xffc9922f), // accentDim
        juce::Colour (0xff8a2f1c), // accentDeep
        juce::Colour (0xff37b9a8), // secondary
        juce::Colour (0xff7fe6d6), // secondaryBright
        juce::Colour (0xffeceae6), // text
        juce::Colour (0xffa6988a), // textDim
        juce::Colour (0xff6f6357), // textFaint
        juce::Colour (0xffff5c4d), // danger
        juce::Colour (0xff8fcb6e), // success
        12.0f,                     // spacing
        0.16f,                     // trackWidthRatio
        6.0f,                      // radius
        22.0f,                     // titleFontSize
        15.0f,                     // headingFontSize
        12.0f,                     // labelFontSize
        11.0f,                     // bodyFontSize
        10.0f,                     // smallFontSize
    };
}

Theme& mutableTheme()
{
    // Shared by every editor in the host process; never torn down before unload.
    static Theme theme = obsidianTheme();
    return theme;
}

juce::Font monoFont (float size, bool /*bold*/)
{
    // Every caller wants the bold face, so the flag does not change the style.
    return juce::Font (juce::FontOptions()
                           .withName (juce::Font::getDefaultMonospacedFontName())
                           .withHeight (size)
                           .withStyle ("Bold"));
}

juce::Font sansFont (float size, bool bold)
{
    return juce::Font (juce::FontOptions (size, bold ? juce::Font::bold : juce::Font::plain));
}
} // namespace kelto::ui
