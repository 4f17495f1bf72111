#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "editor/MainComponent.h"
#include "link/Communicator.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
const juce::String crlf ("\r\n");

const juce::String defaultLine1 = "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ," + crlf;

enum Function
{
    normal = 1,
    next,
    previous,
    randomTrack,
    pausePlayback,
    resume,
    stop,
    volumeUp,
    volumeDn,
    midiBankUp,
    midiBankDn,
    trigBankUp,
    trigBankDn
};

enum Type
{
    edge = 1,
    level,
    latch
};

struct Buttons
{
    bool add, update, del, copy, test;
};

class TriggerEditing : public ::testing::Test
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

    void TearDown() override
    {
        EXPECT_EQ (countOpenAlertWindows(), 0) << "a test left a message box open";
        dismissAlertWindows();
    }

    juce::String view() const { return editor.initTextEditor->getText(); }

    juce::StringArray triggerLines() const
    {
        juce::StringArray lines;
        for (auto& entry : editor.initLines)
            if (initfile::triggerNumberOf (entry) >= 0)
                lines.add (entry);
        return lines;
    }

    // The text view keeps a CR LF as a single line break.
    void expectViewShowsLines() const
    {
        EXPECT_EQ (view(), editor.initLines.joinIntoString ({}).replace ("\r\n", "\n"));
    }

    void expectButtons (Buttons expected) const
    {
        EXPECT_EQ (editor.addButton->isEnabled(), expected.add) << "Add";
        EXPECT_EQ (editor.updateButton->isEnabled(), expected.update) << "Update";
        EXPECT_EQ (editor.deleteButton->isEnabled(), expected.del) << "Delete";
        EXPECT_EQ (editor.copyButton->isEnabled(), expected.copy) << "Copy";
        EXPECT_EQ (editor.testButton->isEnabled(), expected.test) << "Test";
    }

    Buttons buttons() const
    {
        return { editor.addButton->isEnabled(), editor.updateButton->isEnabled(), editor.deleteButton->isEnabled(),
                 editor.copyButton->isEnabled(), editor.testButton->isEnabled() };
    }

    void expectOneTrackRangeError()
    {
        ASSERT_EQ (alerts.shown().size(), 1u);
        const auto& alert = alerts.shown().front();
        EXPECT_EQ (alert.title, "Track Range Error");
        EXPECT_EQ (alert.message,
                   "Track Range values for this Trigger Function type must be set to 1 - 4096, with HIGH >= LOW");
        EXPECT_EQ (alert.icon, juce::MessageBoxIconType::InfoIcon);
        EXPECT_EQ (alert.buttons, juce::StringArray ("OK"));
        EXPECT_EQ (countOpenAlertWindows(), 1);
        EXPECT_TRUE (dismissAlertWindows());
        alerts.clear();
    }

    // Writes a line for the selected trigger with a track-range function.
    void addRangeLine (int trigger, int function, const juce::String& low, const juce::String& high)
    {
        pick (*editor.triggerComboBox, trigger);
        pick (*editor.functionBox, function);
        typeInto (*editor.lowText, low);
        typeInto (*editor.highText, high);
        click (*editor.addButton);
    }

    AlertRecorder alerts; // before the editor: the default look-and-feel while it lives
    MainComponent editor;
};
} // namespace

TEST_F (TriggerEditing, AddWritesTheDefaultLineAboveTheHeader)
{
    expectButtons ({ true, false, false, false, false });

    click (*editor.addButton);

    ASSERT_EQ (editor.initLines.size(), 8);
    EXPECT_EQ (editor.initLines[0], defaultLine1);
    EXPECT_EQ (editor.initLines[1], juce::String::repeatedString ("*", 68));
    expectViewShowsLines();
    expectButtons ({ false, true, true, true, false });

    // A disabled "Add" ignores a further click.
    click (*editor.addButton);
    EXPECT_EQ (editor.initLines.size(), 8);
}

