#include "editor/MainComponent.h"
#include "editor/SystemSettings.h"

using namespace systemsettings;

namespace
{
const auto quietly = juce::dontSendNotification;

// The line replacement every system setting goes through: all entries of the
// keywords go, wherever they stand, the new line (if the value has one) goes
// on top, and the view follows even when nothing was inserted.
void replaceSystemLines (MainComponent& editor, std::initializer_list<const char*> keywords,
                         const juce::String& newLine)
{
    for (auto* keyword : keywords)
        removeKeywordLines (editor.initLines, keyword);

    if (newLine.isNotEmpty())
        editor.initLines.insert (0, newLine);

    editor.refreshInitText();
}

int valueOf (const juce::Slider& slider)
{
    return (int) slider.getValue(); // truncated toward zero; the step of 1 keeps it whole anyway
}
} // namespace

void MainComponent::enableMidiSettings (bool enabled)
{
    for (auto* widget : std::initializer_list<juce::Component*>{
             releaseSlider.get(), defaultReleaseLabel.get(), velocityToggleButton.get(), noteOffToggleButton.get(),
             pitchBox.get(), pitchBendLabel.get(), channelBox.get(), channelLabel.get() })
        widget->setEnabled (enabled);
}

void MainComponent::resetMidiSettings()
{
    enableMidiSettings (false);

    releaseSlider->setValue (0, quietly);
    velocityToggleButton->setToggleState (false, quietly);
    noteOffToggleButton->setToggleState (false, quietly);
    pitchBox->setSelectedId (defaultPitchId, quietly);
    channelBox->setSelectedId (omniChannelId, quietly);
}

void MainComponent::volumeChanged()
{
    replaceSystemLines (*this, { volumeKeyword }, volumeLine (valueOf (*volumeSlider)));
}

void MainComponent::releaseChanged()
{
    replaceSystemLines (*this, { releaseKeyword }, releaseLine (valueOf (*releaseSlider)));
}

void MainComponent::baudChanged()
{
    const int id = baudBox->getSelectedId();
    const bool midiMode = (id == midiBaudId);

    // The MIDI settings become usable with whatever they hold, which is their
    // defaults: leaving MIDI mode always puts them back.
    if (midiMode)
        enableMidiSettings (true);
    else
        resetMidiSettings();

    // A rate and MIDI mode exclude each other, and the MIDI lines only mean
    // something in MIDI mode, so every one of them goes whatever was chosen.
    replaceSystemLines (*this, { baudKeyword, midiKeyword, releaseKeyword, bendKeyword, channelKeyword },
                        baudLine (id));
}

void MainComponent::pitchChanged()
{
    replaceSystemLines (*this, { bendKeyword }, pitchLine (pitchBox->getSelectedId()));
}

void MainComponent::channelChanged()
{
    replaceSystemLines (*this, { channelKeyword }, channelLine (channelBox->getSelectedId()));
}

void MainComponent::midiOptionToggled()
{
    replaceSystemLines (
        *this, { midiKeyword },
        midiOptionsLine (velocityToggleButton->getToggleState(), noteOffToggleButton->getToggleState()));
}

void MainComponent::ampToggled()
{
    replaceSystemLines (*this, { ampKeyword }, ampLine (ampToggleButton->getToggleState()));
}

void MainComponent::lowPowerToggled()
{
    const bool on = lpToggleButton->getToggleState();

    sleepLabel->setEnabled (on);
    sleepBox->setEnabled (on);

    // Switching on always starts from the default sleep time.
    if (on)
        sleepBox->setSelectedId (defaultSleepId, quietly);

    replaceSystemLines (*this, { lowPowerKeyword }, on ? sleepLine (defaultSleepId) : juce::String());
}

void MainComponent::sleepChanged()
{
    replaceSystemLines (*this, { lowPowerKeyword }, sleepLine (sleepBox->getSelectedId()));
}
