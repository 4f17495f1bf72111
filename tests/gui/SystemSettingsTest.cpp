#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "editor/MainComponent.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
const juce::String crlf ("\r\n");
const int headerEntries = 7;

juce::StringArray lines (std::initializer_list<juce::String> entries)
{
    juce::StringArray result;
    for (auto& entry : entries)
        result.add (entry);
    return result;
}

const char* const keywords[] = { "#BAUD", "#MIDI", "#MREL", "#BEND", "#MCHN", "#VOLM", "#SPKR", "#LPWR" };

enum BaudId
{
    baud1200 = 1,
    baud2400,
    baud9600,
    baud19200,
    baud38400,
    baud57600,
    midi
};

class SystemSettingsEditing : public ::testing::Test
{
protected:
    void SetUp() override { deliverPendingMessages(); }

    // The text view keeps each CR LF as a single line break, which the save
    // writes as CR LF again.
    static juce::String shownAs (const juce::StringArray& entries)
    {
        return initfile::viewText (entries).replace ("\r\n", "\n");
    }

    void expectViewShowsLines (const char* step)
    {
        EXPECT_EQ (editor.initTextEditor->getText(), shownAs (editor.initLines)) << step;
    }

    // What every change must leave: the view shows exactly the list, and each
    // keyword has at most one line.
    void expectConsistent (const char* step)
    {
        expectViewShowsLines (step);

        for (auto* keyword : keywords)
        {
            int count = 0;
            for (auto& entry : editor.initLines)
                count += entry.startsWith (keyword) ? 1 : 0;
            EXPECT_LE (count, 1) << step << ": " << keyword;
        }
    }

    // The entries above the generated header block.
    juce::StringArray linesAboveHeader() const
    {
        juce::StringArray lines (editor.initLines);
        lines.removeRange (lines.size() - headerEntries, headerEntries);
        return lines;
    }

    void expectMidiWidgets (bool enabled, const char* step)
    {
        juce::Component* widgets[] = { editor.releaseSlider.get(),  editor.defaultReleaseLabel.get(),
                                       editor.velocityToggleButton.get(), editor.noteOffToggleButton.get(),
                                       editor.pitchBox.get(),       editor.pitchBendLabel.get(),
                                       editor.channelBox.get(),     editor.channelLabel.get() };
        for (auto* widget : widgets)
            EXPECT_EQ (widget->isEnabled(), enabled) << step << ": " << widget->getName();
    }

    void expectMidiDefaults (const char* step)
    {
        EXPECT_EQ (editor.releaseSlider->getValue(), 0.0) << step;
        EXPECT_FALSE (editor.velocityToggleButton->getToggleState()) << step;
        EXPECT_FALSE (editor.noteOffToggleButton->getToggleState()) << step;
        EXPECT_EQ (editor.pitchBox->getSelectedId(), 2) << step;
        EXPECT_EQ (editor.channelBox->getSelectedId(), 1) << step;
    }

    MainComponent editor;
};
} // namespace

TEST_F (SystemSettingsEditing, AValueWritesItsLineOnTopAndTheDefaultRemovesIt)
{
    drag (*editor.volumeSlider, -20);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#VOLM -20" + crlf }));
    expectConsistent ("volume -20");

    drag (*editor.volumeSlider, 0);
    EXPECT_TRUE (linesAboveHeader().isEmpty());
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    expectConsistent ("volume 0");

    click (*editor.ampToggleButton);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#SPKR 1" + crlf }));
    click (*editor.ampToggleButton);
    EXPECT_TRUE (linesAboveHeader().isEmpty());
    expectConsistent ("amp off");
}

TEST_F (SystemSettingsEditing, TheLastChangedSettingStandsFirst)
{
    drag (*editor.volumeSlider, -5);
    click (*editor.ampToggleButton);
    drag (*editor.volumeSlider, -3);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#VOLM -3" + crlf, "#SPKR 1" + crlf }));

    drag (*editor.volumeSlider, 0);
    click (*editor.ampToggleButton);
    pick (*editor.baudBox, midi);
    pick (*editor.channelBox, 6);
    drag (*editor.volumeSlider, -3);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#VOLM -3" + crlf, "#MCHN 5" + crlf, "#MIDI 1 " + crlf }));
    expectConsistent ("stacked");
}