TEST_F (TriggerEditing, TriggerLinesStandInAscendingOrder)
{
    for (int trigger : { 5, 2, 9, 16, 1 })
    {
        pick (*editor.triggerComboBox, trigger);
        click (*editor.addButton);
    }

    const auto lines = triggerLines();
    ASSERT_EQ (lines.size(), 5);
    EXPECT_TRUE (lines[0].startsWith ("#TRIG 01,"));
    EXPECT_TRUE (lines[1].startsWith ("#TRIG 02,"));
    EXPECT_TRUE (lines[2].startsWith ("#TRIG 05,"));
    EXPECT_TRUE (lines[3].startsWith ("#TRIG 09,"));
    EXPECT_TRUE (lines[4].startsWith ("#TRIG 16,"));
    EXPECT_EQ (editor.initLines.indexOf (juce::String::repeatedString ("*", 68)), 5);
    expectViewShowsLines();
}

TEST_F (TriggerEditing, FunctionRuleFollowsItsTable)
{
    struct Row
    {
        int function;
        const char* low;
        const char* high;
        bool rangeEnabled, playsTracks, typeEnabled;
    };

    const Row table[] = {
        { normal, "", "", false, true, true },
        { next, "1", "16", true, true, true },
        { previous, "1", "16", true, true, true },
        { randomTrack, "1", "16", true, true, true },
        { pausePlayback, "1", "16", true, false, true },
        { resume, "1", "16", true, false, true },
        { stop, "1", "16", true, false, true },
        { volumeUp, "", "", false, false, false },
        { volumeDn, "", "", false, false, false },
    };

    for (auto& row : table)
    {
        SCOPED_TRACE (row.function);

        // Start from a typed range, Re-Triggers off and a trigger volume, all
        // of which the rule must replace.
        pick (*editor.functionBox, row.function == next ? previous : next);
        typeInto (*editor.lowText, "77");
        click (*editor.retriggerToggleButton);
        drag (*editor.trigVolumeSlider, -9);

        pick (*editor.functionBox, row.function);

        EXPECT_EQ (editor.lowText->getText(), row.low);
        EXPECT_EQ (editor.highText->getText(), row.high);
        EXPECT_EQ (editor.lowText->isEnabled(), row.rangeEnabled);
        EXPECT_EQ (editor.highText->isEnabled(), row.rangeEnabled);
        EXPECT_EQ (editor.retriggerToggleButton->getToggleState(), row.playsTracks);
        EXPECT_EQ (editor.retriggerToggleButton->isEnabled(), row.playsTracks);
        EXPECT_EQ (editor.polyToggle->getToggleState(), row.playsTracks);
        EXPECT_EQ (editor.polyToggle->isEnabled(), row.playsTracks);
        EXPECT_EQ (editor.typeBox->getSelectedId(), (int) edge);
        EXPECT_EQ (editor.typeBox->isEnabled(), row.typeEnabled);
        EXPECT_EQ (editor.trigVolumeSlider->getValue(), 0.0);
        EXPECT_EQ (editor.trigVolumeSlider->isEnabled(), row.playsTracks);
    }

    // A bank function leaves every other widget as it was.
    pick (*editor.functionBox, stop);
    typeInto (*editor.lowText, "3");
    pick (*editor.typeBox, latch);
    click (*editor.lockToggle);

    auto triggerWidgets = [this]
    {
        juce::StringArray state;
        for (auto* field : { editor.lowText.get(), editor.highText.get() })
            state.add (field->getText() + (field->isEnabled() ? " on" : " off"));
        for (auto* toggle : { editor.retriggerToggleButton.get(), editor.loopToggleButton.get(),
                              editor.lockToggle.get(), editor.polyToggle.get(), editor.invertToggle.get() })
            state.add (juce::String ((int) toggle->getToggleState()) + (toggle->isEnabled() ? " on" : " off"));
        state.add (juce::String (editor.typeBox->getSelectedId()) + (editor.typeBox->isEnabled() ? " on" : " off"));
        state.add (juce::String (editor.trigVolumeSlider->getValue())
                   + (editor.trigVolumeSlider->isEnabled() ? " on" : " off"));
        return state;
    };
    const auto before = triggerWidgets();

    for (int function : { midiBankUp, midiBankDn, trigBankUp, trigBankDn })
    {
        pick (*editor.functionBox, function);
        EXPECT_EQ (triggerWidgets(), before) << function;
    }

    // None of this wrote a line.
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
}

