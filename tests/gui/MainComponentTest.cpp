#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
const juce::String header = initfile::headerBlock().joinIntoString ("");

class MainComponentLook : public EditorTest
{
protected:
    // The lines above the header, each ended by "|", once the view is seen to
    // show the whole list.
    juce::String linesOnTop()
    {
        const auto text = editor.initLines.joinIntoString ("");
        EXPECT_EQ (editor.initTextEditor->getText(), text.replace ("\r\n", "\n"));
        return text.replace (header, "").replace ("\r\n", "|");
    }

    void expectSteps (std::initializer_list<std::pair<const char*, const char*>> steps)
    {
        for (auto& [actions, lines] : steps)
        {
            act (editor, actions);
            EXPECT_EQ (linesOnTop(), lines) << actions;
        }
    }
};
} // namespace

TEST_F (MainComponentLook, WidgetsStandInCreationOrderWithTheirTextsAndPlaces)
{
    // Every widget as "text@x,y,w,h": the text a group, label or button shows.
    juce::String layout;
    for (auto* child : editor.getChildren())
    {
        juce::String text;
        if (auto* g = dynamic_cast<juce::GroupComponent*> (child))
            text = g->getText();
        else if (auto* l = dynamic_cast<juce::Label*> (child))
            text = l->getText();
        else if (auto* b = dynamic_cast<juce::Button*> (child))
            text = b->getButtonText();
        layout << text.replace ("\n", "/") << "@" << child->getBounds().toString().replace (" ", ",") << ";";
    }
    EXPECT_EQ (layout, "MIDI@32,259,184,220;Trigger Test COM Port (optional)@243,276,526,76;"
                       "Trigger Settings@244,16,526,249;Quit@148,533,63,24;  >No compatible COM ports "
                       "found@0,616,800,24;@625,62,112,24;@510,62,98,24;"
                       "Invert@273,105,65,24;Polyphonic@447,105,96,24;@626,129,44,20;@692,129,44,20;New@36,571,63,24;"
                       "Open@36,500,63,24;Save As@36,535,63,24;System@32,16,184,233;Function@619,39,63,24;"
                       "Type@505,38,47,24;Track Range@619,106,87,24;@59,58,133,24;Serial Comm.@52,34,105,24;"
                       "@52,112,140,24;Output Volume (dB)@51,90,150,24;Help@145,570,68,24;@248,381,520,215;"
                       "@277,62,56,24;@350,62,143,24;Add@356,221,63,24;Update@436,221,63,24;Delete@516,221,63,24;"
                       "Trigger@271,38,56,24;Hardware Interface@344,38,141,24;Re-Triggers@343,105,95,24;"
                       "Reset@276,221,63,24;Low@621,147,40,24;High@687,148,40,24;Audio Amp Power@51,145,136,24;"
                       "Init File Contents:@243,357,125,24;Test@676,221,63,24;@323,308,208,24;Port:@275,308,48,24;"
                       "@632,308,104,24;Baudrate:@559,309,72,24;@408,180,140,24;Trigger Volume (dB)@274,179,150,24;"
                       "StopAll@148,499,63,24;Copy@596,221,63,24;Ignore Velocity@51,419,150,24;@52,388,140,24;"
                       "Default Release (msec)@51,366,155,24;Low Power Option@51,175,136,24;Sleep/After@51,199,56,32;"
                       "@96,203,96,24;@134,330,58,24;Pitch Bend/Semitones@52,322,80,40;Ignore Note-Offs@51,442,150,24;"
                       "Loop@546,106,62,24;Lock Voice@273,138,93,24;@118,289,74,24;Channel@51,288,62,24;");
    EXPECT_EQ (editor.portComboBox->getItemText (0), "No USB Serial Devices!");

    // Whole steps only, with a value box of 40 by 20 on the right.
    juce::String sliders;
    for (auto* s : { editor.volumeSlider.get(), editor.trigVolumeSlider.get(), editor.releaseSlider.get() })
        sliders << s->getMinimum() << " " << s->getMaximum() << " " << s->getInterval() << " " << s->getTextBoxWidth()
                << " " << s->getTextBoxHeight() << ";";
    EXPECT_EQ (sliders, "-20 10 1 40 20;-20 10 1 40 20;0 127 1 40 20;");

    // The view lines its columns up.
    const auto font = editor.initTextEditor->getFont();
    EXPECT_EQ (font.getTypefaceName()
                   + juce::String::formatted (" %g %g %g", font.getHeight(), font.getHorizontalScale(),
                                              font.getExtraKerningFactor()),
               juce::Font::getDefaultMonospacedFontName() + " 11 1 0");
    EXPECT_EQ (editor.statusLabel->getFont().getHeight(), 15.0f);
}

TEST_F (MainComponentLook, StartsAsANewFileAndNewGoesBackToItFromAnything)
{
    const juce::String start =
        ". . . . . 1 1 0 1 []- []- . . . . . . . 6 . 0 . . [242] 1 1 . - - . . 1 . . . 0 . - 1 . "
        "6- . 0 . - - 0- 0- - 0 - 7- 2- - 0- 0 0 1- -";
    EXPECT_EQ (widgetStates (editor), start);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());

    // Every widget that "New" puts back, moved away from its start.
    act (editor, "volume=-4 amp lowpower sleep=2 baud=7 release=9 velocity noteoffs pitch=4 channel=3");
    editor.initLines.add ("#TRIG 03, 2, 1, 3, 6, 0, 5, -4, 5, 7\r\n");
    act (editor, "trigger=3");
    EXPECT_EQ (widgetStates (editor),
               ". . . . . 5 3 1 0- [5] [7] . . . . . . . 7 . -4 . . [300] 3 2 - . . . . 0- . . . 1 . - 1 . "
               "6- . -4- . - . 1 9 . 1 . 2 4 . 1 1 1 3 .");

    act (editor, "new");
    EXPECT_EQ (widgetStates (editor), start);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());

    // The track range fields take four digits, nothing else.
    act (editor, "function=2 low=12a34-56");
    EXPECT_EQ (editor.lowText->getText(), "1234");
}

