#include "editor/MainComponent.h"
#include "editor/InitLineModel.h"

void MainComponent::refreshInitText()
{
    const auto text = initfile::viewText (initLines);
    initTextEditor->clear();
    // setText skips a text equal to what the view holds, as an empty one is after clear(), and
    // leaves the view's value at an earlier text that a change still queued would bring back.
    initTextEditor->getTextValue() = text;
    initTextEditor->setText (text, true);
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