TEST_F (TriggerEditing, TypeRuleRunsAfterTheFunctionRuleHasReturned)
{
    // "Pause" while the type already is "Edge": no type rule follows.
    click (*editor.loopToggleButton);
    pick (*editor.functionBox, pausePlayback);
    EXPECT_FALSE (editor.retriggerToggleButton->getToggleState());
    EXPECT_FALSE (editor.retriggerToggleButton->isEnabled());
    EXPECT_TRUE (editor.loopToggleButton->getToggleState());

    // "Pause" while the type is "Level": the deferred type rule for "Edge"
    // switches Re-Triggers back on.
    pick (*editor.functionBox, normal);
    pick (*editor.typeBox, level);
    EXPECT_FALSE (editor.retriggerToggleButton->isEnabled());
    EXPECT_FALSE (editor.loopToggleButton->isEnabled());

    editor.functionBox->setSelectedId (pausePlayback, juce::sendNotificationSync);
    EXPECT_FALSE (editor.retriggerToggleButton->getToggleState()) << "the type rule must not run inside";
    deliverPendingMessages();

    EXPECT_EQ (editor.typeBox->getSelectedId(), (int) edge);
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_TRUE (editor.retriggerToggleButton->isEnabled());
    EXPECT_FALSE (editor.loopToggleButton->getToggleState());
    EXPECT_TRUE (editor.loopToggleButton->isEnabled());
}

TEST_F (TriggerEditing, TypeAndInterfaceRules)
{
    pick (*editor.typeBox, latch);
    EXPECT_TRUE (editor.retriggerToggleButton->isEnabled());
    EXPECT_FALSE (editor.retriggerToggleButton->getToggleState());
    EXPECT_FALSE (editor.loopToggleButton->isEnabled());

    pick (*editor.typeBox, edge);
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_TRUE (editor.loopToggleButton->isEnabled());
    EXPECT_FALSE (editor.loopToggleButton->getToggleState());

    pick (*editor.interfaceComboBox, 2);
    EXPECT_TRUE (editor.invertToggle->getToggleState());
    click (*editor.invertToggle); // still the user's to change
    EXPECT_FALSE (editor.invertToggle->getToggleState());
    click (*editor.invertToggle);
    pick (*editor.interfaceComboBox, 1);
    EXPECT_FALSE (editor.invertToggle->getToggleState());
    EXPECT_TRUE (editor.invertToggle->isEnabled());
}

TEST_F (TriggerEditing, RefusedRangeOnAddShowsTheBoxAndWritesNothing)
{
    const auto viewBefore = view();

    struct Case
    {
        const char* low;
        const char* high;
    };
    for (auto c : { Case { "1", "" }, Case { "10", "5" }, Case { "5000", "5000" }, Case { "1", "9999" },
                    Case { "", "16" }, Case { "0", "16" } })
    {
        SCOPED_TRACE (juce::String (c.low) + " " + c.high);
        pick (*editor.functionBox, normal);
        pick (*editor.functionBox, next);
        typeInto (*editor.lowText, c.low);
        typeInto (*editor.highText, c.high);

        click (*editor.addButton);

        expectOneTrackRangeError();
        EXPECT_EQ (editor.initLines, initfile::headerBlock());
        EXPECT_EQ (view(), viewBefore);
        expectButtons ({ true, false, false, false, false });
        EXPECT_EQ (editor.lowText->getText(), c.low);
        EXPECT_EQ (editor.highText->getText(), c.high);
    }
}

