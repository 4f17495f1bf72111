#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "editor/MainComponent.h"
#include "support/EditorDriver.h"

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

juce::String itemTexts (juce::ComboBox& box)
{
    juce::StringArray texts;
    for (int i = 0; i < box.getNumItems(); ++i)
        texts.add (box.getItemText (i) + "=" + juce::String (box.getItemId (i)));
    return texts.joinIntoString (",");
}
} // namespace

TEST (MainComponent, WidgetsAreCreatedInOrderWithTheirNamesTextsAndPlaces)
{
    MainComponent editor;
    EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (0, 0, 800, 640));

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

    // Item ids are the values the settings code maps to lines.
    EXPECT_EQ (itemTexts (*editor.baudBox),
               "1200 bps=1,2400 bps=2,9600 bps=3,19.2 kbps=4,38.4 kbps=5,57.6 kbps=6,MIDI=7");
    EXPECT_EQ (itemTexts (*editor.testBaudComboBox),
               "1200 bps=1,2400 bps=2,9600 bps=3,19.2 kbps=4,38.4 kbps=5,57.6 kbps=6");
    EXPECT_EQ (
        itemTexts (*editor.sleepBox),
        "15 sec=1,30 sec=2,1 min=3,2 min=4,3 min=5,4 min=6,5 min=7,10 min=8,15 min=9,30 min=10,45 min=11,1 hr=12");
    EXPECT_EQ (itemTexts (*editor.pitchBox), "1=1,2=2,3=3,4=4,5=5");
    EXPECT_EQ (itemTexts (*editor.interfaceComboBox), "Contact Closure=1,Active (3.3V / 5V)=2");
    EXPECT_EQ (itemTexts (*editor.typeBox), "Edge=1,Level=2,Latch=3");
    EXPECT_EQ (itemTexts (*editor.functionBox),
               "Normal=1,Next=2,Previous=3,Random=4,Pause=5,Resume=6,Stop=7,Volume Up=8,Volume Dn=9,"
               "MIDI Bank Up=10,MIDI Bank Dn=11,Trig Bank Up=12,Trig Bank Dn=13");

    juce::String channels ("Omni=1"), triggers ("1=1");
    for (int n = 2; n <= 16; ++n)
        triggers << "," << n << "=" << n;
    for (int n = 1; n <= 16; ++n)
        channels << "," << n << "=" << n + 1;
    EXPECT_EQ (itemTexts (*editor.channelBox), channels);
    EXPECT_EQ (itemTexts (*editor.triggerComboBox), triggers);

    // Only the status line follows the component's size.
    editor.setSize (1000, 700);
    EXPECT_EQ (editor.statusLabel->getBounds(), juce::Rectangle<int> (0, 676, 1000, 24));
    EXPECT_EQ (editor.initTextEditor->getBounds(), juce::Rectangle<int> (248, 381, 520, 215));
    editor.setSize (501, 300);
    EXPECT_EQ (editor.statusLabel->getBounds(), juce::Rectangle<int> (0, 276, 501, 24));
    EXPECT_EQ (editor.quitButton->getBounds(), juce::Rectangle<int> (148, 533, 63, 24));
}

TEST (MainComponent, StartsInTheStateOfANewFile)
{
    MainComponent editor;
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_EQ (editor.initTextEditor->getText(), initfile::headerBlock().joinIntoString ("").replace ("\r\n", "\n"));

    juce::StringArray state;
    for (auto* box : { editor.baudBox.get(), editor.sleepBox.get(), editor.pitchBox.get(), editor.channelBox.get(),
                       editor.testBaudComboBox.get(), editor.triggerComboBox.get() })
        state.add (juce::String (box->getSelectedId()));
    for (auto* toggle : { editor.ampToggleButton.get(), editor.lpToggleButton.get() })
        state.add (toggle->getToggleState() ? "on" : "off");
    state.add (juce::String (editor.volumeSlider->getValue()) + " " + juce::String (editor.releaseSlider->getValue()));
    EXPECT_EQ (state.joinIntoString (" "), "6 7 2 1 6 1 off off 0 0");
    EXPECT_EQ (testsupport::triggerWidgets (editor), "1 0 1 1 0 0 1 1 0 []- []-");

    // Every widget is enabled but these.
    const juce::Array<juce::Component*> disabled{
        editor.updateButton.get(), editor.deleteButton.get(),   editor.copyButton.get(),
        editor.testButton.get(),   editor.stopButton.get(),     editor.lowText.get(),
        editor.highText.get(),     editor.releaseSlider.get(),  editor.defaultReleaseLabel.get(),
        editor.pitchBox.get(),     editor.pitchBendLabel.get(), editor.velocityToggleButton.get(),
        editor.channelBox.get(),   editor.channelLabel.get(),   editor.noteOffToggleButton.get(),
        editor.sleepBox.get(),     editor.sleepLabel.get(),     editor.testBaudComboBox.get()
    };
    for (auto* child : editor.getChildren())
        EXPECT_EQ (child->isEnabled(), ! disabled.contains (child)) << child->getName();

    // The track range fields take four digits, nothing else.
    editor.lowText->setEnabled (true);
    editor.lowText->insertTextAtCaret ("12a34-56");
    EXPECT_EQ (editor.lowText->getText(), "1234");

    // A new file's defaults leave the test link alone.
    editor.statusLabel->setText ("  >COM port opened successfully", juce::dontSendNotification);
    editor.stopButton->setEnabled (true);
    editor.initLines.clear();
    editor.resetToDefaults();
    EXPECT_EQ (testsupport::triggerWidgets (editor), "1 0 1 1 0 0 1 1 0 []- []-");
    EXPECT_EQ (editor.initLines, initfile::headerBlock());
    EXPECT_EQ (editor.statusLabel->getText(), "  >COM port opened successfully");
    EXPECT_TRUE (editor.stopButton->isEnabled());
}
