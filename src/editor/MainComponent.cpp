#include "editor/MainComponent.h"
#include "editor/InitLineModel.h"
#include "link/Communicator.h"

namespace
{
const juce::Colour groupTextColour (0x9effffff);
const juce::Colour backgroundColour (0xff364d95);
const juce::Colour statusBackgroundColour (0xff8da3da);
const juce::Colour testButtonColour (0xffd00009);

const char* const userGuideAddress = "https://kelvarin.example/quorvel/user-guide";
} // namespace

MainComponent::MainComponent()
{
    createWidgets();

    setSize (800, 640);

    testButton->setEnabled (false);

    addComboBoxItems();

    lowText->setInputRestrictions (4, "0123456789");
    highText->setInputRestrictions (4, "0123456789");

    juce::Font viewFont;
    viewFont.setTypefaceName (juce::Font::getDefaultMonospacedFontName());
    viewFont.setSizeAndStyle (11.0f, juce::Font::plain, 1.0f, 0.0f);
    initTextEditor->setFont (viewFont);

    resetToDefaults();

    startTestLink();
}

MainComponent::~MainComponent()
{
    // The link's threads must be gone before any widget they could reach.
    if (communicator != nullptr)
    {
        communicator->disconnect();
        communicator->removeChangeListener (this);
        communicator.reset();
    }

    destroyWidgets();
    initLines.clear();
}

