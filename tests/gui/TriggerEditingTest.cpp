#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
const char* const defaults = "1 0 1 1 0 0 1 1 0 []- []-";

class TriggerEditing : public EditorTest
{
protected:
    // Runs each row's actions, then expects the trigger widgets they leave.
    void expectSteps (std::initializer_list<std::pair<juce::String, const char*>> steps)
    {
        for (auto& [actions, widgets] : steps)
        {
            act (editor, actions);
            EXPECT_EQ (triggerWidgets (editor), juce::String (widgets)) << actions;
        }
    }
};
} // namespace

TEST_F (TriggerEditing, FunctionTypeAndInterfaceRules)
{
    // Each function replaces a typed range, Re-Triggers off and a trigger volume.
    const char* const functionRule[] = {
        "1 0 1 1 0 0 1 1 0 []- []-",     "1 0 1 1 0 0 1 2 0 [1] [16]",    "1 0 1 1 0 0 1 3 0 [1] [16]",
        "1 0 1 1 0 0 1 4 0 [1] [16]",    "1 0 1 0- 0 0 0- 5 0- [1] [16]", "1 0 1 0- 0 0 0- 6 0- [1] [16]",
        "1 0 1 0- 0 0 0- 7 0- [1] [16]", "1 0 1- 0- 0 0 0- 8 0- []- []-", "1 0 1- 0- 0 0 0- 9 0- []- []-",
    };
    for (int f = 1; f <= 9; ++f)
        expectSteps ({ { "function=" + juce::String (f == 2 ? 3 : 2)
                             + " low=77 retrigger trigvolume=-9 function=" + juce::String (f),
                         functionRule[f - 1] } });

    expectSteps ({
        // A bank function leaves every other widget as it was.
        { "function=7 low=3 type=3 lock function=10", "1 0 3 0 0- 1 0- 10 0- [3] [16]" },
        { "function=13", "1 0 3 0 0- 1 0- 13 0- [3] [16]" },
        { "reset loop type=2", "1 0 2 0- 0- 0 1 1 0 []- []-" }, // Re-Triggers and Loop go off
        { "type=3", "1 0 3 0 0- 0 1 1 0 []- []-" },
        { "type=1", defaults },
        // Active interfaces invert, and the toggle stays the user's to change.
        { "interface=2", "2 1 1 1 0 0 1 1 0 []- []-" },
        { "invert invert interface=1", defaults },
        // "Pause" while the type already is "Edge": no type rule follows, "Loop" stays.
        { "loop function=5", "1 0 1 0- 1 0 0- 5 0- [1] [16]" },
        { "function=1 type=2 function=5", "1 0 1 1 0 0 0- 5 0- [1] [16]" }, // "Edge" again
    });
    EXPECT_EQ (editor.initLines, initfile::headerBlock()) << "none of this wrote a line";
}

TEST_F (TriggerEditing, LinesShowTheirValuesWithTheirOwnEnablement)
{
    const std::pair<const char*, const char*> cases[] = {
        // Each function's enablement; "Loop" stays editable whatever the type.
        { "#TRIG 02, 1, 0, 1, 1, 1, 2, 3, 5, 9", "1 0 1 1 0 0 1 2 3 [5] [9]" },
        { "#TRIG 02, 1, 0, 1, 1, 1, 3, 0, 5, 9", "1 0 1 1 0 0 1 3 0 [5] [9]" },
        { "#TRIG 02, 1, 0, 3, 3, 1, 4, 0, ,", "1 0 3 1 1 0 1 4 0- [] []" },
        { "#TRIG 02, 1, 0, 1, 1, 1, 5, 0, 5, 9", "1 0 1 1- 0 0 1- 5 0- [5] [9]" },
        { "#TRIG 02, 1, 0, 1, 1, 1, 6, 0, 5, 9", "1 0 1 1- 0 0 1- 6 0- [5] [9]" },
        { "#TRIG 02, 1, 0, 1, 0, 0, 7, 0, 5, 9", "1 0 1 0- 0 0 0- 7 0- [5] [9]" },
        { "#TRIG 02, 1, 0, 3, 6, 1, 12, 4, 9, 9", "1 0 3 0- 1 1 1- 12 4- [9]- [9]-" },
        // "Level" keeps Re-Triggers as written, but not editable.
        { "#TRIG 02, 2, 1, 2, 1, 1, 1, 0, ,", "2 1 2 1- 0 0 1 1 0 [] []" },
        // Any number but 0 switches on; the flags' low three bits count.
        { "#TRIG 02, 1, 2, 1, 8, 0, 1, 0, ,", "1 1 1 0 0 0 0 1 0 [] []" },
        { "#TRIG 02, 1, -1, 1, 13, 5, 1, 0, ,", "1 1 1 1 0 1 1 1 0 [] []" },
        { "#TRIG 02, 1, 0, 1, 1, -3, 1, 0, ,", "1 0 1 1 0 0 1 1 0 [] []" },
        // The limits of every field; out of range, a field keeps the default.
        { "#TRIG 02, 2, 0, 3, 0, 0, 13, -20, 1, 4096", "2 0 3 0- 0 0 0- 13 -20- [1]- [4096]-" },
        { "#TRIG 02, 2, 0, 1, 0, 0, 3, 10, 4096, 1", "2 0 1 0 0 0 0 3 10 [4096] [1]" },
        { "#TRIG 02, 0, 0, 4, 0, 0, 14, -21, 4097, 0", "1 0 1 0 0 0 0 1 0 [] []" },
        { "#TRIG 02, 3, 0, 0, 1, 1, 0, 11, , ", "1 0 1 1 0 0 1 1 0 [] []" },
    };
    for (auto& [line, widgets] : cases)
    {
        editor.initLines = { line + juce::String ("\r\n") };
        expectSteps ({ { "trigger=2", widgets }, { "trigger=1", defaults } });
    }

    // Unwritten edits stay while the same trigger is picked again; a function
    // without a range empties the typed range.
    editor.initLines = { "#TRIG 02, 1, 0, 2, 3, 1, 1, 0, ,\r\n" };
    expectSteps (
        { { "trigger=2 interface=2 trigger=2 function=6 low=12 function=12 update", "2 1 1 1 0 0 0- 12 0- [] []" } });
    EXPECT_EQ (editor.initLines, juce::StringArray ("#TRIG 02, 2, 1, 1, 1, 0, 12, 0, ,\r\n"));
}

