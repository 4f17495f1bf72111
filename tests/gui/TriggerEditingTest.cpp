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
        { "reset retrigger loop type=2", "1 0 2 0- 0- 0 1 1 0 []- []-" },
        { "type=3", "1 0 3 0 0- 0 1 1 0 []- []-" },
        { "type=1", defaults },
        // Active interfaces invert, and the toggle stays the user's to change.
        { "interface=2", "2 1 1 1 0 0 1 1 0 []- []-" },
        { "invert invert interface=1", defaults },
        // "Pause" while the type already is "Edge": no type rule follows, "Loop" stays.
        { "loop function=5", "1 0 1 0- 1 0 0- 5 0- [1] [16]" },
        { "function=1 type=2", "1 0 2 0- 0- 0 1 1 0 []- []-" },
    });
    EXPECT_EQ (editor.initLines, initfile::headerBlock()) << "none of this wrote a line";

    // After "Level", "Pause" brings "Edge" back, its rule running only once
    // the function's has returned.
    editor.functionBox->setSelectedId (5, juce::sendNotificationSync);
    EXPECT_FALSE (editor.retriggerToggleButton->getToggleState()) << "the type rule must not run inside";
    deliverPendingMessages();
    EXPECT_EQ (triggerWidgets (editor), "1 0 1 1 0 0 0- 5 0- [1] [16]");
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
        // Blanks and tabs separate fields, a doubled one makes an empty field;
        // the prefix's letters are trimmed as a set.
        { "#TRIG TRIG 02,\t2,\t1,\t2,\t3,\t1,\t6,\t-4,\t7,\t9", "2 1 2 1- 1 0 1- 6 -4- [7] [9]" },
        { "#TRIG 02,  2, 0, 3, 0, 0, 1, 0, ,", "1 1 1 1 1 0 0 1 1 [] []" },
        { "#TRIG 02,2,1,3,0,0,8,5", "1 0 1 1 0 0 1 1 0 [] []" },
    };
    for (auto& [line, widgets] : cases)
    {
        editor.initLines = { line + juce::String ("\r\n") };
        expectSteps ({ { "trigger=2", widgets } });
        EXPECT_EQ (enabledButtons (editor), "Update Delete Copy");
        expectSteps ({ { "trigger=1", defaults } });
        EXPECT_EQ (enabledButtons (editor), "Add");
    }

    // A flag kept while disabled goes back out unchanged; unwritten edits stay
    // while the same trigger is picked again; a function without a range
    // empties the typed range.
    editor.initLines = { "#TRIG 02, 1, 0, 2, 1, 1, 1, 0, ,\r\n" };
    act (editor, "trigger=2 update");
    EXPECT_EQ (editor.initLines, juce::StringArray ("#TRIG 02, 1, 0, 2, 1, 1, 1, 0, ,\r\n"));
    expectSteps ({ { "interface=2 trigger=2 function=6 low=12 function=12 update", "2 1 1 1 0 0 0- 12 0- [] []" } });
    EXPECT_EQ (editor.initLines, juce::StringArray ("#TRIG 02, 2, 1, 1, 1, 0, 12, 0, ,\r\n"));
}

TEST_F (TriggerEditing, RefusedRangeSaysWhyAndTestFollowsTheLineOnlyWithAnOpenPort)
{
    act (editor, "function=2 high= add");
    ASSERT_EQ (alerts.shown().size(), 1u);
    const auto& alert = alerts.shown().front();
    EXPECT_EQ (alert.title, "Track Range Error");
    EXPECT_EQ (alert.message,
               "Track Range values for this Trigger Function type must be set to 1 - 4096, with HIGH >= LOW");
    EXPECT_EQ (alert.icon, juce::MessageBoxIconType::InfoIcon);
    EXPECT_EQ (alert.buttons, juce::StringArray ("OK"));
    EXPECT_TRUE (dismissAlertWindows());
    EXPECT_EQ (editor.initLines, initfile::headerBlock());

    act (editor, "function=1 add trigger=2");
    editor.testButton->setEnabled (true);
    act (editor, "add");
    EXPECT_TRUE (editor.testButton->isEnabled()) << "without a port a line leaves \"Test\" as it was";

    editor.comPortOpen = true;
    const std::pair<const char*, const char*> steps[] = { { "trigger=3", "Add" },
                                                          { "add", "Update Delete Copy Test" },
                                                          { "delete", "Add" },
                                                          { "trigger=1", "Update Delete Copy Test" } };
    for (auto& [actions, buttons] : steps)
    {
        act (editor, actions);
        EXPECT_EQ (enabledButtons (editor), buttons) << actions;
    }
}