void MainComponent::createWidgets()
{
    auto adopt = [this] (auto& member, auto* widget)
    {
        member.reset (widget);
        addAndMakeVisible (widget);
        return widget;
    };

    auto group = [&] (std::unique_ptr<juce::GroupComponent>& member, const juce::String& text,
                      std::function<void (juce::GroupComponent&)> extra = {})
    {
        auto* g = adopt (member, new juce::GroupComponent ("new group", text));
        if (extra)
            extra (*g);
        g->setColour (juce::GroupComponent::textColourId, groupTextColour);
    };

    auto label = [&] (std::unique_ptr<juce::Label>& member, const juce::String& text,
                      std::function<void (juce::Label&)> extra = {})
    {
        auto* l = adopt (member, new juce::Label ("new label", text));
        l->setFont (juce::Font (15.0f, juce::Font::plain));
        l->setJustificationType (juce::Justification::centredLeft);
        l->setEditable (false, false, false);
        if (extra)
            extra (*l);
        l->setColour (juce::TextEditor::textColourId, juce::Colours::black);
        l->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
    };

    auto textButton =
        [&] (std::unique_ptr<juce::TextButton>& member, const juce::String& name, const juce::String& text)
    {
        auto* b = adopt (member, new juce::TextButton (name));
        b->setButtonText (text);
        b->addListener (this);
    };

    auto toggle = [&] (std::unique_ptr<juce::ToggleButton>& member, const juce::String& name, const juce::String& text)
    {
        auto* b = adopt (member, new juce::ToggleButton (name));
        b->setButtonText (text);
        b->addListener (this);
    };

    auto comboBox = [&] (std::unique_ptr<juce::ComboBox>& member, const juce::String& name,
                         juce::Justification justification = juce::Justification::centredLeft)
    {
        auto* c = adopt (member, new juce::ComboBox (name));
        c->setEditableText (false);
        c->setJustificationType (justification);
        c->setTextWhenNothingSelected (juce::String());
        c->setTextWhenNoChoicesAvailable (TRANS ("(no choices)"));
        c->addListener (this);
    };

    auto slider = [&] (std::unique_ptr<juce::Slider>& member, const juce::String& name, double minimum, double maximum,
                       std::function<void (juce::Slider&)> extra = {})
    {
        auto* s = adopt (member, new juce::Slider (name));
        s->setRange (minimum, maximum, 1);
        s->setSliderStyle (juce::Slider::LinearHorizontal);
        s->setTextBoxStyle (juce::Slider::TextBoxRight, false, 40, 20);
        if (extra)
            extra (*s);
        s->addListener (this);
    };

    auto textField = [&] (std::unique_ptr<juce::TextEditor>& member, const juce::String& name, bool multiLine)
    {
        auto* t = adopt (member, new juce::TextEditor (name));
        t->setMultiLine (multiLine);
        t->setReturnKeyStartsNewLine (multiLine);
        t->setReadOnly (false);
        t->setScrollbarsShown (multiLine);
        t->setCaretVisible (true);
        t->setPopupMenuEnabled (true);
        t->setText (juce::String());
    };

    group (midiGroup, TRANS ("MIDI"));
    group (testPortGroup, TRANS ("Trigger Test COM Port (optional)"));
    group (triggerGroup, TRANS ("Trigger Settings"),
           [] (juce::GroupComponent& g)
           { g.setColour (juce::GroupComponent::outlineColourId, juce::Colour (0x66000000)); });
    textButton (quitButton, juce::String(), TRANS ("Quit"));
    label (statusLabel, juce::String(),
           [] (juce::Label& l)
           {
               l.setColour (juce::Label::backgroundColourId, statusBackgroundColour);
               l.setColour (juce::Label::textColourId, juce::Colours::black);
               l.setColour (juce::Label::outlineColourId, juce::Colour (0x00000000));
           });
    comboBox (functionBox, "function box");
    comboBox (typeBox, "type box");
    toggle (invertToggle, "invert toggle", TRANS ("Invert"));
    toggle (polyToggle, "poly toggle", TRANS ("Polyphonic"));
    textField (lowText, "low text", false);
    textField (highText, "high text", false);
    textButton (newButton, "new button", TRANS ("New"));
    textButton (openButton, "open button", TRANS ("Open"));
    textButton (saveAsButton, "save as button", TRANS ("Save As"));
    group (systemGroup, TRANS ("System"));
    label (functionLabel, TRANS ("Function"));
    label (typeLabel, TRANS ("Type"));
    label (trackRangeLabel, TRANS ("Track Range"));
    comboBox (baudBox, "baud box");
    label (serialCommLabel, TRANS ("Serial Comm."));
    slider (volumeSlider, "volume slider", -20, 10,
            [] (juce::Slider& s) { s.setColour (juce::Slider::rotarySliderFillColourId, juce::Colour (0x7f000000)); });
    label (outputVolumeLabel, TRANS ("Output Volume (dB)"));

    {
        auto* link = adopt (helpLink, new juce::HyperlinkButton (TRANS ("Help"), juce::URL (userGuideAddress)));
        link->setTooltip (TRANS (userGuideAddress));
        link->setButtonText (TRANS ("Help"));
        link->addListener (this);
        link->setColour (juce::HyperlinkButton::textColourId, groupTextColour);
    }

    textField (initTextEditor, "init text editor", true);
    comboBox (triggerComboBox, "trigger combo box");
    comboBox (interfaceComboBox, "interface combo box");
    textButton (addButton, "add button", TRANS ("Add"));
    textButton (updateButton, "update button", TRANS ("Update"));
    textButton (deleteButton, "delete button", TRANS ("Delete"));
    label (triggerLabel, TRANS ("Trigger"));
    label (hardwareInterfaceLabel, TRANS ("Hardware Interface"));
    toggle (retriggerToggleButton, "retrigger toggle button", TRANS ("Re-Triggers"));
    textButton (resetButton, "reset button", TRANS ("Reset"));
    label (lowLabel, TRANS ("Low"));
    label (highLabel, TRANS ("High"));
    toggle (ampToggleButton, "amp toggle button", TRANS ("Audio Amp Power"));
    label (initFileContentsLabel, TRANS ("Init File Contents:"),
           [] (juce::Label& l) { l.setColour (juce::Label::textColourId, groupTextColour); });
    textButton (testButton, "delete button", TRANS ("Test"));
    testButton->setColour (juce::TextButton::buttonColourId, testButtonColour);
    comboBox (portComboBox, "new combo box");
    label (portLabel, TRANS ("Port:"));
    comboBox (testBaudComboBox, "new combo box");
    label (baudrateLabel, TRANS ("Baudrate:"));
    slider (trigVolumeSlider, "trig volume slider", -20, 10);
    label (trigVolumeLabel, TRANS ("Trigger Volume (dB)"));
    textButton (stopButton, "stop button", TRANS ("StopAll"));
    textButton (copyButton, "copy button", TRANS ("Copy"));
    toggle (velocityToggleButton, "velocity toggle button", TRANS ("Ignore Velocity"));
    slider (releaseSlider, "release slider", 0, 127);
    label (defaultReleaseLabel, TRANS ("Default Release (msec)"));
    toggle (lpToggleButton, "lp toggle button", TRANS ("Low Power Option"));
    label (sleepLabel, TRANS ("Sleep\nAfter"));
    comboBox (sleepBox, "sleep box");
    comboBox (pitchBox, "pitch box");
    label (pitchBendLabel, TRANS ("Pitch Bend\nSemitones"));
    toggle (noteOffToggleButton, "noteOff toggle button", TRANS ("Ignore Note-Offs"));
    toggle (loopToggleButton, "new toggle button", TRANS ("Loop"));
    toggle (lockToggle, "lock toggle", TRANS ("Lock Voice"));
    comboBox (channelBox, "channel box", juce::Justification::centredRight);
    label (channelLabel, TRANS ("Channel"));
}