// Each row: the actions, then the trigger lines they leave on top (number and
// body, the bodies by letter), the states of "trigger add update delete copy"
// and the number of message boxes shown so far.
TEST_F (TriggerEditing, WritesKeepOneLinePerTriggerInOrderAndARefusedRangeWritesNothing)
{
    const juce::StringArray bodies{ "1, 0, 1, 1, 1, 1, 0, ,", "2, 1, 3, 4, 1, 2, -20, 1, 16",
                                    "2, 0, 3, 4, 1, 2, -20, 1, 16", "2, 0, 3, 4, 1, 12, -20, ," };
    const std::pair<const char*, const char*> steps[] = {
        { "function=2 high= add", "1 . - - - 1" },
        { "trigger=5 add", "05a 5 - . . . 1" },
        { "trigger=3 function=2 interface=2 type=3 lock trigvolume=-20 add", "03b 05a 3 - . . . 1" },
        // "Copy" writes the widgets, unwritten edits included, as the next trigger's line.
        { "invert copy", "03b 04c 05a 4 - . . . 1" },
        { "copy", "03b 04c 05c 5 - . . . 1" },
        // A refused range keeps the line there was, and the selection.
        { "function=3 high= copy", "03b 04c 05c 5 - . . . 2" },
        { "update", "03b 04c 05c 5 - . . . 3" },
        { "trigger=4 function=12 update", "03b 04d 05c 4 - . . . 3" },
        // "Delete" keeps the widgets, so "Add" writes the same line again.
        { "delete", "03b 05c 4 . - - - 3" },
        { "add", "03b 04d 05c 4 - . . . 3" },
        // Trigger 16 has no next one: "Copy" only switches itself off.
        { "trigger=15 add copy", "03b 04d 05c 15a 16a 16 - . . . 3" },
        { "copy", "03b 04d 05c 15a 16a 16 - . . - 3" },
    };
    for (auto& [actions, expected] : steps)
    {
        act (editor, actions);
        juce::String state;
        for (auto& line : editor.initLines)
            if (const int body = bodies.indexOf (line.substring (10).trimEnd());
                line.startsWith (initfile::triggerPrefix))
                state << line.substring (6, 8) << (body >= 0 ? juce::String::charToString ('a' + body) : line) << " ";
        state << widgetStates (editor, "trigger add update delete copy") << " " << (int) alerts.shown().size();
        EXPECT_EQ (state, juce::String (expected)) << actions;
        EXPECT_EQ (editor.initTextEditor->getText(), editor.initLines.joinIntoString ("").replace ("\r\n", "\n"));
        EXPECT_TRUE (dismissAlertWindows());
    }

    for (auto& alert : alerts.shown())
        EXPECT_EQ (alert.title + ": " + alert.message, "Track Range Error: Track Range values for this Trigger "
                                                       "Function type must be set to 1 - 4096, with HIGH >= LOW");
}
