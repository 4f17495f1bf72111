#pragma once

#include <juce_events/juce_events.h>

#include <atomic>

#include "serial/SerialPort.h"

// Bytes arriving at a port, gathered by the thread "SerialInThread" into a
// queue from which read() takes them without ever waiting.
//
// The port must stay open until the stream is destroyed; the stream never
// closes it.
class SerialPortInputStream : public juce::InputStream, public juce::ChangeBroadcaster, private juce::Thread
{
public:
    enum NotifyType : juce::int32
    {
        notifyOff = 0,
        notifyOnChar = 1, // a change message when the byte equal to notifyChar arrives
        notifyAlways = 2  // a change message for every byte
    };

    explicit SerialPortInputStream (SerialPort* port);
    ~SerialPortInputStream() override;

    // The number of bytes waiting now, not a length of the stream.
    juce::int64 getTotalLength() override;
    bool isExhausted() override;
    int read (void* destBuffer, int maxBytesToRead) override;

    // Up to a line feed, or to the last byte waiting; trailing white space,
    // and so the CR of a CR LF, is dropped. Bytes from 0x80 up are taken as
    // the Latin-1 characters of the same code.
    juce::String readNextLine() override;

    juce::int64 getPosition() override { return -1; }
    bool setPosition (juce::int64) override { return false; }

private:
    void run() override;

    SerialPort* port;
    int bufferedBytes = 0;
    juce::MemoryBlock buffer;
    juce::CriticalSection bufferLock;
    NotifyType notifyType = notifyOff;
    char notifyChar = 0;

    JUCE_DECLARE_NON_COPYABLE (SerialPortInputStream)
};

// Bytes for a port: write() only queues them, and the thread
// "SerialOutThread" writes them to the port in chunks of at most 128 bytes,
// in order, each byte once. Bytes still queued when the stream is destroyed
// are dropped.
//
// The port must stay open until the stream is destroyed; the stream never
// closes it.
class SerialPortOutputStream : public juce::OutputStream, private juce::Thread
{
public:
    explicit SerialPortOutputStream (SerialPort* port);
    ~SerialPortOutputStream() override;

    void flush() override {}
    bool setPosition (juce::int64) override { return false; }
    juce::int64 getPosition() override { return -1; }

    // Queues the bytes and wakes the writer; never waits for the port.
    // False only for a count the queue cannot hold.
    bool write (const void* dataToWrite, size_t numberOfBytes) override;

private:
    void run() override;
    bool waitForPendingWrite (OVERLAPPED& overlapped);

    SerialPort* port;
    std::atomic<int> bufferedBytes{ 0 }; // read without the lock by the idle writer, changed only under it
    juce::MemoryBlock buffer;
    juce::CriticalSection bufferLock;
    HANDLE dataReadyEvent = nullptr;

    JUCE_DECLARE_NON_COPYABLE (SerialPortOutputStream)
};
