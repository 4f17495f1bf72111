#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
const juce::String crlf ("\r\n");

constexpr int normal = 1, next = 2, previous = 3, randomTrack = 4, pausePlayback = 5, resume = 6, stop = 7;
constexpr int volumeUp = 8, volumeDn = 9, midiBankUp = 10, midiBankDn = 11, trigBankUp = 12, trigBankDn = 13;
constexpr int edge = 1, level = 2, latch = 3;

const juce::String defaults = "1 0 1 1 0 0 1 1 0 []- []-";

class TriggerEditing : public EditorTest
{
protected:
    // The trigger lines in list order, once the view is seen to show the list.
    juce::String triggerLines() const
    {
        EXPECT_EQ (editor.initTextEditor->getText(), editor.initLines.joinIntoString ({}).replace (crlf, "\n"));
        juce::String lines;
        for (auto& entry : editor.initLines)
            if (initfile::triggerNumberOf (entry) >= 0)
                lines << entry;
        return lines;
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

    void addLine (int trigger, int function = normal, const juce::String& low = {}, const juce::String& high = {})
    {
        pick (*editor.triggerComboBox, trigger);
        pick (*editor.functionBox, function);
        typeInto (*editor.lowText, low);
        typeInto (*editor.highText, high);
        click (*editor.addButton);
    }
};
} // namespace

TEST_F (TriggerEditing, FunctionRuleFollowsItsTable)
{
    const std::pair<int, const char*> table[] = {
        { normal, "1 0 1 1 0 0 1 1 0 []- []-" },
        { next, "1 0 1 1 0 0 1 2 0 [1] [16]" },
        { previous, "1 0 1 1 0 0 1 3 0 [1] [16]" },
        { randomTrack, "1 0 1 1 0 0 1 4 0 [1] [16]" },
        { pausePlayback, "1 0 1 0- 0 0 0- 5 0- [1] [16]" },
        { resume, "1 0 1 0- 0 0 0- 6 0- [1] [16]" },
        { stop, "1 0 1 0- 0 0 0- 7 0- [1] [16]" },
        { volumeUp, "1 0 1- 0- 0 0 0- 8 0- []- []-" },
        { volumeDn, "1 0 1- 0- 0 0 0- 9 0- []- []-" },
    };

    for (auto& [function, expected] : table)
    {
        // A typed range, Re-Triggers off and a trigger volume, all of which the rule replaces.
        pick (*editor.functionBox, function == next ? previous : next);
        typeInto (*editor.lowText, "77");
        click (*editor.retriggerToggleButton);
        drag (*editor.trigVolumeSlider, -9);

        pick (*editor.functionBox, function);
        EXPECT_EQ (triggerWidgets (editor), expected) << function;
    }

    // A bank function leaves every other widget as it was.
    pick (*editor.functionBox, stop);
    typeInto (*editor.lowText, "3");
    pick (*editor.typeBox, latch);
    click (*editor.lockToggle);

    for (int function : { midiBankUp, midiBankDn, trigBankUp, trigBankDn })
    {
        pick (*editor.functionBox, function);
        EXPECT_EQ (triggerWidgets (editor), "1 0 3 0 0- 1 0- " + juce::String (function) + " 0- [3] [16]");
    }
    EXPECT_EQ (editor.initLines, initfile::headerBlock()) << "none of this wrote a line";
}