TEST_F (MainComponentLook, EachChoiceWritesTheCodeItsTextNamesAndTheDefaultNone)
{
    // Every item of a box by its text, and what picking it adds to the list:
    // a system box its line, a trigger box (from a reset, then "Add") its
    // line's field. Each box starts where the one before leaves the editor.
    const std::tuple<const char*, int, const char*> boxes[] = {
        { "baud", 0,
          "1200 bps=#BAUD 1200;2400 bps=#BAUD 2400;9600 bps=#BAUD 9600;19.2 kbps=#BAUD 19200;"
          "38.4 kbps=#BAUD 38400;57.6 kbps=;MIDI=#MIDI 1 ;" },
        { "pitch", 0, "1=#BEND 1;2=;3=#BEND 3;4=#BEND 4;5=#BEND 5;" },
        { "channel", 0,
          "Omni=;1=#MCHN 1;2=#MCHN 2;3=#MCHN 3;4=#MCHN 4;5=#MCHN 5;6=#MCHN 6;7=#MCHN 7;8=#MCHN 8;9=#MCHN 9;"
          "10=#MCHN 10;11=#MCHN 11;12=#MCHN 12;13=#MCHN 13;14=#MCHN 14;15=#MCHN 15;16=#MCHN 16;" },
        { "sleep", 0,
          "15 sec=#LPWR 15;30 sec=#LPWR 30;1 min=#LPWR 60;2 min=#LPWR 120;3 min=#LPWR 180;4 min=#LPWR 240;"
          "5 min=#LPWR 300;10 min=#LPWR 600;15 min=#LPWR 900;30 min=#LPWR 1800;45 min=#LPWR 2700;1 hr=#LPWR 3600;" },
        { "interface", 1, "Contact Closure=1;Active (3.3V / 5V)=2;" },
        { "type", 3, "Edge=1;Level=2;Latch=3;" },
        { "function", 6,
          "Normal=1;Next=2;Previous=3;Random=4;Pause=5;Resume=6;Stop=7;Volume Up=8;Volume Dn=9;"
          "MIDI Bank Up=10;MIDI Bank Dn=11;Trig Bank Up=12;Trig Bank Dn=13;" },
    };
    const auto added = [this] (const juce::String& actions)
    {
        const auto before = editor.initLines;
        act (editor, actions);
        juce::StringArray lines;
        for (auto& line : editor.initLines)
            if (! before.contains (line))
                lines.add (line.upToLastOccurrenceOf ("\r\n", false, false));
        return lines.joinIntoString ("|");
    };

    act (editor, "lowpower");
    for (auto& [name, field, written] : boxes)
    {
        auto& box = *dynamic_cast<juce::ComboBox*> (widgetNamed (editor, name));
        juce::String choices;
        for (int i = 0; i < box.getNumItems(); ++i)
        {
            const auto choice = juce::String (name) + "=" + juce::String (box.getItemId (i));
            choices << box.getItemText (i) << "="
                    << (field == 0
                            ? added (choice)
                            : juce::StringArray::fromTokens (added ("reset " + choice + " add"), ",", {})[field].trim())
                    << ";";
            if (field > 0)
                act (editor, "delete");
        }
        EXPECT_EQ (choices, juce::String (written));
    }

    juce::String lines;
    for (auto* value : { "release=1", "release=127", "volume=-20", "volume=-1", "volume=1", "volume=10", "velocity",
                         "velocity", "noteoffs", "velocity" })
        lines << added (value) << ";";
    EXPECT_EQ (lines, "#MREL 1;#MREL 127;#VOLM -20;#VOLM -1;#VOLM 1;#VOLM 10;#MIDI 3;#MIDI 1;#MIDI 5;#MIDI 7;");

    // Leaving MIDI mode takes its lines and settings; they don't come back with it.
    const char* const midi = "release velocity noteoffs pitch channel";
    expectSteps ({ { "baud=2", "#BAUD 2400|#VOLM 10|#LPWR 3600|" } });
    EXPECT_EQ (widgetStates (editor, midi), "0- 0- 0- 2- 1-");
    expectSteps ({ { "baud=7", "#MIDI 1 |#VOLM 10|#LPWR 3600|" } });
    EXPECT_EQ (widgetStates (editor, midi), "0 0 0 2 1");

    expectSteps ({
        // Back at its default each value takes its line away, and writes none.
        { "pitch=3 channel=9 release=5 pitch=2 channel=1 release=0 volume=0 lowpower", "#MIDI 1 |" },
        { "baud=6", "" },
        // The last changed setting stands first.
        { "volume=-5 amp", "#SPKR 1|#VOLM -5|" },
        { "volume=-3", "#VOLM -3|#SPKR 1|" },
        { "amp", "#VOLM -3|" },
        // The view is rebuilt even when no line is written.
        { "baud=2 view=typed baud=6", "#VOLM -3|" },
        // Low power always starts at five minutes.
        { "lowpower sleep=12 lowpower", "#VOLM -3|" },
        { "lowpower", "#LPWR 300|#VOLM -3|" },
    });
    EXPECT_EQ (widgetStates (editor, "sleep lowpower"), "7 1");
    act (editor, "lowpower");
    EXPECT_EQ (widgetStates (editor, "sleep lowpower"), "7- 0");
}
