#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// JUCE needs its message manager for parameter notifications, attachments and components;
// the test's main thread is the message thread.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
