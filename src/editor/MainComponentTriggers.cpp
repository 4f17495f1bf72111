#include "editor/MainComponent.h"
#include "editor/InitLineModel.h"
#include "editor/TriggerLine.h"
#include "link/TriggerSettings.h"

namespace
{
// Functions 1 to 4 play tracks themselves, so re-triggering and polyphony
// mean something only for them.
bool functionPlaysTracks (int functionId)
{
    return functionId >= 1 && functionId <= 4;
}

void showTrackRangeError()
{
    // Asynchronous: the build fails at once and the box stays up on its own.
    juce::AlertWindow::showMessageBoxAsync (
        juce::MessageBoxIconType::InfoIcon, TRANS ("Track Range Error"),
        TRANS ("Track Range values for this Trigger Function type must be set to 1 - 4096, with HIGH >= LOW"));
}
} // namespace

//==============================================================================
void MainComponent::resetTriggerSettings()
{
    const auto quietly = juce::dontSendNotification;

    interfaceComboBox->setSelectedId (1, quietly);
    functionBox->setSelectedId (1, quietly);
    typeBox->setSelectedId (1, quietly);
    typeBox->setEnabled (true);
    invertToggle->setToggleState (false, quietly);
    retriggerToggleButton->setToggleState (true, quietly);
    retriggerToggleButton->setEnabled (true);
    loopToggleButton->setToggleState (false, quietly);
    loopToggleButton->setEnabled (true);
    lockToggle->setToggleState (false, quietly);
    polyToggle->setToggleState (true, quietly);
    polyToggle->setEnabled (true);
    trigVolumeSlider->setValue (0, quietly);
    trigVolumeSlider->setEnabled (true);
    lowText->setText (juce::String(), false);
    lowText->setEnabled (false);
    highText->setText (juce::String(), false);
    highText->setEnabled (false);
}

TriggerSettings MainComponent::currentTriggerSettings() const
{
    // Disabled widgets count too: the line carries whatever state they hold.
    TriggerSettings settings;
    settings.interfaceId = interfaceComboBox->getSelectedId();
    settings.invert = invertToggle->getToggleState();
    settings.typeId = typeBox->getSelectedId();
    settings.flags = (retriggerToggleButton->getToggleState() ? 1 : 0) | (loopToggleButton->getToggleState() ? 2 : 0)
                     | (lockToggle->getToggleState() ? 4 : 0);
    settings.polyphonic = polyToggle->getToggleState();
    settings.functionId = functionBox->getSelectedId();
    settings.volumeDb = (int) trigVolumeSlider->getValue();
    settings.lowTrack = initfile::atoiOf (lowText->getText());
    settings.highTrack = initfile::atoiOf (highText->getText());
    return settings;
}

juce::String MainComponent::makeTriggerLine()
{
    return makeTriggerLineFor (triggerComboBox->getSelectedId());
}

juce::String MainComponent::makeTriggerLineFor (int triggerNumber)
{
    const auto settings = currentTriggerSettings();
    const auto line = triggerline::formatTriggerLine (triggerNumber, settings);

    if (line.isEmpty())
    {
        // What the user typed stays, so it can be corrected.
        showTrackRangeError();
        return {};
    }

    // A line without a range empties the range fields too.
    if (! triggerline::functionTakesTrackRange (settings.functionId))
    {
        lowText->setText (juce::String(), true);
        highText->setText (juce::String(), true);
    }

    return line;
}

bool MainComponent::parseTriggerLine (juce::String line)
{
    triggerline::ParsedTriggerLine parsed;
    if (! triggerline::parseTriggerLine (line, parsed))
        return false;

    const auto quietly = juce::dontSendNotification;

    triggerComboBox->setSelectedId (parsed.triggerNumber, quietly);
    resetTriggerSettings();

    // A field that is missing or out of range keeps the default just set.
    if (parsed.interfaceId.accepted)
        interfaceComboBox->setSelectedId (parsed.interfaceId.value, quietly);

    if (parsed.invert.present)
        invertToggle->setToggleState (parsed.invert.value != 0, quietly);

    if (parsed.typeId.accepted)
        typeBox->setSelectedId (parsed.typeId.value, quietly);

    if (parsed.flags.present)
    {
        retriggerToggleButton->setToggleState ((parsed.flags.value & 1) != 0, quietly);
        loopToggleButton->setToggleState ((parsed.flags.value & 2) != 0, quietly);
        lockToggle->setToggleState ((parsed.flags.value & 4) != 0, quietly);
    }

    if (parsed.polyphonic.present)
        polyToggle->setToggleState (parsed.polyphonic.value != 0, quietly);

    if (parsed.functionId.accepted)
        functionBox->setSelectedId (parsed.functionId.value, quietly);

    if (parsed.volumeDb.accepted)
        trigVolumeSlider->setValue (parsed.volumeDb.value, juce::sendNotificationAsync);

    auto trackText = [] (const triggerline::ParsedField& field)
    { return field.accepted ? juce::String (field.value) : juce::String(); };

    if (parsed.lowTrack.present)
        lowText->setText (trackText (parsed.lowTrack), true);

    if (parsed.highTrack.present)
        highText->setText (trackText (parsed.highTrack), true);

    // A loaded line keeps every toggle as written; only what may be edited
    // follows the type and function it carries.
    const int typeId = typeBox->getSelectedId();
    const int functionId = functionBox->getSelectedId();
    const bool playsTracks = functionPlaysTracks (functionId);
    const bool rangeEditable = functionId >= 1 && functionId <= 7;

    retriggerToggleButton->setEnabled (typeId != 2 && playsTracks);
    polyToggle->setEnabled (playsTracks);
    lowText->setEnabled (rangeEditable);
    highText->setEnabled (rangeEditable);
    trigVolumeSlider->setEnabled (functionId >= 1 && functionId <= 3);

    return true;
}

