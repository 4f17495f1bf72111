#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

#include <map>
#include <random>

using namespace testsupport;

namespace
{
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

class TriggerEditingRandom : public EditorTest
{
protected:
    int random (int lowest, int highest) { return std::uniform_int_distribution<int> (lowest, highest) (rng); }

    // Clicks the button, which builds the widgets' line for `trigger` (none for 0).
    void write (const char* button, int trigger)
    {
        act (editor, button);
        const bool refused = trigger > 0 && built.isEmpty();
        ASSERT_EQ (alerts.shown().size(), refused ? 1u : 0u);
        ASSERT_TRUE (dismissAlertWindows());
        alerts.clear();
        refusals += refused;

        if (trigger > 0 && ! refused)
            lines[trigger] = "#TRIG " + juce::String (trigger).paddedLeft ('0', 2) + built + "\r\n", ++writes;
    }

    void randomAction()
    {
        auto& e = editor;
        const int trigger = e.triggerComboBox->getSelectedId();
        const int action = random (0, 9);

        if (action < 2)
        {
            const int next = random (1, 16);
            if (next != trigger)
            {
                reloads += (int) lines.count (next);
                built = lines.count (next) ? lines[next].fromFirstOccurrenceOf (",", true, false).trimEnd()
                                           : presets[0].second;
            }
            act (e, "trigger=" + juce::String (next));
        }
        else if (action < 6)
        {
            const auto& preset = presets[random (0, (int) std::size (presets) - 1)];
            act (e, preset.first);
            built = preset.second;
        }
        else if (action == 6 && e.addButton->isEnabled())
            write ("add", trigger);
        else if (action == 7 && e.updateButton->isEnabled())
            write ("update", trigger);
        else if (action == 8 && e.copyButton->isEnabled())
        {
            write ("copy", trigger < 16 ? trigger + 1 : 0);
            EXPECT_EQ (e.triggerComboBox->getSelectedId(), trigger + (trigger < 16 && built.isNotEmpty()));
        }
        else if (action == 9 && e.deleteButton->isEnabled())
            act (e, "delete"), lines.erase (trigger);
    }

    // The list holds exactly the lines written, in ascending order above the
    // header; the view shows the list; the buttons fit the selected trigger.
    void expectConsistentFile()
    {
        juce::String expected;
        for (auto& [trigger, line] : lines)
            expected << line;

        const auto text = editor.initLines.joinIntoString ({});
        ASSERT_EQ (text, expected + initfile::headerBlock().joinIntoString ({}));
        ASSERT_EQ (editor.initTextEditor->getText(), text.replace ("\r\n", "\n"));

        const auto buttons = enabledButtons (editor);
        ASSERT_TRUE (lines.count (editor.triggerComboBox->getSelectedId()) > 0
                         ? buttons == "Update Delete Copy" || buttons == "Update Delete"
                         : buttons == "Add")
            << buttons;
    }

    std::mt19937 rng{ 20240611u };
    std::map<int, juce::String> lines; // what the user wrote, by trigger number
    juce::String built = presets[0].second;
    int writes = 0, refusals = 0, reloads = 0;
};
} // namespace

// Hundreds of user actions from a fixed seed, each checked against a model of
// the lines the user has written.
TEST_F (TriggerEditingRandom, RandomUserActionsKeepFileAndWidgetsConsistent)
{
    for (int step = 0; step < 1500 && ! HasFailure(); ++step)
    {
        SCOPED_TRACE ("step " + std::to_string (step));
        randomAction();
        expectConsistentFile();
    }

    // The mix must keep reaching every road, or the run proves little.
    EXPECT_GT (writes, 100);
    EXPECT_GT (refusals, 30);
    EXPECT_GT (reloads, 50);
}
