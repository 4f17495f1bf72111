#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"

using namespace testsupport;

namespace
{
// Every widget in creation order as "text@x,y,w,h"; only the texts that a
// group, label or button shows, with "/" for a line break.
juce::String layoutOf (const MainComponent& editor)
{
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
    return layout;
}

using MainComponentLook = EditorTest;
} // namespace

TEST_F (MainComponentLook, WidgetsStandInCreationOrderWithTheirTextsAndPlaces)
{
    EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (0, 0, 800, 640));
    EXPECT_EQ (layoutOf (editor),
               "MIDI@32,259,184,220;Trigger Test COM Port (optional)@243,276,526,76;"
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

    // The ids of the items are what the settings code maps to lines.
    const auto items = [] (const juce::ComboBox& box)
    {
        juce::StringArray texts;
        for (int i = 0; i < box.getNumItems(); ++i)
            texts.add (box.getItemText (i) + "=" + juce::String (box.getItemId (i)));
        return texts.joinIntoString (",");
    };
    EXPECT_EQ (items (*editor.baudBox), "1200 bps=1,2400 bps=2,9600 bps=3,19.2 kbps=4,38.4 kbps=5,57.6 kbps=6,MIDI=7");
    EXPECT_EQ (items (*editor.testBaudComboBox),
               "1200 bps=1,2400 bps=2,9600 bps=3,19.2 kbps=4,38.4 kbps=5,57.6 kbps=6");
    EXPECT_EQ (items (*editor.functionBox),
               "Normal=1,Next=2,Previous=3,Random=4,Pause=5,Resume=6,Stop=7,Volume Up=8,"
               "Volume Dn=9,MIDI Bank Up=10,MIDI Bank Dn=11,Trig Bank Up=12,Trig Bank Dn=13");
    EXPECT_EQ (items (*editor.portComboBox), "No USB Serial Devices!=1");

    // Whole steps only, with a value box of 40 by 20 on the right.
    juce::String sliders;
    for (auto* s : { editor.volumeSlider.get(), editor.trigVolumeSlider.get(), editor.releaseSlider.get() })
        sliders << s->getMinimum() << " " << s->getMaximum() << " " << s->getInterval() << " " << s->getTextBoxWidth()
                << " " << s->getTextBoxHeight() << ";";
    EXPECT_EQ (sliders, "-20 10 1 40 20;-20 10 1 40 20;0 127 1 40 20;");

    // The view lines its columns up.
    const auto font = editor.initTextEditor->getFont();
    EXPECT_EQ (font.getTypefaceName(), juce::Font::getDefaultMonospacedFontName());
    EXPECT_EQ (font.getHeight(), 11.0f);
    EXPECT_EQ (font.getHorizontalScale(), 1.0f);
    EXPECT_EQ (font.getExtraKerningFactor(), 0.0f);
    EXPECT_EQ (editor.statusLabel->getFont().getHeight(), 15.0f);

    // Only the status line follows the component's size.
    editor.setSize (1000, 700);
    EXPECT_EQ (editor.statusLabel->getBounds(), juce::Rectangle<int> (0, 676, 1000, 24));
    EXPECT_EQ (editor.initTextEditor->getBounds(), juce::Rectangle<int> (248, 381, 520, 215));
}

TEST_F (MainComponentLook, StartsAsANewFileAndNewGoesBackToItFromAnything)
{
    const juce::String start =
        ". . . . . 1 1 0 1 []- []- . . . . . . . 6 . 0 . . [242] 1 1 . - - . . 1 . . . 0 . - 1 . "
        "6- . 0 . - - 0- 0- - 0 - 7- 2- - 0- 0 0 1- -";
    EXPECT_EQ (widgetStates (editor), start);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_EQ (editor.initTextEditor->getText(), initfile::headerBlock().joinIntoString ("").replace ("\r\n", "\n"));

    // The type box goes off only with a function that no line of a file sets.
    act (editor, "function=9 new");
    EXPECT_TRUE (editor.typeBox->isEnabled());

    // Every other widget that "New" puts back, moved away from its start.
    act (editor, "volume=-4 amp lowpower sleep=2 baud=7 release=9 velocity noteoffs pitch=4 channel=3");
    editor.initLines.add ("#TRIG 03, 2, 1, 3, 6, 0, 5, -4, 5, 7\r\n");
    act (editor, "trigger=3");
    editor.testButton->setEnabled (true); // as with an open port
    EXPECT_EQ (widgetStates (editor),
               ". . . . . 5 3 1 0- [5] [7] . . . . . . . 7 . -4 . . [300] 3 2 - . . . . 0- . . . 1 . . 1 . "
               "6- . -4- . - . 1 9 . 1 . 2 4 . 1 1 1 3 .");

    act (editor, "new");
    EXPECT_EQ (widgetStates (editor), start);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_EQ (editor.initTextEditor->getText(), initfile::headerBlock().joinIntoString ("").replace ("\r\n", "\n"));

    // The track range fields take four digits, nothing else.
    act (editor, "function=2 low=12a34-56");
    EXPECT_EQ (editor.lowText->getText(), "1234");
}
