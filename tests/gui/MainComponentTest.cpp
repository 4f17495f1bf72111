#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "editor/MainComponent.h"
#include "support/MessageLoop.h"

#include <typeinfo>

namespace
{
struct WidgetRow
{
    juce::Component* widget;
    const std::type_info& kind;
    const char* name;
    const char* text;
    juce::Rectangle<int> bounds;
};

juce::String shownText (juce::Component* c)
{
    if (auto* g = dynamic_cast<juce::GroupComponent*> (c))
        return g->getText();
    if (auto* l = dynamic_cast<juce::Label*> (c))
        return l->getText();
    if (auto* b = dynamic_cast<juce::Button*> (c))
        return b->getButtonText();
    return {};
}

std::vector<WidgetRow> widgetTable (MainComponent& e)
{
    using G = juce::GroupComponent;
    using L = juce::Label;
    using TB = juce::TextButton;
    using T = juce::ToggleButton;
    using C = juce::ComboBox;
    using S = juce::Slider;
    using E = juce::TextEditor;
    using R = juce::Rectangle<int>;

    return {
        { e.midiGroup.get(), typeid (G), "new group", "MIDI", R (32, 259, 184, 220) },
        { e.testPortGroup.get(), typeid (G), "new group", "Trigger Test COM Port (optional)", R (243, 276, 526, 76) },
        { e.triggerGroup.get(), typeid (G), "new group", "Trigger Settings", R (244, 16, 526, 249) },
        { e.quitButton.get(), typeid (TB), "", "Quit", R (148, 533, 63, 24) },
        { e.statusLabel.get(), typeid (L), "new label", nullptr, R (0, 616, 800, 24) },
        { e.functionBox.get(), typeid (C), "function box", nullptr, R (625, 62, 112, 24) },
        { e.typeBox.get(), typeid (C), "type box", nullptr, R (510, 62, 98, 24) },
        { e.invertToggle.get(), typeid (T), "invert toggle", "Invert", R (273, 105, 65, 24) },
        { e.polyToggle.get(), typeid (T), "poly toggle", "Polyphonic", R (447, 105, 96, 24) },
        { e.lowText.get(), typeid (E), "low text", nullptr, R (626, 129, 44, 20) },
        { e.highText.get(), typeid (E), "high text", nullptr, R (692, 129, 44, 20) },
        { e.newButton.get(), typeid (TB), "new button", "New", R (36, 571, 63, 24) },
        { e.openButton.get(), typeid (TB), "open button", "Open", R (36, 500, 63, 24) },
        { e.saveAsButton.get(), typeid (TB), "save as button", "Save As", R (36, 535, 63, 24) },
        { e.systemGroup.get(), typeid (G), "new group", "System", R (32, 16, 184, 233) },
        { e.functionLabel.get(), typeid (L), "new label", "Function", R (619, 39, 63, 24) },
        { e.typeLabel.get(), typeid (L), "new label", "Type", R (505, 38, 47, 24) },
        { e.trackRangeLabel.get(), typeid (L), "new label", "Track Range", R (619, 106, 87, 24) },
        { e.baudBox.get(), typeid (C), "baud box", nullptr, R (59, 58, 133, 24) },
        { e.serialCommLabel.get(), typeid (L), "new label", "Serial Comm.", R (52, 34, 105, 24) },
        { e.volumeSlider.get(), typeid (S), "volume slider", nullptr, R (52, 112, 140, 24) },
        { e.outputVolumeLabel.get(), typeid (L), "new label", "Output Volume (dB)", R (51, 90, 150, 24) },
        { e.helpLink.get(), typeid (juce::HyperlinkButton), "Help", "Help", R (145, 570, 68, 24) },
        { e.initTextEditor.get(), typeid (E), "init text editor", nullptr, R (248, 381, 520, 215) },
        { e.triggerComboBox.get(), typeid (C), "trigger combo box", nullptr, R (277, 62, 56, 24) },
        { e.interfaceComboBox.get(), typeid (C), "interface combo box", nullptr, R (350, 62, 143, 24) },
        { e.addButton.get(), typeid (TB), "add button", "Add", R (356, 221, 63, 24) },
        { e.updateButton.get(), typeid (TB), "update button", "Update", R (436, 221, 63, 24) },
        { e.deleteButton.get(), typeid (TB), "delete button", "Delete", R (516, 221, 63, 24) },
        { e.triggerLabel.get(), typeid (L), "new label", "Trigger", R (271, 38, 56, 24) },
        { e.hardwareInterfaceLabel.get(), typeid (L), "new label", "Hardware Interface", R (344, 38, 141, 24) },
        { e.retriggerToggleButton.get(), typeid (T), "retrigger toggle button", "Re-Triggers", R (343, 105, 95, 24) },
        { e.resetButton.get(), typeid (TB), "reset button", "Reset", R (276, 221, 63, 24) },
        { e.lowLabel.get(), typeid (L), "new label", "Low", R (621, 147, 40, 24) },
        { e.highLabel.get(), typeid (L), "new label", "High", R (687, 148, 40, 24) },
        { e.ampToggleButton.get(), typeid (T), "amp toggle button", "Audio Amp Power", R (51, 145, 136, 24) },
        { e.initFileContentsLabel.get(), typeid (L), "new label", "Init File Contents:", R (243, 357, 125, 24) },
        { e.testButton.get(), typeid (TB), "delete button", "Test", R (676, 221, 63, 24) },
        { e.portComboBox.get(), typeid (C), "new combo box", nullptr, R (323, 308, 208, 24) },
        { e.portLabel.get(), typeid (L), "new label", "Port:", R (275, 308, 48, 24) },
        { e.testBaudComboBox.get(), typeid (C), "new combo box", nullptr, R (632, 308, 104, 24) },
        { e.baudrateLabel.get(), typeid (L), "new label", "Baudrate:", R (559, 309, 72, 24) },
        { e.trigVolumeSlider.get(), typeid (S), "trig volume slider", nullptr, R (408, 180, 140, 24) },
        { e.trigVolumeLabel.get(), typeid (L), "new label", "Trigger Volume (dB)", R (274, 179, 150, 24) },
        { e.stopButton.get(), typeid (TB), "stop button", "StopAll", R (148, 499, 63, 24) },
        { e.copyButton.get(), typeid (TB), "copy button", "Copy", R (596, 221, 63, 24) },
        { e.velocityToggleButton.get(), typeid (T), "velocity toggle button", "Ignore Velocity", R (51, 419, 150, 24) },
        { e.releaseSlider.get(), typeid (S), "release slider", nullptr, R (52, 388, 140, 24) },
        { e.defaultReleaseLabel.get(), typeid (L), "new label", "Default Release (msec)", R (51, 366, 155, 24) },
        { e.lpToggleButton.get(), typeid (T), "lp toggle button", "Low Power Option", R (51, 175, 136, 24) },
        { e.sleepLabel.get(), typeid (L), "new label", "Sleep\nAfter", R (51, 199, 56, 32) },
        { e.sleepBox.get(), typeid (C), "sleep box", nullptr, R (96, 203, 96, 24) },
        { e.pitchBox.get(), typeid (C), "pitch box", nullptr, R (134, 330, 58, 24) },
        { e.pitchBendLabel.get(), typeid (L), "new label", "Pitch Bend\nSemitones", R (52, 322, 80, 40) },
        { e.noteOffToggleButton.get(), typeid (T), "noteOff toggle button", "Ignore Note-Offs", R (51, 442, 150, 24) },
        { e.loopToggleButton.get(), typeid (T), "new toggle button", "Loop", R (546, 106, 62, 24) },
        { e.lockToggle.get(), typeid (T), "lock toggle", "Lock Voice", R (273, 138, 93, 24) },
        { e.channelBox.get(), typeid (C), "channel box", nullptr, R (118, 289, 74, 24) },
        { e.channelLabel.get(), typeid (L), "new label", "Channel", R (51, 288, 62, 24) },
    };
}

// The text view keeps line breaks as LF; saving turns them back into CR LF.
juce::String shownFileText (MainComponent& editor)
{
    return editor.initTextEditor->getText().replace ("\n", "\r\n");
}

juce::StringArray itemTexts (juce::ComboBox& box)
{
    juce::StringArray texts;
    for (int i = 0; i < box.getNumItems(); ++i)
        texts.add (box.getItemText (i) + "=" + juce::String (box.getItemId (i)));
    return texts;
}
} // namespace

