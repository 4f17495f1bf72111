#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

#include <map>
#include <random>

using namespace testsupport;

namespace
{
const char* const defaults = "1 0 1 1 0 0 1 1 0 []- []-";

// Ways to set a trigger up, each with the line it must build after the
// trigger number; none where the track range must be refused.
const std::pair<const char*, const char*> presets[] = {
    { "reset", ", 1, 0, 1, 1, 1, 1, 0, ," },
    { "reset function=2 low=3 high=40", ", 1, 0, 1, 1, 1, 2, 0, 3, 40" },
    { "reset function=7 low=9 high=9", ", 1, 0, 1, 0, 0, 7, 0, 9, 9" },
    { "reset function=2 low=10 high=5", "" },
    { "reset function=3 low=1 high=", "" },
    { "reset function=6 low=0 high=4", "" },
    { "reset interface=2 type=3 lock trigvolume=-20", ", 2, 1, 3, 4, 1, 1, -20, ," },
    { "reset type=2", ", 1, 0, 2, 0, 1, 1, 0, ," },
    { "reset function=8", ", 1, 0, 1, 0, 0, 8, 0, ," },
    { "reset lock loop function=12", ", 1, 0, 1, 7, 1, 12, 0, ," },
};

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

TEST_F (TriggerEditing, RefusedRangeSaysWhyAndCopyStopsAtTheLastTrigger)
{
    act (editor, "function=2 high= add");
    ASSERT_EQ (alerts.shown().size(), 1u);
    const auto& alert = alerts.shown().front();
    EXPECT_EQ (alert.title, "Track Range Error");
    EXPECT_EQ (alert.message,
               "Track Range values for this Trigger Function type must be set to 1 - 4096, with HIGH >= LOW");
    EXPECT_TRUE (dismissAlertWindows());
    EXPECT_EQ (editor.initLines, initfile::headerBlock());

    // Trigger 16 has no next one: "Copy" only switches itself off.
    juce::String buttons;
    for (auto* actions : { "function=1 trigger=15 add", "copy", "copy", "delete" })
        if (act (editor, actions))
            buttons << widgetStates (editor, "trigger add update delete copy") << "|";
    EXPECT_EQ (buttons, "15 - . . .|16 - . . .|16 - . . -|16 . - - -|");
    EXPECT_EQ (editor.initLines[0], "#TRIG 15, 1, 0, 1, 1, 1, 1, 0, ,\r\n");
    EXPECT_EQ (editor.initLines.size(), 8);
}

// Many user actions from a fixed seed, each checked against a model of the
// lines the user has written and of the line the widgets build.
TEST_F (TriggerEditing, RandomUserActionsKeepFileAndWidgetsConsistent)
{
    std::mt19937 rng{ 20240611u };
    const auto random = [&rng] (int n) { return std::uniform_int_distribution<int> (0, n - 1) (rng); };
    const juce::String buttons[] = { "add", "update", "copy", "delete" };
    std::map<int, juce::String> lines; // by trigger number
    juce::String built = presets[0].second;
    int writes = 0, refusals = 0;

    for (int step = 0; step < 1500 && ! HasFailure(); ++step)
    {
        const int trigger = editor.triggerComboBox->getSelectedId(), action = random (10);
        if (action < 2)
        {
            const int next = random (16) + 1;
            if (next != trigger)
                built = lines.count (next) > 0 ? lines[next].fromFirstOccurrenceOf (",", true, false).trimEnd()
                                               : presets[0].second;
            act (editor, "trigger=" + juce::String (next));
        }
        else if (action < 6)
        {
            const auto& preset = presets[random ((int) std::size (presets))];
            act (editor, preset.first);
            built = preset.second;
        }
        else if (const auto button = buttons[action - 6]; widgetStates (editor, button) == ".")
        {
            act (editor, button);
            const int target = button == "delete" ? 0 : button == "copy" ? (trigger < 16 ? trigger + 1 : 0) : trigger;
            const bool refused = target > 0 && built.isEmpty();
            ASSERT_EQ (alerts.shown().size(), refused ? 1u : 0u);
            ASSERT_TRUE (dismissAlertWindows());
            alerts.clear();
            refusals += refused;

            if (button == "delete")
                lines.erase (trigger);
            else if (target > 0 && ! refused)
                lines[target] = "#TRIG " + juce::String (target).paddedLeft ('0', 2) + built + "\r\n", ++writes;
            ASSERT_EQ (editor.triggerComboBox->getSelectedId(), target > trigger && ! refused ? target : trigger);
        }

        // The list holds exactly the lines written, in ascending order above
        // the header; the view shows the list; the buttons fit the trigger.
        juce::String expected;
        for (auto& written : lines)
            expected << written.second;
        const auto text = editor.initLines.joinIntoString ({});
        ASSERT_EQ (text, expected + initfile::headerBlock().joinIntoString ({})) << "step " << step;
        ASSERT_EQ (editor.initTextEditor->getText(), text.replace ("\r\n", "\n"));
        EXPECT_EQ (widgetStates (editor, "add update delete"),
                   lines.count (editor.triggerComboBox->getSelectedId()) > 0 ? "- . ." : ". - -");
    }

    // The mix must keep reaching every road, or the run proves little.
    EXPECT_GT (writes, 100);
    EXPECT_GT (refusals, 30);
}
