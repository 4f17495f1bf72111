#pragma once

#include <juce_events/juce_events.h>

#include <memory>

#include "link/FrameParser.h"
#include "link/TriggerSettings.h"

class SerialPort;
class SerialPortInputStream;
class SerialPortOutputStream;
struct SerialPortConfig;

// The link to a board on a COM port. While connected it owns the port and its
// two threaded streams, and its own thread polls what arrives and picks the
// board's frames out of it. A change message goes out when that thread starts,
// when a frame has arrived and when the thread ends.
//
// connect, disconnect and the send operations belong to the message thread.
class Communicator : public juce::Thread, public juce::ChangeBroadcaster
{
public:
    Communicator();
    ~Communicator() override;

    // Opens the port that the friendly name shows (e.g. "USB Serial Port
    // (COM3)") at the board's line settings; true when the link is now up.
    // Ends an earlier connection first.
    bool connect (const juce::String& friendlyName);

    // Stops the link's thread, then the writer, then the reader, then closes
    // the port. Safe in every state, also twice in a row.
    void disconnect();

    // Each queues one whole frame for the writer and returns at once; false
    // when nothing was queued (no open link, or no such trigger index).
    bool sendTriggerSettings (const TriggerSettings& settings, int triggerIndex);
    bool sendStopAll();

    // The device path that connect opens for a friendly name: "\\.\" and the
    // name's "COM" with its port number, or "\\.\" alone when the name shows
    // no "COM".
    static juce::String devicePathFor (const juce::String& friendlyName);

    // The board's line, which every connect asks the port for: 57600 bit/s,
    // 8 data bits, no parity, one stop bit, no flow control.
    static SerialPortConfig lineSettings();

    // The receive state. Only the link's thread changes it, so read the
    // buffer only while the link is not running.
    const FrameParser& getReceiver() const { return receiver; }

    bool connected = false;

private:
    void run() override;

    std::unique_ptr<SerialPort> serialPort;
    std::unique_ptr<SerialPortOutputStream> outputStream;
    std::unique_ptr<SerialPortInputStream> inputStream;

    FrameParser receiver;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Communicator)
};
