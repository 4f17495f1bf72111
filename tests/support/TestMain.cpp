#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "serial/platform/PortRegistry.h"

// Tests run like the program: JUCE up, this the message thread, its look; they
// see only serial devices they register. Listing them needs no display.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);

    for (int i = 1; i < argc; ++i)
        if (juce::String (argv[i]).startsWith ("--gtest_list_tests"))
            return RUN_ALL_TESTS();

    PortRegistry::setListOnlyRegisteredDevices (true);
    juce::ScopedJuceInitialiser_GUI juce;
    juce::LookAndFeel_V3 lookAndFeel;
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
    const int result = RUN_ALL_TESTS();
    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    return result;
}
