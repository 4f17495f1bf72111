#pragma once

#include <juce_gui_extra/juce_gui_extra.h>

#include <memory>

class Communicator;
struct TriggerSettings;

// The editor's whole user interface: the widgets for the system settings and
// the triggers, the init file as a list of entries, and the controls of the
// serial test link. It is the single listener of all its buttons, combo boxes
// and sliders.
//
// The widgets and the line list are public so that the tests can drive the
// editor exactly as a user does (select, click, type) and read back what the
// user would see.
class MainComponent : public juce::Component,
                      public juce::ChangeListener,
                      public juce::Button::Listener,
                      public juce::ComboBox::Listener,
                      public juce::Slider::Listener
{
public:
    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void buttonClicked (juce::Button* button) override;
    void comboBoxChanged (juce::ComboBox* comboBox) override;
    void sliderValueChanged (juce::Slider* slider) override;

    // Defaults of a new file: every system and trigger widget back to its
    // start state, and the line list holding only the generated header block.
    void resetToDefaults();

    // Line model: the text view always shows the concatenation of initLines.
    void refreshInitText();
    void removeInitLine (int index);
    bool addTriggerLine();
    int findTriggerLine (int triggerNumber);
    int getTriggerNumber (juce::String entry);

    // Trigger lines <-> trigger widgets.
    juce::String makeTriggerLine();
    bool parseTriggerLine (juce::String line);
    void resetTriggerSettings();

    // Whole files; false (after telling the user) when the file could not be
    // read or written. A failed open leaves the editor as it was; a failed
    // save leaves the file as it was, or the box says it may not have.
    bool loadInitFile (const juce::File& file);
    bool saveInitFile (const juce::File& file);

    // The "Test" action of the serial test link.
    void sendTestTrigger();

    //==========================================================================
    juce::StringArray initLines;
    std::unique_ptr<Communicator> communicator;
    bool comPortOpen = false;
    int currentPortId = 0;

    std::unique_ptr<juce::GroupComponent> midiGroup;
    std::unique_ptr<juce::GroupComponent> testPortGroup;
    std::unique_ptr<juce::GroupComponent> triggerGroup;
    std::unique_ptr<juce::TextButton> quitButton;
    std::unique_ptr<juce::Label> statusLabel;
    std::unique_ptr<juce::ComboBox> functionBox;
    std::unique_ptr<juce::ComboBox> typeBox;
    std::unique_ptr<juce::ToggleButton> invertToggle;
    std::unique_ptr<juce::ToggleButton> polyToggle;
    std::unique_ptr<juce::TextEditor> lowText;
    std::unique_ptr<juce::TextEditor> highText;
    std::unique_ptr<juce::TextButton> newButton;
    std::unique_ptr<juce::TextButton> openButton;
    std::unique_ptr<juce::TextButton> saveAsButton;
    std::unique_ptr<juce::GroupComponent> systemGroup;
    std::unique_ptr<juce::Label> functionLabel;
    std::unique_ptr<juce::Label> typeLabel;
    std::unique_ptr<juce::Label> trackRangeLabel;
    std::unique_ptr<juce::ComboBox> baudBox;
    std::unique_ptr<juce::Label> serialCommLabel;
    std::unique_ptr<juce::Slider> volumeSlider;
    std::unique_ptr<juce::Label> outputVolumeLabel;
    std::unique_ptr<juce::HyperlinkButton> helpLink;
    std::unique_ptr<juce::TextEditor> initTextEditor;
    std::unique_ptr<juce::ComboBox> triggerComboBox;
    std::unique_ptr<juce::ComboBox> interfaceComboBox;
    std::unique_ptr<juce::TextButton> addButton;
    std::unique_ptr<juce::TextButton> updateButton;
    std::unique_ptr<juce::TextButton> deleteButton;
    std::unique_ptr<juce::Label> triggerLabel;
    std::unique_ptr<juce::Label> hardwareInterfaceLabel;
    std::unique_ptr<juce::ToggleButton> retriggerToggleButton;
    std::unique_ptr<juce::TextButton> resetButton;
    std::unique_ptr<juce::Label> lowLabel;
    std::unique_ptr<juce::Label> highLabel;
    std::unique_ptr<juce::ToggleButton> ampToggleButton;
    std::unique_ptr<juce::Label> initFileContentsLabel;
    std::unique_ptr<juce::TextButton> testButton;
    std::unique_ptr<juce::ComboBox> portComboBox;
    std::unique_ptr<juce::Label> portLabel;
    std::unique_ptr<juce::ComboBox> testBaudComboBox;
    std::unique_ptr<juce::Label> baudrateLabel;
    std::unique_ptr<juce::Slider> trigVolumeSlider;
    std::unique_ptr<juce::Label> trigVolumeLabel;
    std::unique_ptr<juce::TextButton> stopButton;
    std::unique_ptr<juce::TextButton> copyButton;
    std::unique_ptr<juce::ToggleButton> velocityToggleButton;
    std::unique_ptr<juce::Slider> releaseSlider;
    std::unique_ptr<juce::Label> defaultReleaseLabel;
    std::unique_ptr<juce::ToggleButton> lpToggleButton;
    std::unique_ptr<juce::Label> sleepLabel;
    std::unique_ptr<juce::ComboBox> sleepBox;
    std::unique_ptr<juce::ComboBox> pitchBox;
    std::unique_ptr<juce::Label> pitchBendLabel;
    std::unique_ptr<juce::ToggleButton> noteOffToggleButton;
    std::unique_ptr<juce::ToggleButton> loopToggleButton;
    std::unique_ptr<juce::ToggleButton> lockToggle;
    std::unique_ptr<juce::ComboBox> channelBox;
    std::unique_ptr<juce::Label> channelLabel;

private:
    // Construction, in MainComponent.cpp.
    void createWidgets();
    void addComboBoxItems();
    void destroyWidgets();

    // Trigger editing rules and buttons (MainComponentTriggers.cpp).
    void functionChanged();
    void typeChanged();
    void interfaceChanged();
    void triggerSelectionChanged();
    void addClicked();
    void updateClicked();
    void deleteClicked();
    void copyClicked();
    void resetClicked();

    // The trigger widgets read into a record, as a line or a test sends them.
    TriggerSettings currentTriggerSettings() const;
    // The line for the given trigger number from the trigger widgets; empty,
    // after the "Track Range Error" box, when the track range is refused.
    juce::String makeTriggerLineFor (int triggerNumber);
    // Inserts a built line for the selected trigger at its sorted place.
    void insertTriggerLine (const juce::String& line);
    void showLineState();
    void showNoLineState();
    // The selected trigger's line in the widgets (or the defaults when it has
    // none), with the buttons that go with it.
    void showSelectedTrigger();
    void finishTriggerWrite();

    // System settings (MainComponentSystem.cpp).
    void enableMidiSettings (bool enabled);
    void resetMidiSettings();
    void baudChanged();
    void volumeChanged();
    void ampToggled();
    void lowPowerToggled();
    void sleepChanged();
    void releaseChanged();
    void midiOptionToggled();
    void pitchChanged();
    void channelChanged();

    // Whole files (MainComponentFiles.cpp).
    void newClicked();
    void openClicked();
    void saveAsClicked();

    // Serial test link (MainComponentTestLink.cpp).
    void startTestLink();
    void portChanged();
    void stopAllClicked();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