TEST_F (TriggerEditing, BuiltLinesCarryTheWidgetsValues)
{
    pick (*editor.triggerComboBox, 2);
    pick (*editor.functionBox, stop);
    click (*editor.retriggerToggleButton); // disabled by "Stop": ignored
    typeInto (*editor.lowText, "5");
    typeInto (*editor.highText, "5");
    click (*editor.addButton);
    EXPECT_EQ (triggerLines(), juce::StringArray ("#TRIG 02, 1, 0, 1, 0, 0, 7, 0, 5, 5" + crlf));

    pick (*editor.triggerComboBox, 12);
    pick (*editor.interfaceComboBox, 2);
    click (*editor.invertToggle);
    pick (*editor.functionBox, next);
    click (*editor.retriggerToggleButton);
    click (*editor.loopToggleButton);
    click (*editor.polyToggle);
    drag (*editor.trigVolumeSlider, -6);
    click (*editor.addButton);
    EXPECT_EQ (triggerLines()[1], "#TRIG 12, 2, 0, 1, 2, 0, 2, -6, 1, 16" + crlf);

    pick (*editor.triggerComboBox, 13);
    drag (*editor.trigVolumeSlider, -7);
    click (*editor.lockToggle);
    click (*editor.addButton);
    EXPECT_EQ (triggerLines()[2], "#TRIG 13, 1, 0, 1, 5, 1, 1, -7, ," + crlf);
    expectViewShowsLines();
}

TEST_F (TriggerEditing, SelectingATriggerLoadsItsLineOrTheDefaults)
{
    click (*editor.lockToggle);
    pick (*editor.functionBox, randomTrack);
    typeInto (*editor.highText, "300");
    click (*editor.addButton);
    const auto line1 = editor.initLines[0];

    // Another trigger without a line starts from the defaults.
    pick (*editor.triggerComboBox, 7);
    EXPECT_FALSE (editor.lockToggle->getToggleState());
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) normal);
    expectButtons ({ true, false, false, false, false });

    // Unwritten edits of trigger 7 are dropped; trigger 1 comes back as written.
    pick (*editor.typeBox, latch);
    pick (*editor.triggerComboBox, 1);
    EXPECT_TRUE (editor.lockToggle->getToggleState());
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) randomTrack);
    EXPECT_EQ (editor.lowText->getText(), "1");
    EXPECT_EQ (editor.highText->getText(), "300");
    EXPECT_EQ (editor.typeBox->getSelectedId(), (int) edge);
    expectButtons ({ false, true, true, true, false });

    // Picking the trigger already selected keeps edits.
    pick (*editor.interfaceComboBox, 2);
    pick (*editor.triggerComboBox, 1);
    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 2);
    EXPECT_EQ (editor.initLines[0], line1);
}