TEST_F (TriggerEditing, TypeAndInterfaceRules)
{
    pick (*editor.typeBox, latch);
    EXPECT_EQ (triggerWidgets (editor), "1 0 3 0 0- 0 1 1 0 []- []-");
    pick (*editor.typeBox, edge);
    EXPECT_EQ (triggerWidgets (editor), defaults);

    // Active interfaces invert, and the toggle stays the user's to change.
    pick (*editor.interfaceComboBox, 2);
    EXPECT_EQ (triggerWidgets (editor), "2 1 1 1 0 0 1 1 0 []- []-");
    click (*editor.invertToggle);
    click (*editor.invertToggle);
    pick (*editor.interfaceComboBox, 1);
    EXPECT_EQ (triggerWidgets (editor), defaults);

    // "Pause" while the type already is "Edge": no type rule follows, "Loop" stays.
    click (*editor.loopToggleButton);
    pick (*editor.functionBox, pausePlayback);
    EXPECT_EQ (triggerWidgets (editor), "1 0 1 0- 1 0 0- 5 0- [1] [16]");

    // "Pause" while the type is "Level": the type rule for "Edge" follows, but
    // only after the function rule has returned.
    pick (*editor.functionBox, normal);
    pick (*editor.typeBox, level);
    editor.functionBox->setSelectedId (pausePlayback, juce::sendNotificationSync);
    EXPECT_FALSE (editor.retriggerToggleButton->getToggleState()) << "the type rule must not run inside";
    deliverPendingMessages();
    EXPECT_EQ (triggerWidgets (editor), "1 0 1 1 0 0 0- 5 0- [1] [16]");
}

TEST_F (TriggerEditing, LinesShowTheirValuesWithTheirOwnEnablement)
{
    for (auto* line :
         { "#TRIG 06, 1, 0, 3, 6, 1, 12, 4, 9, 9", "#TRIG 05,1,0,3,0,0,8,5", "#TRIG 04, 1, 0, 2, 1, 1, 1, 0, ,",
           "#TRIG 03, 9, 0, 0, 1, 1, 99, 30, , ", "#TRIG 16, 2, 1, 3, 7, 0, 4, -20, 100, 200" })
        editor.initLines.insert (0, line + crlf);

    // "Loop" stays editable, unlike after picking "Latch"; the volume does not.
    pick (*editor.triggerComboBox, 16);
    EXPECT_EQ (triggerWidgets (editor), "2 1 3 1 1 1 0 4 -20- [100] [200]");
    EXPECT_EQ (enabledButtons (editor), "Update Delete Copy");

    // Out-of-range fields keep the defaults; "Normal" leaves the range editable.
    pick (*editor.triggerComboBox, 3);
    EXPECT_EQ (triggerWidgets (editor), "1 0 1 1 0 0 1 1 0 [] []");

    // "Level" with flags 1: Re-Triggers stays on although disabled, and an
    // update writes it back unchanged.
    pick (*editor.triggerComboBox, 4);
    EXPECT_EQ (triggerWidgets (editor), "1 0 2 1- 0 0 1 1 0 [] []");
    click (*editor.updateButton);
    EXPECT_EQ (editor.initLines[editor.findTriggerLine (4)], "#TRIG 04, 1, 0, 2, 1, 1, 1, 0, ," + crlf);

    // A line without blanks is one token: only the trigger number is read.
    pick (*editor.triggerComboBox, 5);
    EXPECT_EQ (triggerWidgets (editor), "1 0 1 1 0 0 1 1 0 [] []");

    // A bank function leaves nothing but the type box and "Loop" editable.
    pick (*editor.triggerComboBox, 6);
    EXPECT_EQ (triggerWidgets (editor), "1 0 3 0- 1 1 1- 12 4- [9]- [9]-");

    // Unwritten edits are dropped when another trigger is picked, and kept
    // when the same one is.
    pick (*editor.interfaceComboBox, 2);
    pick (*editor.triggerComboBox, 6);
    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 2);
    pick (*editor.triggerComboBox, 7);
    EXPECT_EQ (triggerWidgets (editor), defaults);
    EXPECT_EQ (enabledButtons (editor), "Add");

    // A typed range under a function without one is emptied by the build.
    pick (*editor.triggerComboBox, 3);
    typeInto (*editor.lowText, "12");
    pick (*editor.functionBox, trigBankUp);
    click (*editor.updateButton);
    EXPECT_EQ (editor.initLines[editor.findTriggerLine (3)], "#TRIG 03, 1, 0, 1, 1, 1, 12, 0, ," + crlf);
    EXPECT_EQ (editor.lowText->getText() + editor.highText->getText(), "");
    triggerLines();
}

