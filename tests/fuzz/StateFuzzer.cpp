// Feeds arbitrary bytes to the state loader, as a broken or hostile project file would.
// Whatever the bytes, the parameters must stay finite and in range and saving must work.
#include "plugin/PluginProcessor.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static RingProcessor* processor = new RingProcessor(); // one instance, as a host keeps it

    processor->setStateInformation (data, (int) juce::jmin (size, (size_t) std::numeric_limits<int>::max()));

    for (auto* param : processor->getParameters())
    {
        const auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (param);
        const auto plain = processor->apvts.getRawParameterValue (ranged->getParameterID())->load();
        const auto& range = ranged->getNormalisableRange();
        if (! std::isfinite (plain) || plain < range.start || plain > range.end)
            std::abort();
    }

    juce::MemoryBlock saved;
    processor->getStateInformation (saved);
    if (saved.isEmpty())
        std::abort();

    return 0;
}