TEST_F (TriggerEditing, LoadedLinesSetValuesAndTheirOwnEnablement)
{
    editor.initLines.insert (0, "#TRIG 16, 2, 1, 3, 7, 0, 4, -20, 100, 200" + crlf);
    editor.initLines.insert (0, "#TRIG 03, 9, 0, 0, 1, 1, 99, 30, , " + crlf);
    editor.initLines.insert (0, "#TRIG 04, 1, 0, 2, 1, 1, 1, 0, ," + crlf);
    editor.initLines.insert (0, "#TRIG 05,1,0,3,0,0,8,5" + crlf);
    editor.initLines.insert (0, "#TRIG 06, 1, 0, 3, 6, 1, 12, 4, 9, 9" + crlf);

    pick (*editor.triggerComboBox, 16);
    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 2);
    EXPECT_TRUE (editor.invertToggle->getToggleState());
    EXPECT_EQ (editor.typeBox->getSelectedId(), (int) latch);
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_TRUE (editor.loopToggleButton->getToggleState());
    EXPECT_TRUE (editor.lockToggle->getToggleState());
    EXPECT_FALSE (editor.polyToggle->getToggleState());
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) randomTrack);
    EXPECT_EQ (editor.trigVolumeSlider->getValue(), -20.0);
    EXPECT_EQ (editor.lowText->getText(), "100");
    EXPECT_EQ (editor.highText->getText(), "200");
    EXPECT_TRUE (editor.retriggerToggleButton->isEnabled());
    EXPECT_TRUE (editor.polyToggle->isEnabled());
    EXPECT_TRUE (editor.lowText->isEnabled());
    EXPECT_TRUE (editor.loopToggleButton->isEnabled()); // unlike after picking "Latch"
    EXPECT_FALSE (editor.trigVolumeSlider->isEnabled());
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 16);
    expectButtons ({ false, true, true, true, false });

    // Out-of-range fields keep the defaults; "Normal" leaves the range editable.
    pick (*editor.triggerComboBox, 3);
    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 1);
    EXPECT_EQ (editor.typeBox->getSelectedId(), (int) edge);
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) normal);
    EXPECT_EQ (editor.trigVolumeSlider->getValue(), 0.0);
    EXPECT_EQ (editor.lowText->getText(), "");
    EXPECT_TRUE (editor.lowText->isEnabled());
    EXPECT_TRUE (editor.highText->isEnabled());

    // "Level" with flags 1: Re-Triggers stays on although disabled, and an
    // update writes it back unchanged.
    pick (*editor.triggerComboBox, 4);
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_FALSE (editor.retriggerToggleButton->isEnabled());
    click (*editor.updateButton);
    EXPECT_EQ (editor.initLines[editor.findTriggerLine (4)], "#TRIG 04, 1, 0, 2, 1, 1, 1, 0, ," + crlf);

    // A line without blanks is one token: only the trigger number is read.
    pick (*editor.triggerComboBox, 5);
    EXPECT_EQ (editor.typeBox->getSelectedId(), (int) edge);
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) normal);
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_TRUE (editor.polyToggle->getToggleState());
    EXPECT_TRUE (editor.trigVolumeSlider->isEnabled());
    expectButtons ({ false, true, true, true, false });

    // A bank function leaves nothing but the type box and "Loop" editable.
    pick (*editor.triggerComboBox, 6);
    EXPECT_FALSE (editor.retriggerToggleButton->isEnabled());
    EXPECT_FALSE (editor.polyToggle->isEnabled());
    EXPECT_FALSE (editor.lowText->isEnabled());
    EXPECT_FALSE (editor.trigVolumeSlider->isEnabled());
    EXPECT_TRUE (editor.typeBox->isEnabled());
    EXPECT_EQ (editor.lowText->getText(), "9");

    // A typed range under a function without one is emptied by the build.
    pick (*editor.triggerComboBox, 3);
    typeInto (*editor.lowText, "12");
    pick (*editor.functionBox, trigBankUp);
    click (*editor.updateButton);
    EXPECT_EQ (editor.initLines[editor.findTriggerLine (3)], "#TRIG 03, 1, 0, 1, 1, 1, 12, 0, ," + crlf);
    EXPECT_EQ (editor.lowText->getText(), "");
    EXPECT_EQ (editor.highText->getText(), "");
    expectViewShowsLines();
}

TEST_F (TriggerEditing, UpdateReplacesTheLineInPlace)
{
    addRangeLine (3, next, "1", "16");
    addRangeLine (8, stop, "2", "3");
    pick (*editor.triggerComboBox, 3);

    typeInto (*editor.highText, "40");
    click (*editor.updateButton);

    const auto lines = triggerLines();
    ASSERT_EQ (lines.size(), 2);
    EXPECT_EQ (lines[0], "#TRIG 03, 1, 0, 1, 1, 1, 2, 0, 1, 40" + crlf);
    EXPECT_TRUE (lines[1].startsWith ("#TRIG 08,"));
    expectViewShowsLines();
    expectButtons ({ false, true, true, true, false });
}