TEST_F (SystemSettingsEditing, EveryLineOfTheKeywordGoesWhereverItStands)
{
    const juce::String trigger = "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ," + crlf;
    editor.initLines = lines ({ "#VOLM 1" + crlf, "#VOLM 2" + crlf, "; note" + crlf, "#volm 3" + crlf,
                                " #VOLM 4" + crlf, "#VOLMxyz" + crlf, trigger, "#VOLM 5" + crlf,
                                "#BAUD 1200" + crlf, "#MIDI 1" + crlf, "#MREL 9" + crlf, "#BAUD 2400" + crlf,
                                "#BEND 3" + crlf, "#MCHN 4" + crlf, "#MIDI 3" + crlf });
    editor.refreshInitText();

    drag (*editor.volumeSlider, -7);
    EXPECT_EQ (editor.initLines[0], "#VOLM -7" + crlf);
    EXPECT_EQ (editor.initLines.size(), 15 - 4 + 1);
    expectViewShowsLines ("volume -7");

    pick (*editor.baudBox, baud9600);
    EXPECT_EQ (editor.initLines, lines ({ "#BAUD 9600" + crlf, "#VOLM -7" + crlf, "; note" + crlf,
                                                      "#volm 3" + crlf, " #VOLM 4" + crlf, trigger }))
        << "case and a leading blank make a line plain text";
    expectConsistent ("9600");
}

TEST_F (SystemSettingsEditing, MidiModeComesWithItsWidgetsAndLeavesWithItsLines)
{
    pick (*editor.baudBox, baud9600);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#BAUD 9600" + crlf }));
    expectMidiWidgets (false, "9600");

    pick (*editor.baudBox, midi);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#MIDI 1 " + crlf }));
    expectMidiWidgets (true, "MIDI");

    pick (*editor.pitchBox, 5);
    pick (*editor.channelBox, 17);
    drag (*editor.releaseSlider, 20);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#MREL 20" + crlf, "#MCHN 16" + crlf, "#BEND 5" + crlf,
                                                        "#MIDI 1 " + crlf }));

    pick (*editor.pitchBox, 2);
    pick (*editor.channelBox, 1);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#MREL 20" + crlf, "#MIDI 1 " + crlf })) << "defaults: no line";

    click (*editor.velocityToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 3" + crlf);
    click (*editor.velocityToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 1" + crlf) << "the options' line has no trailing blank";
    click (*editor.noteOffToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 5" + crlf);
    click (*editor.velocityToggleButton);
    EXPECT_EQ (editor.initLines[0], "#MIDI 7" + crlf);
    expectConsistent ("options");

    pick (*editor.baudBox, baud2400);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#BAUD 2400" + crlf }));
    expectMidiWidgets (false, "2400");
    expectMidiDefaults ("2400");
    expectConsistent ("2400");

    pick (*editor.baudBox, midi);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#MIDI 1 " + crlf }));
    expectMidiDefaults ("MIDI again: nothing chosen before comes back");

    pick (*editor.baudBox, baud57600);
    EXPECT_EQ (editor.initLines, initfile::headerBlock()) << "the board's own rate writes no line";
    expectMidiWidgets (false, "57.6");
    expectConsistent ("57.6");
}

TEST_F (SystemSettingsEditing, LowPowerAlwaysStartsAtFiveMinutes)
{
    EXPECT_FALSE (editor.sleepBox->isEnabled());

    click (*editor.lpToggleButton);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#LPWR 300" + crlf }));
    EXPECT_TRUE (editor.sleepBox->isEnabled() && editor.sleepLabel->isEnabled());
    EXPECT_EQ (editor.sleepBox->getSelectedId(), 7);

    pick (*editor.sleepBox, 12);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#LPWR 3600" + crlf }));

    click (*editor.lpToggleButton);
    EXPECT_TRUE (linesAboveHeader().isEmpty());
    EXPECT_FALSE (editor.sleepBox->isEnabled() || editor.sleepLabel->isEnabled());
    EXPECT_EQ (editor.sleepBox->getSelectedId(), 12);

    click (*editor.lpToggleButton);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#LPWR 300" + crlf }));
    EXPECT_EQ (editor.sleepBox->getSelectedId(), 7) << "back at 5 min, not at the 1 hr chosen before";

    pick (*editor.sleepBox, 1);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#LPWR 15" + crlf }));
    pick (*editor.sleepBox, 7);
    EXPECT_EQ (linesAboveHeader(), lines ({ "#LPWR 300" + crlf })) << "5 min has its line too";
    expectConsistent ("sleep");
}

TEST_F (SystemSettingsEditing, TheViewIsRebuiltEvenWhenNoLineIsWritten)
{
    pick (*editor.baudBox, baud9600);
    typeInto (*editor.initTextEditor, "typed by hand");

    pick (*editor.baudBox, baud57600);
    EXPECT_EQ (editor.initTextEditor->getText(), shownAs (initfile::headerBlock()));
}