TEST_F (TriggerEditing, RefusedRangeOnUpdateKeepsTheSavedLine)
{
    addLine (3, next, "1", "16");
    addLine (8, stop, "2", "3");
    pick (*editor.triggerComboBox, 3);
    const auto linesBefore = editor.initLines;
    const auto viewBefore = editor.initTextEditor->getText();

    typeInto (*editor.highText, "");
    click (*editor.updateButton);

    expectOneTrackRangeError();
    EXPECT_EQ (editor.initLines, linesBefore);
    EXPECT_EQ (editor.initTextEditor->getText(), viewBefore);
    EXPECT_EQ (enabledButtons (editor), "Update Delete Copy");

    // Corrected, the same "Update" replaces the line in place.
    typeInto (*editor.highText, "9");
    click (*editor.updateButton);
    EXPECT_EQ (triggerLines(),
               "#TRIG 03, 1, 0, 1, 1, 1, 2, 0, 1, 9" + crlf + "#TRIG 08, 1, 0, 1, 0, 0, 7, 0, 2, 3" + crlf);
}

TEST_F (TriggerEditing, RefusedRangeOnCopyChangesNothing)
{
    addLine (4);
    addLine (3, stop, "6", "8");
    addLine (15);
    pick (*editor.triggerComboBox, 3);
    const auto linesBefore = editor.initLines;
    const auto viewBefore = editor.initTextEditor->getText();

    typeInto (*editor.lowText, "9");
    click (*editor.copyButton);

    expectOneTrackRangeError();
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 3);
    EXPECT_EQ (editor.initLines, linesBefore);
    EXPECT_EQ (editor.initTextEditor->getText(), viewBefore);
    EXPECT_EQ (enabledButtons (editor), "Update Delete Copy");
    EXPECT_EQ (editor.lowText->getText(), "9") << "what was typed stays, to be corrected";

    // Nor does it at trigger 15, where a copy would have reached the last one.
    pick (*editor.triggerComboBox, 15);
    pick (*editor.functionBox, resume);
    typeInto (*editor.highText, "0");
    click (*editor.copyButton);

    expectOneTrackRangeError();
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 15);
    EXPECT_EQ (editor.initLines, linesBefore);
    EXPECT_EQ (enabledButtons (editor), "Update Delete Copy");

    // Corrected, the copy reaches trigger 16; there, "Copy" has nowhere to go.
    typeInto (*editor.highText, "5");
    click (*editor.copyButton);
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 16);
    EXPECT_TRUE (triggerLines().endsWith ("#TRIG 15, 1, 0, 1, 1, 1, 1, 0, ," + crlf
                                          + "#TRIG 16, 1, 0, 1, 0, 0, 6, 0, 1, 5" + crlf));
    const auto linesAtTheEnd = editor.initLines;
    click (*editor.copyButton);
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 16);
    EXPECT_EQ (editor.initLines, linesAtTheEnd);
    EXPECT_EQ (enabledButtons (editor), "Update Delete");
}

TEST_F (TriggerEditing, DeleteKeepsTheWidgetsAndResetKeepsTheLine)
{
    addLine (6, resume, "20", "30");
    const auto line = triggerLines();
    const auto shown = triggerWidgets (editor);

    click (*editor.deleteButton);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_EQ (triggerWidgets (editor), shown);
    EXPECT_EQ (enabledButtons (editor), "Add");

    click (*editor.addButton);
    click (*editor.resetButton);
    EXPECT_EQ (triggerWidgets (editor), defaults);
    EXPECT_EQ (triggerLines(), line);
    EXPECT_EQ (enabledButtons (editor), "Update Delete Copy");
}

TEST_F (TriggerEditing, TestFollowsTheSelectedLineOnlyWithAnOpenPort)
{
    click (*editor.addButton);
    pick (*editor.triggerComboBox, 2);
    editor.testButton->setEnabled (true);
    click (*editor.addButton);
    EXPECT_TRUE (editor.testButton->isEnabled()) << "without a port a line leaves \"Test\" as it was";

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