TEST_F (TriggerEditing, RefusedRangeOnUpdateKeepsTheSavedLine)
{
    addRangeLine (3, next, "1", "16");
    const auto linesBefore = editor.initLines;
    const auto viewBefore = view();
    const auto buttonsBefore = buttons();

    typeInto (*editor.highText, "");
    click (*editor.updateButton);

    expectOneTrackRangeError();
    EXPECT_EQ (editor.initLines, linesBefore);
    EXPECT_EQ (view(), viewBefore);
    expectButtons (buttonsBefore);

    // Corrected, the same "Update" replaces the line.
    typeInto (*editor.highText, "9");
    click (*editor.updateButton);
    EXPECT_EQ (triggerLines(), juce::StringArray ("#TRIG 03, 1, 0, 1, 1, 1, 2, 0, 1, 9" + crlf));
    expectViewShowsLines();
}

TEST_F (TriggerEditing, CopyWritesTheWidgetsToTheNextTrigger)
{
    pick (*editor.triggerComboBox, 3);
    click (*editor.addButton);
    const auto line3 = editor.initLines[0];

    // Edits not yet written go to trigger 4 only.
    pick (*editor.functionBox, previous);
    typeInto (*editor.lowText, "7");
    click (*editor.copyButton);
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 4);
    click (*editor.copyButton);
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 5);

    const auto lines = triggerLines();
    ASSERT_EQ (lines.size(), 3);
    EXPECT_EQ (lines[0], line3);
    EXPECT_EQ (lines[1], "#TRIG 04, 1, 0, 1, 1, 1, 3, 0, 7, 16" + crlf);
    EXPECT_EQ (lines[2], "#TRIG 05, 1, 0, 1, 1, 1, 3, 0, 7, 16" + crlf);
    expectViewShowsLines();
    expectButtons ({ false, true, true, true, false });

    // An existing line of the next trigger is replaced, not doubled.
    pick (*editor.triggerComboBox, 4);
    pick (*editor.interfaceComboBox, 2);
    click (*editor.copyButton);
    EXPECT_EQ (triggerLines().size(), 3);
    EXPECT_EQ (triggerLines()[2], "#TRIG 05, 2, 1, 1, 1, 1, 3, 0, 7, 16" + crlf);
}

TEST_F (TriggerEditing, CopyStopsAtTheLastTrigger)
{
    pick (*editor.triggerComboBox, 15);
    click (*editor.addButton);
    click (*editor.copyButton);

    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 16);
    EXPECT_TRUE (triggerLines()[1].startsWith ("#TRIG 16,"));
    expectButtons ({ false, true, true, true, false });

    const auto linesBefore = editor.initLines;
    click (*editor.copyButton);
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 16);
    EXPECT_EQ (editor.initLines, linesBefore);
    expectButtons ({ false, true, true, false, false });
}

TEST_F (TriggerEditing, RefusedRangeOnCopyChangesNothing)
{
    pick (*editor.triggerComboBox, 4);
    click (*editor.addButton);
    addRangeLine (3, stop, "6", "8");
    pick (*editor.triggerComboBox, 15);
    click (*editor.addButton);
    pick (*editor.triggerComboBox, 3);

    const auto linesBefore = editor.initLines;
    const auto viewBefore = view();
    const auto buttonsBefore = buttons();

    typeInto (*editor.lowText, "9");
    click (*editor.copyButton);

    expectOneTrackRangeError();
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 3);
    EXPECT_EQ (editor.initLines, linesBefore);
    EXPECT_EQ (view(), viewBefore);
    expectButtons (buttonsBefore);
    EXPECT_EQ (editor.lowText->getText(), "9");

    // Nor does it at trigger 15, where a copy would have reached the last one.
    pick (*editor.triggerComboBox, 15);
    pick (*editor.functionBox, resume);
    typeInto (*editor.highText, "0");
    click (*editor.copyButton);

    expectOneTrackRangeError();
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 15);
    EXPECT_EQ (editor.initLines, linesBefore);
    expectButtons ({ false, true, true, true, false });
}

