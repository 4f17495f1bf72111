#include "editor/MainComponent.h"
#include "editor/InitFileReader.h"
#include "editor/InitFileWriter.h"
#include "editor/SystemSettings.h"

namespace
{
const char* const filePattern = "*.ini";

void showFileProblem (const juce::String& title, const juce::String& message)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}
} // namespace

void MainComponent::newClicked()
{
    resetToDefaults();
}

void MainComponent::openClicked()
{
    const auto initialFile = juce::File::getCurrentWorkingDirectory().getChildFile (filePattern);
    juce::FileChooser chooser (TRANS ("Choose a file to open..."), initialFile, filePattern, true);

    if (chooser.showDialog (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles, nullptr))
        loadInitFile (chooser.getResult());
}

void MainComponent::saveAsClicked()
{
    const auto initialFile = juce::File::getCurrentWorkingDirectory().getChildFile ("quorvel.ini");
    juce::FileChooser chooser (TRANS ("Choose a file to save..."), initialFile, filePattern, true);

    if (chooser.showDialog (juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                                | juce::FileBrowserComponent::warnAboutOverwriting,
                            nullptr))
        saveInitFile (chooser.getResult());
}

bool MainComponent::loadInitFile (const juce::File& file)
{
    // Read before anything is reset: a file that can't be read must not cost
    // the user the work in the editor.
    juce::StringArray lines;
    if (! initfile::readEntriesFromFile (file, lines))
    {
        showFileProblem (TRANS ("File Not Opened"), TRANS ("The file could not be read:") + "\n"
                                                        + file.getFullPathName() + "\n\n"
                                                        + TRANS ("Nothing in the editor has changed."));
        return false;
    }

    resetToDefaults();
    initLines = std::move (lines);
    refreshInitText();

    // Everything below is set quietly: reading a file must not write lines.
    const auto quietly = juce::dontSendNotification;
    const auto settings = systemsettings::readFileSettings (initLines);

    baudBox->setSelectedId (settings.baudId, quietly);

    if (settings.midiWidgetsEnabled)
        enableMidiSettings (true);

    velocityToggleButton->setToggleState (settings.ignoreVelocity, quietly);
    noteOffToggleButton->setToggleState (settings.ignoreNoteOffs, quietly);
    releaseSlider->setValue (settings.releaseMs, quietly);
    pitchBox->setSelectedId (settings.pitchId, quietly);
    channelBox->setSelectedId (settings.channelId, quietly);
    volumeSlider->setValue (settings.volumeDb, quietly);
    ampToggleButton->setToggleState (settings.ampOn, quietly);

    if (settings.lowPowerOn)
    {
        lpToggleButton->setToggleState (true, quietly);
        sleepBox->setEnabled (true);
        sleepLabel->setEnabled (true);
    }

    sleepBox->setSelectedId (settings.sleepId, quietly);

    // The trigger selected after the reset is shown from its line, if it has one.
    showSelectedTrigger();
    return true;
}

bool MainComponent::saveInitFile (const juce::File& file)
{
    const auto bytes = initfile::bytesToSave (initTextEditor->getText());
    const bool fileWasThere = file.existsAsFile();

    initfile::SaveFailure failure;
    if (initfile::replaceFileContent (file, bytes.getData(), bytes.getSize(), &failure))
        return true;

    auto message = TRANS ("The file could not be saved:") + "\n" + file.getFullPathName();
    if (failure.reason.isNotEmpty())
        message << "\n" << failure.reason;
    if (failure.newTextKeptIn != juce::File())
        message << "\n\n" << TRANS ("The new text is in:") << "\n" << failure.newTextKeptIn.getFullPathName();
    else if (failure.targetMayHoldPartOfNewText)
        message << "\n\n"
                << TRANS ("The file may now hold only part of the new text. The whole text is still in the editor.");
    else if (fileWasThere)
        message << "\n\n" << TRANS ("An existing file of that name has been left as it was.");

    showFileProblem (TRANS ("File Not Saved"), message);
    return false;
}
