#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
class SystemSettingsEditing : public EditorTest
{
protected:
    // The lines above the header, each ended by "|", once the view is seen to
    // show the whole list.
    juce::String linesOnTop()
    {
        const auto text = editor.initLines.joinIntoString ("");
        EXPECT_EQ (editor.initTextEditor->getText(), text.replace ("\r\n", "\n"));
        return text.replace (initfile::headerBlock().joinIntoString (""), "").replace ("\r\n", "|");
    }

    void expectSteps (std::initializer_list<std::pair<const char*, const char*>> steps)
    {
        for (auto& [actions, lines] : steps)
        {
            act (editor, actions);
            EXPECT_EQ (linesOnTop(), lines) << actions;
        }
    }

    juce::String midiWidgets() const { return widgetStates (editor, "release velocity noteoffs pitch channel"); }
};
} // namespace

TEST_F (SystemSettingsEditing, EachChoiceWritesItsLineOnTopAndTheDefaultNone)
{
    juce::String lines;
    act (editor, "baud=7 lowpower");
    for (auto* choice :
         { "sleep=1",   "sleep=2",   "sleep=3",    "sleep=4",   "sleep=5",     "sleep=6",    "sleep=7",   "sleep=8",
           "sleep=9",   "sleep=10",  "sleep=11",   "sleep=12",  "pitch=1",     "pitch=3",    "pitch=4",   "pitch=5",
           "channel=2", "channel=3", "channel=17", "release=1", "release=127", "volume=-20", "volume=-1", "volume=1",
           "volume=10", "baud=1",    "baud=2",     "baud=3",    "baud=4",      "baud=5" })
        if (act (editor, choice))
            lines << linesOnTop().upToFirstOccurrenceOf ("|", true, false);
    EXPECT_EQ (lines, "#LPWR 15|#LPWR 30|#LPWR 60|#LPWR 120|#LPWR 180|#LPWR 240|#LPWR 300|#LPWR 600|#LPWR 900|"
                      "#LPWR 1800|#LPWR 2700|#LPWR 3600|#BEND 1|#BEND 3|#BEND 4|#BEND 5|#MCHN 1|#MCHN 2|#MCHN 16|"
                      "#MREL 1|#MREL 127|#VOLM -20|#VOLM -1|#VOLM 1|#VOLM 10|#BAUD 1200|#BAUD 2400|#BAUD 9600|"
                      "#BAUD 19200|#BAUD 38400|");

    // Back at its default each value takes its line away, and writes none.
    expectSteps ({
        { "baud=7 release=5 pitch=3 channel=9", "#MCHN 8|#BEND 3|#MREL 5|#MIDI 1 |#VOLM 10|#LPWR 3600|" },
        { "pitch=2 channel=1 release=0 volume=0 lowpower", "#MIDI 1 |" },
        { "baud=6", "" },
        // The last changed setting stands first.
        { "volume=-5 amp", "#SPKR 1|#VOLM -5|" },
        { "volume=-3", "#VOLM -3|#SPKR 1|" },
        { "amp", "#VOLM -3|" },
        // The view is rebuilt even when no line is written.
        { "baud=2 view=typed baud=6", "#VOLM -3|" },
    });
}

TEST_F (SystemSettingsEditing, EveryLineOfTheKeywordGoesWhereverItStands)
{
    editor.initLines = juce::StringArray::fromLines ("#VOLM 1\n#VOLM 2\n; note\n#volm 3\n #VOLM 4\n#VOLMxyz\n"
                                                     "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,\n#VOLM 5\n#BAUD 1200\n#MIDI 1\n"
                                                     "#MREL 9\n#BAUD 2400\n#BEND 3\n#MCHN 4\n#MIDI 3");
    for (auto& entry : editor.initLines)
        entry << "\r\n";

    // Case and a leading blank make a line plain text.
    expectSteps ({ { "volume=-7", "#VOLM -7|; note|#volm 3| #VOLM 4|#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,|#BAUD 1200|"
                                  "#MIDI 1|#MREL 9|#BAUD 2400|#BEND 3|#MCHN 4|#MIDI 3|" },
                   { "baud=3", "#BAUD 9600|#VOLM -7|; note|#volm 3| #VOLM 4|#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,|" } });
}

TEST_F (SystemSettingsEditing, MidiModeComesWithItsWidgetsAndLeavesWithItsLines)
{
    expectSteps ({ { "baud=3", "#BAUD 9600|" } });
    EXPECT_EQ (midiWidgets(), "0- 0- 0- 2- 1-");

    expectSteps ({
        { "baud=7", "#MIDI 1 |" },
        { "pitch=5 channel=17 release=20", "#MREL 20|#MCHN 16|#BEND 5|#MIDI 1 |" },
        { "velocity", "#MIDI 3|#MREL 20|#MCHN 16|#BEND 5|" },
        { "velocity", "#MIDI 1|#MREL 20|#MCHN 16|#BEND 5|" },
        { "noteoffs", "#MIDI 5|#MREL 20|#MCHN 16|#BEND 5|" },
        { "velocity", "#MIDI 7|#MREL 20|#MCHN 16|#BEND 5|" },
        { "baud=2", "#BAUD 2400|" },
    });
    EXPECT_EQ (midiWidgets(), "0- 0- 0- 2- 1-");

    // Nothing chosen before comes back.
    expectSteps ({ { "baud=7", "#MIDI 1 |" } });
    EXPECT_EQ (midiWidgets(), "0 0 0 2 1");
}

TEST_F (SystemSettingsEditing, LowPowerAlwaysStartsAtFiveMinutes)
{
    expectSteps ({ { "lowpower", "#LPWR 300|" }, { "sleep=12 lowpower", "" }, { "lowpower", "#LPWR 300|" } });
    EXPECT_EQ (editor.sleepBox->getSelectedId(), 7) << "back at 5 min, not at the 1 hr chosen before";
    EXPECT_TRUE (editor.sleepBox->isEnabled() && editor.sleepLabel->isEnabled());
    act (editor, "lowpower");
    EXPECT_FALSE (editor.sleepBox->isEnabled() || editor.sleepLabel->isEnabled());
}