TEST (MainComponent, WidgetsAreCreatedInOrderWithTheirNamesTextsAndPlaces)
{
    MainComponent editor;
    EXPECT_EQ (editor.getWidth(), 800);
    EXPECT_EQ (editor.getHeight(), 640);
    EXPECT_TRUE (editor.getName().isEmpty());

    const auto table = widgetTable (editor);
    ASSERT_EQ (table.size(), 59u);
    ASSERT_EQ (editor.getNumChildComponents(), 59);

    for (int i = 0; i < 59; ++i)
    {
        const auto& row = table[(size_t) i];
        SCOPED_TRACE ("widget " + std::to_string (i + 1) + " " + row.name);
        ASSERT_NE (row.widget, nullptr);
        EXPECT_EQ (editor.getChildComponent (i), row.widget) << "creation order decides painting order";
        EXPECT_EQ (typeid (*row.widget), row.kind);
        EXPECT_EQ (row.widget->getName(), juce::String (row.name));
        EXPECT_EQ (row.widget->getBounds(), row.bounds);
        EXPECT_TRUE (row.widget->isVisible());
        if (row.text != nullptr)
        {
            EXPECT_EQ (shownText (row.widget), juce::String (row.text));
        }
    }
}

TEST (MainComponent, ComboBoxesHoldTheirItems)
{
    MainComponent editor;

    EXPECT_EQ (itemTexts (*editor.baudBox).joinIntoString (","),
               "1200 bps=1,2400 bps=2,9600 bps=3,19.2 kbps=4,38.4 kbps=5,57.6 kbps=6,MIDI=7");
    EXPECT_EQ (itemTexts (*editor.testBaudComboBox).joinIntoString (","),
               "1200 bps=1,2400 bps=2,9600 bps=3,19.2 kbps=4,38.4 kbps=5,57.6 kbps=6");
    EXPECT_EQ (itemTexts (*editor.sleepBox).joinIntoString (","),
               "15 sec=1,30 sec=2,1 min=3,2 min=4,3 min=5,4 min=6,5 min=7,10 min=8,15 min=9,30 min=10,45 min=11,1 hr=12");
    EXPECT_EQ (itemTexts (*editor.pitchBox).joinIntoString (","), "1=1,2=2,3=3,4=4,5=5");
    EXPECT_EQ (itemTexts (*editor.interfaceComboBox).joinIntoString (","), "Contact Closure=1,Active (3.3V / 5V)=2");
    EXPECT_EQ (itemTexts (*editor.typeBox).joinIntoString (","), "Edge=1,Level=2,Latch=3");
    EXPECT_EQ (itemTexts (*editor.functionBox).joinIntoString (","),
               "Normal=1,Next=2,Previous=3,Random=4,Pause=5,Resume=6,Stop=7,Volume Up=8,Volume Dn=9,"
               "MIDI Bank Up=10,MIDI Bank Dn=11,Trig Bank Up=12,Trig Bank Dn=13");

    ASSERT_EQ (editor.channelBox->getNumItems(), 17);
    EXPECT_EQ (editor.channelBox->getItemText (0), "Omni");
    ASSERT_EQ (editor.triggerComboBox->getNumItems(), 16);
    for (int n = 1; n <= 16; ++n)
    {
        EXPECT_EQ (editor.channelBox->getItemText (n), juce::String (n));
        EXPECT_EQ (editor.channelBox->getItemId (n), n + 1);
        EXPECT_EQ (editor.triggerComboBox->getItemText (n - 1), juce::String (n));
        EXPECT_EQ (editor.triggerComboBox->getItemId (n - 1), n);
    }
}

