#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
const juce::String header = initfile::headerBlock().joinIntoString ("");

constexpr int baud2400 = 2, baud9600 = 3, baud57600 = 6, midi = 7; // the baud box's item ids

class SystemSettingsEditing : public EditorTest
{
protected:
    // The whole list as text, once the view is seen to show it.
    juce::String fileText()
    {
        EXPECT_EQ (editor.initTextEditor->getText(), initfile::viewText (editor.initLines).replace ("\r\n", "\n"));
        return editor.initLines.joinIntoString ("");
    }

    // The MIDI widgets' enablement, then their values.
    juce::String midiWidgets() const
    {
        juce::String state;
        for (auto* widget : std::initializer_list<juce::Component*>{
                 editor.releaseSlider.get(), editor.defaultReleaseLabel.get(), editor.velocityToggleButton.get(),
                 editor.noteOffToggleButton.get(), editor.pitchBox.get(), editor.pitchBendLabel.get(),
                 editor.channelBox.get(), editor.channelLabel.get() })
            state << (widget->isEnabled() ? "on " : "off ");
        return state << editor.releaseSlider->getValue() << " " << (int) editor.velocityToggleButton->getToggleState()
                     << " " << (int) editor.noteOffToggleButton->getToggleState() << " "
                     << editor.pitchBox->getSelectedId() << " " << editor.channelBox->getSelectedId();
    }
};
} // namespace

TEST_F (SystemSettingsEditing, AValueWritesItsLineOnTopAndTheDefaultRemovesIt)
{
    drag (*editor.volumeSlider, -20);
    EXPECT_EQ (fileText(), "#VOLM -20\r\n" + header);
    drag (*editor.volumeSlider, 0);
    EXPECT_EQ (fileText(), header);

    drag (*editor.volumeSlider, -5);
    click (*editor.ampToggleButton);
    EXPECT_EQ (fileText(), "#SPKR 1\r\n#VOLM -5\r\n" + header);
    drag (*editor.volumeSlider, -3);
    EXPECT_EQ (fileText(), "#VOLM -3\r\n#SPKR 1\r\n" + header) << "the last changed setting stands first";
    click (*editor.ampToggleButton);
    EXPECT_EQ (fileText(), "#VOLM -3\r\n" + header);

    pick (*editor.baudBox, midi);
    pick (*editor.channelBox, 6);
    drag (*editor.volumeSlider, 2);
    EXPECT_EQ (fileText(), "#VOLM 2\r\n#MCHN 5\r\n#MIDI 1 \r\n" + header);

    // The view is rebuilt even when no line is written.
    typeInto (*editor.initTextEditor, "typed by hand");
    pick (*editor.baudBox, baud57600);
    EXPECT_EQ (fileText(), "#VOLM 2\r\n" + header);
}

TEST_F (SystemSettingsEditing, EveryLineOfTheKeywordGoesWhereverItStands)
{
    const juce::String trigger = "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,\r\n";
    editor.initLines = juce::StringArray::fromLines ("#VOLM 1\n#VOLM 2\n; note\n#volm 3\n #VOLM 4\n#VOLMxyz\n"
                                                     "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,\n#VOLM 5\n#BAUD 1200\n#MIDI 1\n"
                                                     "#MREL 9\n#BAUD 2400\n#BEND 3\n#MCHN 4\n#MIDI 3");
    for (auto& entry : editor.initLines)
        entry << "\r\n";
    editor.refreshInitText();

    drag (*editor.volumeSlider, -7);
    EXPECT_EQ (editor.initLines[0], "#VOLM -7\r\n");
    EXPECT_EQ (editor.initLines.size(), 12) << "four of the fifteen lines gave way to one";

    pick (*editor.baudBox, baud9600);
    EXPECT_EQ (fileText(), "#BAUD 9600\r\n#VOLM -7\r\n; note\r\n#volm 3\r\n #VOLM 4\r\n" + trigger)
        << "case and a leading blank make a line plain text";
}

TEST_F (SystemSettingsEditing, MidiModeComesWithItsWidgetsAndLeavesWithItsLines)
{
    const juce::String midiDefaults = "0 0 0 2 1";

    pick (*editor.baudBox, baud9600);
    EXPECT_EQ (fileText(), "#BAUD 9600\r\n" + header);
    EXPECT_EQ (midiWidgets(), "off off off off off off off off " + midiDefaults);

    pick (*editor.baudBox, midi);
    EXPECT_EQ (fileText(), "#MIDI 1 \r\n" + header);
    EXPECT_EQ (midiWidgets(), "on on on on on on on on " + midiDefaults);

    pick (*editor.pitchBox, 5);
    pick (*editor.channelBox, 17);
    drag (*editor.releaseSlider, 20);
    EXPECT_EQ (fileText(), "#MREL 20\r\n#MCHN 16\r\n#BEND 5\r\n#MIDI 1 \r\n" + header);
    pick (*editor.pitchBox, 2);
    pick (*editor.channelBox, 1);
    EXPECT_EQ (fileText(), "#MREL 20\r\n#MIDI 1 \r\n" + header) << "defaults: no line";

    click (*editor.velocityToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 3\r\n");
    click (*editor.velocityToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 1\r\n") << "the options' line has no trailing blank";
    click (*editor.noteOffToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 5\r\n");
    click (*editor.velocityToggleButton);
    EXPECT_EQ (fileText(), "#MIDI 7\r\n#MREL 20\r\n" + header);

    pick (*editor.baudBox, baud2400);
    EXPECT_EQ (fileText(), "#BAUD 2400\r\n" + header);
    EXPECT_EQ (midiWidgets(), "off off off off off off off off " + midiDefaults);

    pick (*editor.baudBox, midi);
    EXPECT_EQ (midiWidgets(), "on on on on on on on on " + midiDefaults) << "nothing chosen before comes back";

    pick (*editor.baudBox, baud57600);
    EXPECT_EQ (fileText(), header) << "the board's own rate writes no line";
}

TEST_F (SystemSettingsEditing, LowPowerAlwaysStartsAtFiveMinutes)
{
    EXPECT_FALSE (editor.sleepBox->isEnabled() || editor.sleepLabel->isEnabled());

    click (*editor.lpToggleButton);
    EXPECT_EQ (fileText(), "#LPWR 300\r\n" + header);
    EXPECT_TRUE (editor.sleepBox->isEnabled() && editor.sleepLabel->isEnabled());

    pick (*editor.sleepBox, 12);
    EXPECT_EQ (fileText(), "#LPWR 3600\r\n" + header);

    click (*editor.lpToggleButton);
    EXPECT_EQ (fileText(), header);
    EXPECT_FALSE (editor.sleepBox->isEnabled() || editor.sleepLabel->isEnabled());

    click (*editor.lpToggleButton);
    EXPECT_EQ (fileText(), "#LPWR 300\r\n" + header);
    EXPECT_EQ (editor.sleepBox->getSelectedId(), 7) << "back at 5 min, not at the 1 hr chosen before";

    pick (*editor.sleepBox, 1);
    pick (*editor.sleepBox, 7);
    EXPECT_EQ (fileText(), "#LPWR 300\r\n" + header) << "5 min has its line too";
}
