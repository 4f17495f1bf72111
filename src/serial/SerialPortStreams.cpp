#include "serial/SerialPortStreams.h"

#include <climits>
#include <cstring>

namespace
{
constexpr BOOL manualReset = 1;
constexpr BOOL autoReset = 0;
constexpr BOOL notSignalled = 0;
constexpr BOOL waitForCompletion = 1;
constexpr DWORD idleWaitMs = 100;
constexpr int chunkSize = 128;

// Both streams stop their thread the same way: a request, the usual 500 ms,
// and then as long as it takes, because nothing of the stream may go away
// while its thread still uses it.
void stopStreamThread (juce::Thread& thread)
{
    thread.signalThreadShouldExit();
    thread.notify(); // ends a pause in wait()

    if (! thread.waitForThreadToExit (500))
        thread.waitForThreadToExit (-1);
}

// Takes bytes from the head of a queue; an emptied block frees its storage.
void removeFromHead (juce::MemoryBlock& block, size_t count)
{
    block.removeSection (0, count);
}
} // namespace

//==============================================================================
SerialPortInputStream::SerialPortInputStream (SerialPort* portToUse)
    : juce::Thread ("SerialInThread")
    , port (portToUse)
{
    startThread();
}

SerialPortInputStream::~SerialPortInputStream()
{
    stopStreamThread (*this);
}

juce::int64 SerialPortInputStream::getTotalLength()
{
    const juce::ScopedLock sl (bufferLock);
    return bufferedBytes;
}

bool SerialPortInputStream::isExhausted()
{
    const juce::ScopedLock sl (bufferLock);
    return bufferedBytes == 0;
}

int SerialPortInputStream::read (void* destBuffer, int maxBytesToRead)
{
    if (destBuffer == nullptr || maxBytesToRead <= 0)
        return 0;

    const juce::ScopedLock sl (bufferLock);
    const int count = juce::jmin (maxBytesToRead, bufferedBytes);

    if (count == 0)
        return 0;

    std::memcpy (destBuffer, buffer.getData(), (size_t) count);
    removeFromHead (buffer, (size_t) count);
    bufferedBytes -= count;
    return count;
}

juce::String SerialPortInputStream::readNextLine()
{
    juce::String line;
    line.preallocateBytes (32);

    for (;;)
    {
        unsigned char byte = 0;

        if (read (&byte, 1) == 0 || byte == '\n')
            break;

        line += juce::String::charToString ((juce::juce_wchar) byte);
    }

    return line.trimEnd();
}

void SerialPortInputStream::run()
{
    const HANDLE ioEvent = CreateEventA (nullptr, manualReset, notSignalled, nullptr);

    OVERLAPPED overlapped;
    std::memset (&overlapped, 0, sizeof (overlapped));
    overlapped.hEvent = ioEvent;

    // A wait that is still in progress writes its result here when it ends,
    // so both live as long as the thread.
    DWORD arrivedEvents = 0;
    bool waitInProgress = false;

    while (port != nullptr && port->isOpen() && ! threadShouldExit())
    {
        // A wait that outlived the last 100 ms is still on; asking again
        // would only be refused.
        if (! waitInProgress)
            if (! WaitCommEvent (port->handle, &arrivedEvents, &overlapped))
                waitInProgress = GetLastError() == ERROR_IO_PENDING;

        if (WaitForSingleObject (ioEvent, idleWaitMs) != WAIT_OBJECT_0)
            continue;

        waitInProgress = false;

        DWORD mask = 0;

        if (GetCommMask (port->handle, &mask) && (mask & EV_RXCHAR) != 0)
        {
            // A port that never runs dry must not keep the thread from its
            // exit request, or destruction would wait for it for good.
            while (! threadShouldExit())
            {
                unsigned char byte = 0;
                DWORD got = 0;

                if (! ReadFile (port->handle, &byte, 1, &got, &overlapped))
                {
                    if (GetLastError() != ERROR_IO_PENDING)
                        break;
#if defined(_WIN32)
                    // The time-outs ask for reads that return at once, but
                    // wine's serial driver holds a read that finds nothing;
                    // cancelled, it ends the drain instead of waiting for the
                    // next byte (a byte that came meanwhile is still counted).
                    if (WaitForSingleObject (overlapped.hEvent, 0) != WAIT_OBJECT_0)
                        CancelIo (port->handle);
#endif
                    if (! GetOverlappedResult (port->handle, &overlapped, &got, waitForCompletion))
                        break;
                }

                if (got != 1)
                    break;

                const juce::ScopedLock sl (bufferLock);

                if (bufferedBytes == INT_MAX)
                    continue;

                buffer.append (&byte, 1);
                ++bufferedBytes;

                if (notifyType == notifyAlways || (notifyType == notifyOnChar && (char) byte == notifyChar))
                    sendChangeMessage();
            }
        }

        ResetEvent (ioEvent);
    }

    // The driver must be done with the wait before its record goes away.
    if (waitInProgress && port != nullptr && port->isOpen())
    {
        CancelIo (port->handle);
        DWORD ignored = 0;
        GetOverlappedResult (port->handle, &overlapped, &ignored, waitForCompletion);
    }

    CloseHandle (ioEvent);
}