TEST (MainComponent, StartsInTheStateOfANewFile)
{
    MainComponent editor;

    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_EQ (shownFileText (editor), initfile::headerBlock().joinIntoString (""));

    EXPECT_EQ (editor.baudBox->getSelectedId(), 6);
    EXPECT_EQ (editor.volumeSlider->getValue(), 0.0);
    EXPECT_FALSE (editor.ampToggleButton->getToggleState());
    EXPECT_FALSE (editor.lpToggleButton->getToggleState());
    EXPECT_EQ (editor.sleepBox->getSelectedId(), 7);
    EXPECT_EQ (editor.pitchBox->getSelectedId(), 2);
    EXPECT_EQ (editor.channelBox->getSelectedId(), 1);
    EXPECT_EQ (editor.testBaudComboBox->getSelectedId(), 6);
    EXPECT_EQ (editor.triggerComboBox->getSelectedId(), 1);
    EXPECT_EQ (editor.interfaceComboBox->getSelectedId(), 1);
    EXPECT_EQ (editor.typeBox->getSelectedId(), 1);
    EXPECT_EQ (editor.functionBox->getSelectedId(), 1);
    EXPECT_FALSE (editor.invertToggle->getToggleState());
    EXPECT_TRUE (editor.retriggerToggleButton->getToggleState());
    EXPECT_FALSE (editor.loopToggleButton->getToggleState());
    EXPECT_FALSE (editor.lockToggle->getToggleState());
    EXPECT_TRUE (editor.polyToggle->getToggleState());
    EXPECT_EQ (editor.trigVolumeSlider->getValue(), 0.0);
    EXPECT_TRUE (editor.lowText->isEmpty());
    EXPECT_TRUE (editor.highText->isEmpty());

    for (auto* enabled : std::initializer_list<juce::Component*> {
             editor.addButton.get(), editor.resetButton.get(), editor.quitButton.get(), editor.newButton.get(),
             editor.openButton.get(), editor.saveAsButton.get(), editor.helpLink.get(), editor.baudBox.get(),
             editor.volumeSlider.get(), editor.ampToggleButton.get(), editor.lpToggleButton.get(),
             editor.typeBox.get(), editor.retriggerToggleButton.get(), editor.loopToggleButton.get(),
             editor.polyToggle.get(), editor.trigVolumeSlider.get(), editor.initTextEditor.get() })
        EXPECT_TRUE (enabled->isEnabled()) << enabled->getName();

    for (auto* disabled : std::initializer_list<juce::Component*> {
             editor.updateButton.get(), editor.deleteButton.get(), editor.copyButton.get(), editor.testButton.get(),
             editor.lowText.get(), editor.highText.get(), editor.releaseSlider.get(),
             editor.velocityToggleButton.get(), editor.noteOffToggleButton.get(), editor.defaultReleaseLabel.get(),
             editor.pitchBox.get(), editor.pitchBendLabel.get(), editor.sleepLabel.get(), editor.sleepBox.get(),
             editor.channelBox.get(), editor.channelLabel.get(), editor.testBaudComboBox.get() })
        EXPECT_FALSE (disabled->isEnabled()) << disabled->getName();
}