//==============================================================================
void MainComponent::functionChanged()
{
    const int functionId = functionBox->getSelectedId();

    // The bank functions leave every other trigger widget as it is.
    if (functionId < 1 || functionId > 9)
        return;

    const auto quietly = juce::dontSendNotification;
    const bool takesRange = triggerline::functionTakesTrackRange (functionId);
    const bool playsTracks = functionPlaysTracks (functionId);

    lowText->setText (takesRange ? "1" : "", false);
    lowText->setEnabled (takesRange);
    highText->setText (takesRange ? "16" : "", false);
    highText->setEnabled (takesRange);

    retriggerToggleButton->setEnabled (playsTracks);
    retriggerToggleButton->setToggleState (playsTracks, quietly);
    polyToggle->setEnabled (playsTracks);
    polyToggle->setToggleState (playsTracks, quietly);

    // Notified later, so that the type rule runs for "Edge" after this one.
    typeBox->setSelectedId (1, juce::sendNotificationAsync);
    typeBox->setEnabled (functionId <= 7);

    trigVolumeSlider->setValue (0, juce::sendNotificationAsync);
    trigVolumeSlider->setEnabled (playsTracks);
}

void MainComponent::typeChanged()
{
    const auto quietly = juce::dontSendNotification;

    switch (typeBox->getSelectedId())
    {
        case 1: // Edge
            retriggerToggleButton->setEnabled (true);
            retriggerToggleButton->setToggleState (true, quietly);
            loopToggleButton->setEnabled (true);
            loopToggleButton->setToggleState (false, quietly);
            break;

        case 2: // Level
            retriggerToggleButton->setEnabled (false);
            retriggerToggleButton->setToggleState (false, quietly);
            loopToggleButton->setEnabled (false);
            loopToggleButton->setToggleState (false, quietly);
            break;

        case 3: // Latch
            retriggerToggleButton->setEnabled (true);
            retriggerToggleButton->setToggleState (false, quietly);
            loopToggleButton->setEnabled (false);
            loopToggleButton->setToggleState (false, quietly);
            break;

        default: break;
    }
}

void MainComponent::interfaceChanged()
{
    // An active input is usually wired the other way round from a contact.
    invertToggle->setToggleState (interfaceComboBox->getSelectedId() != 1, juce::dontSendNotification);
}

void MainComponent::triggerSelectionChanged()
{
    showSelectedTrigger();
}

void MainComponent::showSelectedTrigger()
{
    const int index = findTriggerLine (triggerComboBox->getSelectedId());

    if (initfile::isPresentTriggerLine (index))
    {
        parseTriggerLine (initLines[index]);
        showLineState();
    }
    else
    {
        resetTriggerSettings();
        showNoLineState();
    }
}

//==============================================================================
void MainComponent::addClicked()
{
    if (addTriggerLine())
        finishTriggerWrite();
}

void MainComponent::updateClicked()
{
    // The new line is built before the old one goes, so a refused track range
    // cannot lose the line the user had saved.
    const auto line = makeTriggerLine();
    if (line.isEmpty())
        return;

    const int index = findTriggerLine (triggerComboBox->getSelectedId());
    if (initfile::isPresentTriggerLine (index))
        removeInitLine (index);

    insertTriggerLine (line);
    finishTriggerWrite();
}

void MainComponent::deleteClicked()
{
    const int index = findTriggerLine (triggerComboBox->getSelectedId());
    if (! initfile::isPresentTriggerLine (index))
        return;

    removeInitLine (index);
    showNoLineState();
    refreshInitText();
}

void MainComponent::copyClicked()
{
    const int triggerNumber = triggerComboBox->getSelectedId();

    if (triggerNumber >= triggerline::highestTriggerNumber)
    {
        copyButton->setEnabled (false);
        return;
    }

    // The next trigger's line is built first: when its range is refused,
    // nothing moves and the line it may already have stays.
    const int nextTrigger = triggerNumber + 1;
    const auto line = makeTriggerLineFor (nextTrigger);
    if (line.isEmpty())
        return;

    triggerComboBox->setSelectedId (nextTrigger, juce::dontSendNotification);

    const int index = findTriggerLine (nextTrigger);
    if (initfile::isPresentTriggerLine (index))
        removeInitLine (index);

    insertTriggerLine (line);
    finishTriggerWrite();
}

void MainComponent::resetClicked()
{
    resetTriggerSettings();
}

//==============================================================================
void MainComponent::showLineState()
{
    addButton->setEnabled (false);
    updateButton->setEnabled (true);
    deleteButton->setEnabled (true);
    copyButton->setEnabled (true);

    // "Test" needs an open port; without one it keeps whatever state it had.
    if (comPortOpen)
        testButton->setEnabled (true);
}

void MainComponent::showNoLineState()
{
    addButton->setEnabled (true);
    updateButton->setEnabled (false);
    deleteButton->setEnabled (false);
    copyButton->setEnabled (false);
    testButton->setEnabled (false);
}

void MainComponent::finishTriggerWrite()
{
    refreshInitText();
    showLineState();
}