void MainComponent::addComboBoxItems()
{
    const juce::StringArray rates{ "1200 bps", "2400 bps", "9600 bps", "19.2 kbps", "38.4 kbps", "57.6 kbps" };

    testBaudComboBox->addItemList (rates, 1);
    testBaudComboBox->setSelectedId (6, juce::sendNotificationAsync);
    testBaudComboBox->setEnabled (false);

    baudBox->addItemList (rates, 1);
    baudBox->addItem ("MIDI", 7);

    sleepBox->addItemList ({ "15 sec", "30 sec", "1 min", "2 min", "3 min", "4 min", "5 min", "10 min", "15 min",
                             "30 min", "45 min", "1 hr" },
                           1);

    for (int semitones = 1; semitones <= 5; ++semitones)
        pitchBox->addItem (juce::String (semitones), semitones);

    channelBox->addItem ("Omni", 1);
    for (int channel = 1; channel <= 16; ++channel)
        channelBox->addItem (juce::String (channel), channel + 1);

    for (int trigger = 1; trigger <= 16; ++trigger)
        triggerComboBox->addItem (juce::String (trigger), trigger);

    interfaceComboBox->addItemList ({ "Contact Closure", "Active (3.3V / 5V)" }, 1);

    functionBox->addItemList ({ "Normal", "Next", "Previous", "Random", "Pause", "Resume", "Stop", "Volume Up",
                                "Volume Dn", "MIDI Bank Up", "MIDI Bank Dn", "Trig Bank Up", "Trig Bank Dn" },
                              1);

    typeBox->addItemList ({ "Edge", "Level", "Latch" }, 1);
}

void MainComponent::destroyWidgets()
{
    // In creation order; each member is cleared before its widget goes.
    auto destroy = [] (auto& member) { delete member.release(); };

    destroy (midiGroup);
    destroy (testPortGroup);
    destroy (triggerGroup);
    destroy (quitButton);
    destroy (statusLabel);
    destroy (functionBox);
    destroy (typeBox);
    destroy (invertToggle);
    destroy (polyToggle);
    destroy (lowText);
    destroy (highText);
    destroy (newButton);
    destroy (openButton);
    destroy (saveAsButton);
    destroy (systemGroup);
    destroy (functionLabel);
    destroy (typeLabel);
    destroy (trackRangeLabel);
    destroy (baudBox);
    destroy (serialCommLabel);
    destroy (volumeSlider);
    destroy (outputVolumeLabel);
    destroy (helpLink);
    destroy (initTextEditor);
    destroy (triggerComboBox);
    destroy (interfaceComboBox);
    destroy (addButton);
    destroy (updateButton);
    destroy (deleteButton);
    destroy (triggerLabel);
    destroy (hardwareInterfaceLabel);
    destroy (retriggerToggleButton);
    destroy (resetButton);
    destroy (lowLabel);
    destroy (highLabel);
    destroy (ampToggleButton);
    destroy (initFileContentsLabel);
    destroy (testButton);
    destroy (portComboBox);
    destroy (portLabel);
    destroy (testBaudComboBox);
    destroy (baudrateLabel);
    destroy (trigVolumeSlider);
    destroy (trigVolumeLabel);
    destroy (stopButton);
    destroy (copyButton);
    destroy (velocityToggleButton);
    destroy (releaseSlider);
    destroy (defaultReleaseLabel);
    destroy (lpToggleButton);
    destroy (sleepLabel);
    destroy (sleepBox);
    destroy (pitchBox);
    destroy (pitchBendLabel);
    destroy (noteOffToggleButton);
    destroy (loopToggleButton);
    destroy (lockToggle);
    destroy (channelBox);
    destroy (channelLabel);
}