//==============================================================================
SerialPortOutputStream::SerialPortOutputStream (SerialPort* portToUse)
    : juce::Thread ("SerialOutThread")
    , port (portToUse)
{
    dataReadyEvent = CreateEventW (nullptr, autoReset, notSignalled, nullptr);
    startThread();
}

SerialPortOutputStream::~SerialPortOutputStream()
{
    signalThreadShouldExit();
    SetEvent (dataReadyEvent); // an idle writer sees the request now rather than after its wait
    stopStreamThread (*this);
    CloseHandle (dataReadyEvent);
}

bool SerialPortOutputStream::write (const void* dataToWrite, size_t numberOfBytes)
{
    if (dataToWrite == nullptr && numberOfBytes > 0)
        return false;

    {
        const juce::ScopedLock sl (bufferLock);

        // The count is a 32-bit integer; a queue beyond it could not be told.
        if (numberOfBytes > (size_t) (INT_MAX - bufferedBytes.load()))
            return false;

        buffer.append (dataToWrite, numberOfBytes);
        bufferedBytes += (int) numberOfBytes;
    }

    SetEvent (dataReadyEvent);
    return true;
}

bool SerialPortOutputStream::waitForPendingWrite (OVERLAPPED& overlapped)
{
    // A board that stops reading can hold a write for ever: waiting in slices
    // keeps the exit request in view, so that disconnecting and quitting
    // still end in time. The bytes not written are dropped with the queue.
    for (;;)
    {
        const auto result = WaitForSingleObject (overlapped.hEvent, idleWaitMs);

        if (result == WAIT_OBJECT_0)
            return true;

        if (threadShouldExit() || ! port->isOpen())
        {
            if (port->isOpen())
                CancelIo (port->handle);

            return false;
        }

        if (result != WAIT_TIMEOUT)
            wait ((int) idleWaitMs);
    }
}

void SerialPortOutputStream::run()
{
    const HANDLE ioEvent = CreateEventA (nullptr, manualReset, notSignalled, nullptr);

    OVERLAPPED overlapped;
    std::memset (&overlapped, 0, sizeof (overlapped));
    overlapped.hEvent = ioEvent;

    juce::uint8 chunk[chunkSize];

    while (port != nullptr && port->isOpen() && ! threadShouldExit())
    {
        if (bufferedBytes.load() == 0)
        {
            WaitForSingleObject (dataReadyEvent, idleWaitMs);

            if (bufferedBytes.load() == 0)
                continue;
        }

        DWORD written = 0;
        int count = 0;

        {
            // The bytes stay queued until the port has taken them.
            const juce::ScopedLock sl (bufferLock);
            count = juce::jmin (bufferedBytes.load(), chunkSize);
            std::memcpy (chunk, buffer.getData(), (size_t) count);
        }

        ResetEvent (ioEvent);

        if (WriteFile (port->handle, chunk, (DWORD) count, &written, &overlapped) || GetLastError() == ERROR_IO_PENDING)
        {
            waitForPendingWrite (overlapped);

            if (port->isOpen())
                GetOverlappedResult (port->handle, &overlapped, &written, waitForCompletion);
        }
        else
        {
            // Failed at once: no completion will come to wait for. A device
            // that has gone away fails every write, so try again only after
            // a pause, which an exit request ends at once.
            wait ((int) idleWaitMs);
        }

        if (written > 0)
        {
            const juce::ScopedLock sl (bufferLock);
            const int taken = juce::jmin ((int) written, bufferedBytes.load());
            removeFromHead (buffer, (size_t) taken);
            bufferedBytes -= taken;
        }
    }

    CloseHandle (ioEvent);
}
