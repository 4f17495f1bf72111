#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

#include <map>
#include <random>

using namespace testsupport;

namespace
{
class TriggerEditingRandom : public EditorTest
{
protected:
    int random (int lowest, int highest) { return std::uniform_int_distribution<int> (lowest, highest) (rng); }

    bool hasTrackRange() const
    {
        return editor.functionBox->getSelectedId() >= 2 && editor.functionBox->getSelectedId() <= 7;
    }

    int low() const { return editor.lowText->getText().getIntValue(); }
    int high() const { return editor.highText->getText().getIntValue(); }

    bool rangeRefused() const { return hasTrackRange() && ! (low() >= 1 && high() >= low() && high() <= 4096); }

    // The line that the widgets show for the trigger.
    juce::String shownLine (int trigger) const
    {
        auto& e = editor;
        const int flags = (int) e.retriggerToggleButton->getToggleState()
                          + 2 * (int) e.loopToggleButton->getToggleState() + 4 * (int) e.lockToggle->getToggleState();
        juce::String line = "#TRIG " + juce::String (trigger).paddedLeft ('0', 2);

        for (int field : { e.interfaceComboBox->getSelectedId(), (int) e.invertToggle->getToggleState(),
                           e.typeBox->getSelectedId(), flags, (int) e.polyToggle->getToggleState(),
                           e.functionBox->getSelectedId(), (int) e.trigVolumeSlider->getValue() })
            line << ", " << field;

        line << (hasTrackRange() ? ", " + juce::String (low()) + ", " + juce::String (high()) : juce::String (", ,"));
        return line + "\r\n";
    }

    juce::String defaultLine (int trigger) const
    {
        return "#TRIG " + juce::String (trigger).paddedLeft ('0', 2) + ", 1, 0, 1, 1, 1, 1, 0, ,\r\n";
    }

    // Changes one trigger widget that a user could change now.
    void changeAWidget()
    {
        auto& e = editor;
        const int which = random (0, 9);

        if (which <= 1 && e.functionBox->isEnabled())
            pick (*e.functionBox, random (1, 13));
        else if (which == 2 && e.typeBox->isEnabled())
            pick (*e.typeBox, random (1, 3));
        else if (which == 3)
            pick (*e.interfaceComboBox, random (1, 2));
        else if (which == 4)
        {
            juce::Button* toggles[] = { e.invertToggle.get(), e.retriggerToggleButton.get(), e.loopToggleButton.get(),
                                        e.lockToggle.get(), e.polyToggle.get() };
            click (*toggles[random (0, 4)]);
        }
        else if (which == 5 && e.trigVolumeSlider->isEnabled())
            drag (*e.trigVolumeSlider, random (-20, 10));
        else if (which >= 6)
        {
            auto& field = random (0, 1) == 0 ? *e.lowText : *e.highText;
            const int kind = random (0, 9);
            if (field.isEnabled())
                typeInto (field, kind == 0   ? juce::String()
                                 : kind == 1 ? juce::String ("0")
                                 : kind == 2 ? juce::String (random (4000, 9999))
                                             : juce::String (random (1, 60)));
        }
    }

    // One user action, and what it must have done to the lines the user wrote.
    void act()
    {
        auto& e = editor;
        const int trigger = e.triggerComboBox->getSelectedId();
        const int action = random (0, 19);

        if (action < 3)
        {
            const int next = random (1, 16);
            pick (*e.triggerComboBox, next);

            if (next != trigger)
            {
                const auto saved = lines.find (next);
                reloads += saved != lines.end() ? 1 : 0;
                EXPECT_EQ (shownLine (next), saved != lines.end() ? saved->second : defaultLine (next));
            }
        }
        else if (action < 11)
        {
            changeAWidget();
        }
        else if (action == 19)
        {
            click (*e.resetButton);
            EXPECT_EQ (shownLine (trigger), defaultLine (trigger));
        }
        else
        {
            juce::Button* const buttons[] = { e.addButton.get(),    e.addButton.get(),    e.updateButton.get(),
                                              e.updateButton.get(), e.deleteButton.get(), e.copyButton.get(),
                                              e.copyButton.get(),   e.copyButton.get() };
            auto* button = buttons[action - 11];
            const bool isCopy = button == e.copyButton.get();
            const bool builds = button->isEnabled() && button != e.deleteButton.get() && ! (isCopy && trigger == 16);
            const bool refused = builds && rangeRefused();

            if (button == e.deleteButton.get() && button->isEnabled())
                lines.erase (trigger);

            click (*button);

            EXPECT_EQ (countOpenAlertWindows(), refused ? 1 : 0);
            EXPECT_EQ (alerts.shown().size(), refused ? 1u : 0u);
            refusals += refused ? 1 : 0;
            EXPECT_TRUE (dismissAlertWindows());
            alerts.clear();

            const int target = isCopy && builds && ! refused ? trigger + 1 : trigger;
            EXPECT_EQ (e.triggerComboBox->getSelectedId(), target);
            if (builds && ! refused)
            {
                lines[target] = shownLine (target);
                ++writes;
            }
        }
    }

    // The list holds exactly the lines written, in ascending order above the
    // header; the view shows the list; the buttons fit the selected trigger.
    void expectConsistentFile()
    {
        auto& e = editor;
        juce::String expected;
        for (auto& [trigger, line] : lines)
            expected << line;

        const auto text = e.initLines.joinIntoString ({});
        EXPECT_EQ (text, expected + initfile::headerBlock().joinIntoString ({}));
        EXPECT_EQ (e.initTextEditor->getText(), text.replace ("\r\n", "\n"));

        // "Copy" goes off after a copy at the last trigger.
        const auto buttons = enabledButtons (e);
        EXPECT_TRUE (lines.count (e.triggerComboBox->getSelectedId()) > 0
                         ? buttons == "Update Delete Copy" || buttons == "Update Delete"
                         : buttons == "Add")
            << buttons;
    }

    std::mt19937 rng{ 20240611u };
    std::map<int, juce::String> lines; // what the user wrote, by trigger number
    int writes = 0, refusals = 0, reloads = 0;
};
} // namespace

// Thousands of user actions from a fixed seed, each checked against a model
// of the lines the user has written.
TEST_F (TriggerEditingRandom, RandomUserActionsKeepFileAndWidgetsConsistent)
{
    for (int step = 0; step < 3000 && ! HasFailure(); ++step)
    {
        SCOPED_TRACE ("step " + std::to_string (step));
        act();
        expectConsistentFile();
    }

    // The mix must keep reaching every road, or the run proves little.
    EXPECT_GT (writes, 300);
    EXPECT_GT (refusals, 15);
    EXPECT_GT (reloads, 100);
}
