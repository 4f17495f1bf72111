#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "editor/MainComponent.h"
#include "link/Communicator.h"
#include "support/EditorDriver.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

using namespace testsupport;

namespace
{
// A trigger's settings as the widgets show them, the track range only where
// the function has one.
struct Values
{
    int interfaceId = 1, invert = 0, typeId = 1, flags = 1, polyphonic = 1, functionId = 1, volumeDb = 0;
    int lowTrack = 0, highTrack = 0;

    bool operator== (const Values& o) const
    {
        return interfaceId == o.interfaceId && invert == o.invert && typeId == o.typeId && flags == o.flags
               && polyphonic == o.polyphonic && functionId == o.functionId && volumeDb == o.volumeDb
               && lowTrack == o.lowTrack && highTrack == o.highTrack;
    }

    juce::String describe() const
    {
        return juce::StringArray { juce::String (interfaceId), juce::String (invert), juce::String (typeId),
                                   juce::String (flags), juce::String (polyphonic), juce::String (functionId),
                                   juce::String (volumeDb), juce::String (lowTrack), juce::String (highTrack) }
            .joinIntoString (" ");
    }
};

bool hasTrackRange (int functionId)
{
    return functionId >= 2 && functionId <= 7;
}

Values shownValues (const MainComponent& e)
{
    Values v;
    v.interfaceId = e.interfaceComboBox->getSelectedId();
    v.invert = e.invertToggle->getToggleState() ? 1 : 0;
    v.typeId = e.typeBox->getSelectedId();
    v.flags = (e.retriggerToggleButton->getToggleState() ? 1 : 0) + (e.loopToggleButton->getToggleState() ? 2 : 0)
              + (e.lockToggle->getToggleState() ? 4 : 0);
    v.polyphonic = e.polyToggle->getToggleState() ? 1 : 0;
    v.functionId = e.functionBox->getSelectedId();
    v.volumeDb = (int) e.trigVolumeSlider->getValue();

    if (hasTrackRange (v.functionId))
    {
        v.lowTrack = std::atoi (e.lowText->getText().toRawUTF8());
        v.highTrack = std::atoi (e.highText->getText().toRawUTF8());
    }

    return v;
}

bool canBeWritten (const Values& v)
{
    return ! hasTrackRange (v.functionId)
           || (v.lowTrack >= 1 && v.lowTrack <= 4096 && v.highTrack >= v.lowTrack && v.highTrack <= 4096);
}

juce::String expectedLine (int trigger, const Values& v)
{
    juce::String line = "#TRIG " + juce::String (trigger).paddedLeft ('0', 2);

    for (int field : { v.interfaceId, v.invert, v.typeId, v.flags, v.polyphonic, v.functionId, v.volumeDb })
        line += ", " + juce::String (field);

    line += hasTrackRange (v.functionId) ? ", " + juce::String (v.lowTrack) + ", " + juce::String (v.highTrack)
                                         : juce::String (", ,");
    return line + "\r\n";
}

class TriggerEditingRandom : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The editor opens the first COM port it finds; these tests want none,
        // whatever the machine has, so "Test" stays off unless a test says so.
        editor.communicator->disconnect();
        editor.comPortOpen = false;
        deliverPendingMessages();
    }

    int random (int lowest, int highest) { return std::uniform_int_distribution<int> (lowest, highest) (rng); }

    juce::String randomTrackText()
    {
        switch (random (0, 9))
        {
            case 0:
                return {};
            case 1:
                return "0";
            case 2:
                return juce::String (random (4000, 9999));
            default:
                return juce::String (random (1, 60));
        }
    }

    // Changes one trigger widget that a user could change now.
    void changeAWidget()
    {
        auto& e = editor;

        switch (random (0, 9))
        {
            case 0:
            case 1:
                if (e.functionBox->isEnabled())
                    pick (*e.functionBox, random (1, 13));
                break;
            case 2:
                if (e.typeBox->isEnabled())
                    pick (*e.typeBox, random (1, 3));
                break;
            case 3:
                pick (*e.interfaceComboBox, random (1, 2));
                break;
            case 4:
            {
                juce::Button* toggles[] = { e.invertToggle.get(), e.retriggerToggleButton.get(),
                                            e.loopToggleButton.get(), e.lockToggle.get(), e.polyToggle.get() };
                click (*toggles[random (0, 4)]);
                break;
            }
            case 5:
                if (e.trigVolumeSlider->isEnabled())
                    drag (*e.trigVolumeSlider, random (-20, 10));
                break;
            default:
            {
                auto& field = random (0, 1) == 0 ? *e.lowText : *e.highText;
                if (field.isEnabled())
                    typeInto (field, randomTrackText());
                break;
            }
        }
    }

    void expectAlertOnlyIf (bool refused)
    {
        EXPECT_EQ (countOpenAlertWindows(), refused ? 1 : 0);
        EXPECT_EQ (alerts.shown().size(), refused ? 1u : 0u);
        if (refused)
        {
            EXPECT_TRUE (dismissAlertWindows());
            ++refusals;
        }
        alerts.clear();
    }

    // One user action, and what it must have done to the saved lines.
    void act()
    {
        auto& e = editor;
        const int trigger = e.triggerComboBox->getSelectedId();
        const auto values = shownValues (e);
        const bool buildable = canBeWritten (values);
        const int action = random (0, 19);

        if (action < 3)
        {
            const int next = random (1, 16);
            pick (*e.triggerComboBox, next);

            if (next != trigger)
            {
                const auto saved = lines.find (next);
                reloads += saved != lines.end() ? 1 : 0;
                const Values expected = saved != lines.end() ? saved->second : Values();
                EXPECT_EQ (shownValues (e), expected)
                    << "trigger " << next << " shows " << shownValues (e).describe() << " instead of "
                    << expected.describe();
            }
        }
        else if (action < 11)
        {
            changeAWidget();
        }
        else if (action < 13)
        {
            const bool enabled = e.addButton->isEnabled();
            click (*e.addButton);
            expectAlertOnlyIf (enabled && ! buildable);
            if (enabled && buildable)
                written (trigger);
        }
        else if (action < 15)
        {
            const bool enabled = e.updateButton->isEnabled();
            click (*e.updateButton);
            expectAlertOnlyIf (enabled && ! buildable);
            if (enabled && buildable)
                written (trigger);
        }
        else if (action < 16)
        {
            const bool enabled = e.deleteButton->isEnabled();
            click (*e.deleteButton);
            if (enabled)
                lines.erase (trigger);
        }
        else if (action < 19)
        {
            const bool enabled = e.copyButton->isEnabled();
            click (*e.copyButton);

            const bool copies = enabled && trigger < 16;
            expectAlertOnlyIf (copies && ! buildable);
            EXPECT_EQ (e.triggerComboBox->getSelectedId(), copies && buildable ? trigger + 1 : trigger);
            if (copies && buildable)
                written (trigger + 1);
        }
        else
        {
            click (*e.resetButton);
            EXPECT_EQ (shownValues (e), Values());
        }
    }

    void written (int trigger)
    {
        lines[trigger] = shownValues (editor);
        ++writes;
    }

    void expectConsistentFile()
    {
        auto& e = editor;
        const auto header = initfile::headerBlock();
        const int headerStart = e.initLines.size() - header.size();

        EXPECT_EQ (e.initTextEditor->getText(), e.initLines.joinIntoString ({}).replace ("\r\n", "\n"));

        ASSERT_GE (headerStart, 0);
        for (int i = 0; i < header.size(); ++i)
            EXPECT_EQ (e.initLines[headerStart + i], header[i]);

        // Exactly the lines the actions wrote, in ascending order, above the header.
        juce::StringArray expected;
        for (auto& [trigger, values] : lines)
            expected.add (expectedLine (trigger, values));

        juce::StringArray actual;
        for (int i = 0; i < headerStart; ++i)
            actual.add (e.initLines[i]);

        EXPECT_EQ (actual, expected);

        const bool present = lines.count (e.triggerComboBox->getSelectedId()) > 0;
        EXPECT_EQ (e.addButton->isEnabled(), ! present);
        EXPECT_EQ (e.updateButton->isEnabled(), present);
        EXPECT_EQ (e.deleteButton->isEnabled(), present);
        EXPECT_TRUE (present || ! e.copyButton->isEnabled());
        EXPECT_FALSE (e.testButton->isEnabled());
    }

    std::mt19937 rng { 20240611u };
    std::map<int, Values> lines; // what the user wrote, by trigger number
    int writes = 0, refusals = 0, reloads = 0;

    AlertRecorder alerts;
    MainComponent editor;
};
} // namespace

TEST_F (TriggerEditingRandom, RandomUserActionsKeepFileAndWidgetsConsistent)
{
    constexpr int numActions = 3000;

    for (int step = 0; step < numActions && ! HasFailure(); ++step)
    {
        SCOPED_TRACE ("step " + std::to_string (step));
        act();
        expectConsistentFile();
    }

    EXPECT_EQ (countOpenAlertWindows(), 0);

    // The mix must keep reaching every road, or the run proves little.
    EXPECT_GT (writes, 300);
    EXPECT_GT (refusals, 15);
    EXPECT_GT (reloads, 100);
    std::printf ("%d lines written, %d refused, %d reloaded\n", writes, refusals, reloads);
}
