#include "editor/MainComponent.h"
#include "link/Communicator.h"
#include "link/TriggerSettings.h"
#include "serial/SerialPort.h"

namespace
{
const char* const portOpenedText = "  >COM port opened successfully";
const char* const portFailedText = "  >COM port could not be opened!";
const char* const noPortsText = "  >No compatible COM ports found";
const char* const noPortsItem = "No USB Serial Devices!";
} // namespace

void MainComponent::startTestLink()
{
    communicator = std::make_unique<Communicator>();
    communicator->addChangeListener (this);

    const auto ports = SerialPort::listPorts();

    int count = 0;
    for (auto& name : ports.getAllKeys())
        if (name.contains ("COM"))
            portComboBox->addItem (name, ++count);

    if (count == 0)
        portComboBox->addItem (noPortsItem, 1);

    // The asynchronous notification comes back with the id already current,
    // so it does not connect a second time.
    currentPortId = 1;
    portComboBox->setSelectedId (1, juce::sendNotificationAsync);

    if (count == 0)
    {
        statusLabel->setText (TRANS (noPortsText), juce::dontSendNotification);
        comPortOpen = false;
    }
    else
    {
        comPortOpen = communicator->connect (portComboBox->getText());
        statusLabel->setText (TRANS (comPortOpen ? portOpenedText : portFailedText), juce::dontSendNotification);
    }

    stopButton->setEnabled (comPortOpen);
}

void MainComponent::portChanged()
{
    const int id = portComboBox->getSelectedId();

    if (id == currentPortId)
        return;

    currentPortId = id;
    const auto name = portComboBox->getText();

    if (communicator->connected)
        communicator->disconnect();

    comPortOpen = communicator->connect (name);

    if (comPortOpen)
    {
        // "Test" waits for the next trigger action to decide.
        statusLabel->setText (TRANS (portOpenedText), juce::dontSendNotification);
    }
    else
    {
        statusLabel->setText (TRANS (portFailedText), juce::dontSendNotification);
        testButton->setEnabled (false);
    }

    stopButton->setEnabled (comPortOpen);
}

void MainComponent::stopAllClicked()
{
    communicator->sendStopAll();
}

void MainComponent::sendTestTrigger()
{
    // What the widgets show now, whether or not the trigger's line is in the
    // file yet; a refused index (no trigger selected) just sends nothing.
    communicator->sendTriggerSettings (currentTriggerSettings(), triggerComboBox->getSelectedId() - 1);
}
