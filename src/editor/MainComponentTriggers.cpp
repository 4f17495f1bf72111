#include "editor/MainComponent.h"

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

juce::String MainComponent::makeTriggerLine() { return {}; }
bool MainComponent::parseTriggerLine (juce::String) { return false; }
void MainComponent::functionChanged() {}
void MainComponent::typeChanged() {}
void MainComponent::interfaceChanged() {}
void MainComponent::triggerSelectionChanged() {}
void MainComponent::addClicked() {}
void MainComponent::updateClicked() {}
void MainComponent::deleteClicked() {}
void MainComponent::copyClicked() {}
void MainComponent::resetClicked() {}