TEST (MainComponent, WidgetPropertiesAndColours)
{
    MainComponent editor;

    EXPECT_EQ (editor.triggerGroup->findColour (juce::GroupComponent::outlineColourId), juce::Colour (0x66000000));
    for (auto* group : { editor.midiGroup.get(), editor.testPortGroup.get(), editor.triggerGroup.get(),
                         editor.systemGroup.get() })
        EXPECT_EQ (group->findColour (juce::GroupComponent::textColourId), juce::Colour (0x9effffff));

    EXPECT_EQ (editor.statusLabel->findColour (juce::Label::backgroundColourId), juce::Colour (0xff8da3da));
    EXPECT_EQ (editor.initFileContentsLabel->findColour (juce::Label::textColourId), juce::Colour (0x9effffff));
    EXPECT_EQ (editor.helpLink->findColour (juce::HyperlinkButton::textColourId), juce::Colour (0x9effffff));
    EXPECT_EQ (editor.testButton->findColour (juce::TextButton::buttonColourId), juce::Colour (0xffd00009));
    EXPECT_EQ (editor.helpLink->getURL().toString (false), editor.helpLink->getTooltip());
    EXPECT_TRUE (editor.helpLink->getURL().toString (false).contains (".example/"));

    EXPECT_EQ (editor.volumeSlider->getMinimum(), -20.0);
    EXPECT_EQ (editor.volumeSlider->getMaximum(), 10.0);
    EXPECT_EQ (editor.trigVolumeSlider->getMinimum(), -20.0);
    EXPECT_EQ (editor.releaseSlider->getMaximum(), 127.0);
    EXPECT_EQ (editor.releaseSlider->getInterval(), 1.0);
    EXPECT_EQ (editor.volumeSlider->getTextBoxPosition(), juce::Slider::TextBoxRight);
    EXPECT_FALSE (editor.volumeSlider->isTextBoxEditable() == false);

    EXPECT_EQ (editor.channelBox->getJustificationType().getFlags(), juce::Justification::centredRight);
    EXPECT_EQ (editor.baudBox->getJustificationType().getFlags(), juce::Justification::centredLeft);
    EXPECT_EQ (editor.sleepLabel->getFont().getHeight(), 15.0f);
    EXPECT_FALSE (editor.sleepLabel->isEditable());

    EXPECT_TRUE (editor.initTextEditor->isMultiLine());
    EXPECT_FALSE (editor.lowText->isMultiLine());
    EXPECT_EQ (editor.initTextEditor->getFont().getHeight(), 11.0f);
    EXPECT_EQ (editor.initTextEditor->getFont().getTypefaceName(), juce::Font::getDefaultMonospacedFontName());
}