void MainComponent::paint (juce::Graphics& g)
{
    g.fillAll (backgroundColour);
}

void MainComponent::resized()
{
    midiGroup->setBounds (32, 259, 184, 220);
    testPortGroup->setBounds (243, 276, 526, 76);
    triggerGroup->setBounds (244, 16, 526, 249);
    quitButton->setBounds (148, 533, 63, 24);
    statusLabel->setBounds (0, getHeight() - 24, proportionOfWidth (1.0f), 24);
    functionBox->setBounds (625, 62, 112, 24);
    typeBox->setBounds (510, 62, 98, 24);
    invertToggle->setBounds (273, 105, 65, 24);
    polyToggle->setBounds (447, 105, 96, 24);
    lowText->setBounds (626, 129, 44, 20);
    highText->setBounds (692, 129, 44, 20);
    newButton->setBounds (36, 571, 63, 24);
    openButton->setBounds (36, 500, 63, 24);
    saveAsButton->setBounds (36, 535, 63, 24);
    systemGroup->setBounds (32, 16, 184, 233);
    functionLabel->setBounds (619, 39, 63, 24);
    typeLabel->setBounds (505, 38, 47, 24);
    trackRangeLabel->setBounds (619, 106, 87, 24);
    baudBox->setBounds (59, 58, 133, 24);
    serialCommLabel->setBounds (52, 34, 105, 24);
    volumeSlider->setBounds (52, 112, 140, 24);
    outputVolumeLabel->setBounds (51, 90, 150, 24);
    helpLink->setBounds (145, 570, 68, 24);
    initTextEditor->setBounds (248, 381, 520, 215);
    triggerComboBox->setBounds (277, 62, 56, 24);
    interfaceComboBox->setBounds (350, 62, 143, 24);
    addButton->setBounds (356, 221, 63, 24);
    updateButton->setBounds (436, 221, 63, 24);
    deleteButton->setBounds (516, 221, 63, 24);
    triggerLabel->setBounds (271, 38, 56, 24);
    hardwareInterfaceLabel->setBounds (344, 38, 141, 24);
    retriggerToggleButton->setBounds (343, 105, 95, 24);
    resetButton->setBounds (276, 221, 63, 24);
    lowLabel->setBounds (621, 147, 40, 24);
    highLabel->setBounds (687, 148, 40, 24);
    ampToggleButton->setBounds (51, 145, 136, 24);
    initFileContentsLabel->setBounds (243, 357, 125, 24);
    testButton->setBounds (676, 221, 63, 24);
    portComboBox->setBounds (323, 308, 208, 24);
    portLabel->setBounds (275, 308, 48, 24);
    testBaudComboBox->setBounds (632, 308, 104, 24);
    baudrateLabel->setBounds (559, 309, 72, 24);
    trigVolumeSlider->setBounds (408, 180, 140, 24);
    trigVolumeLabel->setBounds (274, 179, 150, 24);
    stopButton->setBounds (148, 499, 63, 24);
    copyButton->setBounds (596, 221, 63, 24);
    velocityToggleButton->setBounds (51, 419, 150, 24);
    releaseSlider->setBounds (52, 388, 140, 24);
    defaultReleaseLabel->setBounds (51, 366, 155, 24);
    lpToggleButton->setBounds (51, 175, 136, 24);
    sleepLabel->setBounds (51, 199, 56, 32);
    sleepBox->setBounds (96, 203, 96, 24);
    pitchBox->setBounds (134, 330, 58, 24);
    pitchBendLabel->setBounds (52, 322, 80, 40);
    noteOffToggleButton->setBounds (51, 442, 150, 24);
    loopToggleButton->setBounds (546, 106, 62, 24);
    lockToggle->setBounds (273, 138, 93, 24);
    channelBox->setBounds (118, 289, 74, 24);
    channelLabel->setBounds (51, 288, 62, 24);
}

