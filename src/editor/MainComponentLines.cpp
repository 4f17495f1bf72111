#include "editor/MainComponent.h"
#include "editor/InitLineModel.h"

void MainComponent::refreshInitText()
{
    initTextEditor->clear();
    initTextEditor->setText (initfile::viewText (initLines), true);
}

void MainComponent::removeInitLine (int index)
{
    if (index >= 0 && index < initLines.size())
        initLines.remove (index);
}

int MainComponent::getTriggerNumber (juce::String entry)
{
    return initfile::triggerNumberOf (entry);
}

int MainComponent::findTriggerLine (int triggerNumber)
{
    return initfile::findTriggerLine (initLines, triggerNumber);
}

bool MainComponent::addTriggerLine()
{
    const auto line = makeTriggerLine();
    if (line.isEmpty())
        return false;

    insertTriggerLine (line);
    return true;
}

void MainComponent::insertTriggerLine (const juce::String& line)
{
    const int triggerNumber = triggerComboBox->getSelectedId();
    initLines.insert (initfile::triggerLineInsertIndex (initLines, triggerNumber), line);
}