TEST (MainComponent, TrackRangeFieldsTakeFourDigitsOnly)
{
    MainComponent editor;
    editor.lowText->setEnabled (true);
    editor.lowText->insertTextAtCaret ("12a34-56");
    EXPECT_EQ (editor.lowText->getText(), "1234");

    editor.highText->setEnabled (true);
    editor.highText->insertTextAtCaret ("x9y");
    EXPECT_EQ (editor.highText->getText(), "9");
}

TEST (MainComponent, OnlyTheStatusLineFollowsTheComponentSize)
{
    MainComponent editor;
    editor.setSize (1000, 700);
    EXPECT_EQ (editor.statusLabel->getBounds(), juce::Rectangle<int> (0, 676, 1000, 24));
    EXPECT_EQ (editor.initTextEditor->getBounds(), juce::Rectangle<int> (248, 381, 520, 215));

    editor.setSize (501, 300);
    EXPECT_EQ (editor.statusLabel->getBounds(), juce::Rectangle<int> (0, 276, 501, 24));
    EXPECT_EQ (editor.quitButton->getBounds(), juce::Rectangle<int> (148, 533, 63, 24));
}

TEST (MainComponent, TheViewIsRebuiltFromTheListNotReadBack)
{
    MainComponent editor;
    editor.initTextEditor->setText ("typed by hand", false);
    editor.initLines.insert (0, "#BAUD 9600\r\n");
    editor.refreshInitText();
    EXPECT_EQ (shownFileText (editor), editor.initLines.joinIntoString (""));

    editor.removeInitLine (-1);
    editor.removeInitLine (editor.initLines.size());
    EXPECT_EQ (editor.initLines.size(), 8);
    editor.removeInitLine (0);
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
}

TEST (MainComponent, NewDefaultsLeaveTheTestLinkAlone)
{
    MainComponent editor;
    editor.statusLabel->setText ("  >COM port opened successfully", juce::dontSendNotification);
    editor.stopButton->setEnabled (true);
    editor.volumeSlider->setValue (-5, juce::dontSendNotification);
    editor.lockToggle->setToggleState (true, juce::dontSendNotification);
    editor.initLines.clear();

    editor.resetToDefaults();

    EXPECT_EQ (editor.statusLabel->getText(), "  >COM port opened successfully");
    EXPECT_TRUE (editor.stopButton->isEnabled());
    EXPECT_EQ (editor.volumeSlider->getValue(), 0.0);
    EXPECT_FALSE (editor.lockToggle->getToggleState());
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_FALSE (editor.testButton->isEnabled());
}