void MainComponent::resetToDefaults()
{
    const auto quietly = juce::dontSendNotification;

    baudBox->setSelectedId (6, quietly);
    volumeSlider->setValue (0, quietly);
    ampToggleButton->setToggleState (false, quietly);
    triggerComboBox->setSelectedId (1, quietly);

    resetTriggerSettings();

    showNoLineState();
    resetMidiSettings();

    lpToggleButton->setToggleState (false, quietly);
    sleepLabel->setEnabled (false);
    sleepBox->setEnabled (false);
    sleepBox->setSelectedId (7, quietly);

    initLines.clear();
    initLines.addArray (initfile::headerBlock());

    refreshInitText();
}

void MainComponent::changeListenerCallback (juce::ChangeBroadcaster*)
{
    // The link's notifications (thread started, frame received, thread ended)
    // have no visible effect.
}

void MainComponent::buttonClicked (juce::Button* button)
{
    if (button == quitButton.get())
        juce::JUCEApplication::quit();
    else if (button == invertToggle.get())
        return;
    else if (button == polyToggle.get())
        return;
    else if (button == newButton.get())
        newClicked();
    else if (button == openButton.get())
        openClicked();
    else if (button == saveAsButton.get())
        saveAsClicked();
    else if (button == helpLink.get())
        return; // the link opens its address by itself
    else if (button == addButton.get())
        addClicked();
    else if (button == updateButton.get())
        updateClicked();
    else if (button == deleteButton.get())
        deleteClicked();
    else if (button == retriggerToggleButton.get())
        return;
    else if (button == resetButton.get())
        resetClicked();
    else if (button == ampToggleButton.get())
        ampToggled();
    else if (button == testButton.get())
        sendTestTrigger();
    else if (button == stopButton.get())
        stopAllClicked();
    else if (button == copyButton.get())
        copyClicked();
    else if (button == velocityToggleButton.get())
        midiOptionToggled();
    else if (button == lpToggleButton.get())
        lowPowerToggled();
    else if (button == noteOffToggleButton.get())
        midiOptionToggled();
}

void MainComponent::comboBoxChanged (juce::ComboBox* comboBox)
{
    if (comboBox == functionBox.get())
        functionChanged();
    else if (comboBox == typeBox.get())
        typeChanged();
    else if (comboBox == baudBox.get())
        baudChanged();
    else if (comboBox == triggerComboBox.get())
        triggerSelectionChanged();
    else if (comboBox == interfaceComboBox.get())
        interfaceChanged();
    else if (comboBox == portComboBox.get())
        portChanged();
    else if (comboBox == testBaudComboBox.get())
        return; // the test link always runs at the board's fixed rate
    else if (comboBox == sleepBox.get())
        sleepChanged();
    else if (comboBox == pitchBox.get())
        pitchChanged();
    else if (comboBox == channelBox.get())
        channelChanged();
}

void MainComponent::sliderValueChanged (juce::Slider* slider)
{
    if (slider == volumeSlider.get())
        volumeChanged();
    else if (slider == trigVolumeSlider.get())
        return; // read only when a trigger line is built or sent
    else if (slider == releaseSlider.get())
        releaseChanged();
}
