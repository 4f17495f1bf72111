#include "link/Communicator.h"
#include "link/CommandFrames.h"
#include "serial/SerialPort.h"
#include "serial/SerialPortStreams.h"

namespace
{
// Long enough for the thread to notice the exit request between two polls.
constexpr int threadStopTimeoutMs = 2000;
} // namespace

Communicator::Communicator()
    : juce::Thread ("Communicator Thread")
{
}

Communicator::~Communicator()
{
    // The owner disconnects before deleting the link; doing it again costs
    // nothing and keeps the thread and streams from outliving the port if it
    // did not.
    disconnect();
}

SerialPortConfig Communicator::lineSettings()
{
    SerialPortConfig config;
    config.bps = 57600;
    config.dataBits = 8;
    config.parity = 0;
    config.stopBits = 0;
    config.flowControl = 0;
    return config;
}

juce::String Communicator::devicePathFor (const juce::String& friendlyName)
{
    juce::String path ("\\\\.\\");

    // Case-sensitive, so that a word like "Comm" in the name is passed over.
    const int start = friendlyName.indexOf ("COM");

    if (start < 0)
        return path;

    // The whole number, however many digits: COM100 and up are real ports.
    int end = start + 3;
    while (end < friendlyName.length() && juce::CharacterFunctions::isDigit (friendlyName[end]))
        ++end;

    return path + friendlyName.substring (start, end);
}

bool Communicator::connect (const juce::String& friendlyName)
{
    // The streams of an earlier connection must never outlive the port they use.
    disconnect();

    auto port = std::make_unique<SerialPort>();
    port->open (devicePathFor (friendlyName));

    // A port that refuses the settings still works with the ones it has.
    port->setConfig (lineSettings());

    serialPort = std::move (port);

    if (! serialPort->isOpen())
        return false;

    outputStream = std::make_unique<SerialPortOutputStream> (serialPort.get());
    inputStream = std::make_unique<SerialPortInputStream> (serialPort.get());
    connected = true;
    startThread();
    return true;
}

void Communicator::disconnect()
{
    stopThread (threadStopTimeoutMs);

    // Writer before reader, and both before the port they use.
    outputStream.reset();
    inputStream.reset();

    if (serialPort != nullptr)
    {
        if (serialPort->isOpen())
            serialPort->close();

        serialPort.reset();
    }

    connected = false;
}

bool Communicator::sendTriggerSettings (const TriggerSettings& settings, int triggerIndex)
{
    if (outputStream == nullptr)
        return false;

    frames::TriggerSettingsFrame frame;

    if (! frames::makeTriggerSettingsFrame (settings, triggerIndex, frame))
        return false;

    // One write per frame: the writer never sends half a frame or mixes two.
    return outputStream->write (frame.data(), frame.size());
}

bool Communicator::sendStopAll()
{
    if (outputStream == nullptr)
        return false;

    const auto frame = frames::makeStopAllFrame();
    return outputStream->write (frame.data(), frame.size());
}

void Communicator::run()
{
    receiver.restart();
    sendChangeMessage();

    while (! threadShouldExit())
    {
        // The exit request is tested between bytes too: a board that never
        // stops sending must not keep disconnect waiting until the thread is
        // killed, possibly while it holds the input queue's lock.
        drainInput (
            *inputStream, receiver, [this] { return threadShouldExit(); }, [this] { sendChangeMessage(); });

        juce::Thread::sleep (1);
    }

    sendChangeMessage();
}