TEST_F (TriggerEditing, DeleteKeepsTheWidgetsSoAddWritesTheSameLine)
{
    addRangeLine (6, resume, "20", "30");
    const auto line = triggerLines()[0];

    click (*editor.deleteButton);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    expectViewShowsLines();
    expectButtons ({ true, false, false, false, false });
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) resume);

    click (*editor.addButton);
    EXPECT_EQ (triggerLines(), juce::StringArray (line));
}

TEST_F (TriggerEditing, ResetReturnsTheWidgetsOnly)
{
    addRangeLine (2, pausePlayback, "3", "4");
    pick (*editor.interfaceComboBox, 2);
    click (*editor.lockToggle);
    const auto linesBefore = editor.initLines;

    click (*editor.resetButton);

    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 1);
    EXPECT_EQ (editor.functionBox->getSelectedId(), (int) normal);
    EXPECT_FALSE (editor.invertToggle->getToggleState());
    EXPECT_FALSE (editor.lockToggle->getToggleState());
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_TRUE (editor.polyToggle->isEnabled());
    EXPECT_EQ (editor.lowText->getText(), "");
    EXPECT_FALSE (editor.lowText->isEnabled());
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 2);
    EXPECT_EQ (editor.initLines, linesBefore);
    expectButtons ({ false, true, true, true, false });
}

TEST_F (TriggerEditing, OnlyTheFirst128EntriesCount)
{
    // As a long opened file can have it: trigger 5's line past the limit.
    editor.initLines.clear();
    for (int i = 0; i < 128; ++i)
        editor.initLines.add ("; comment " + juce::String (i) + crlf);
    editor.initLines.add ("#TRIG 05, 2, 0, 1, 1, 1, 1, 0, ," + crlf);
    editor.initLines.addArray (initfile::headerBlock());
    editor.refreshInitText();

    pick (*editor.triggerComboBox, 5);
    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 1);
    expectButtons ({ true, false, false, false, false });

    click (*editor.addButton);
    EXPECT_EQ (editor.findTriggerLine (5), 128);
    EXPECT_EQ (editor.initLines[129], "#TRIG 05, 1, 0, 1, 1, 1, 1, 0, ," + crlf);
    expectButtons ({ false, true, true, true, false });

    // "Delete" finds nothing within the limit.
    const auto linesBefore = editor.initLines;
    click (*editor.deleteButton);
    EXPECT_EQ (editor.initLines, linesBefore);
    expectButtons ({ false, true, true, true, false });
}

TEST_F (TriggerEditing, TestFollowsTheOpenPort)
{
    click (*editor.addButton);
    EXPECT_FALSE (editor.testButton->isEnabled());

    // Without an open port a line leaves "Test" as it was.
    editor.testButton->setEnabled (true);
    pick (*editor.triggerComboBox, 2);
    EXPECT_FALSE (editor.testButton->isEnabled());
    editor.testButton->setEnabled (true);
    click (*editor.addButton);
    EXPECT_TRUE (editor.testButton->isEnabled());

    editor.comPortOpen = true;
    pick (*editor.triggerComboBox, 3);
    EXPECT_FALSE (editor.testButton->isEnabled());
    click (*editor.addButton);
    EXPECT_TRUE (editor.testButton->isEnabled());
    click (*editor.deleteButton);
    EXPECT_FALSE (editor.testButton->isEnabled());
    pick (*editor.triggerComboBox, 1);
    EXPECT_TRUE (editor.testButton->isEnabled());
}
