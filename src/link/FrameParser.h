#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

// Picks the board's frames out of the received byte stream, one byte at a
// time. The first complete frame is kept and latches messageReady; while it
// is set no further frame is started, so the kept frame stays intact until
// its owner takes it with acceptNextFrame().
//
// The buffer holds L - 2 in byte 0 and the frame's bytes from the command
// byte up to, not including, the end byte from byte 1 on. Bytes beyond the
// current frame keep whatever earlier frames left there.
class FrameParser
{
public:
    static constexpr int bufferSize = 1024;

    // The length byte's range; a frame of fewer than 4 bytes can never meet
    // its end byte, and the collected bytes run out at position 32.
    static constexpr int longestFrame = 31;
    static constexpr int positionLimit = 32;

    // A new run of the link: buffer zeroed, waiting for a start byte. The
    // latch and the end position are kept.
    void restart();

    // Returns true when b completed a frame.
    bool processByte (uint8_t b);

    bool isMessageReady() const { return messageReady.load(); }

    // Frees the latch so that the next frame can be taken.
    void acceptNextFrame() { messageReady = false; }

    const uint8_t* getBuffer() const { return rxBuffer.data(); }
    int getPosition() const { return rxPosition; }

    // Of the kept frame (valid while isMessageReady()): its total length, its
    // command byte, and its data bytes after the command byte.
    int getFrameLength() const { return rxBuffer[0] + 2; }
    int getCommand() const { return getFrameLength() > 4 ? rxBuffer[1] : -1; }
    const uint8_t* getData() const { return rxBuffer.data() + 2; }
    int getDataSize() const { return juce::jmax (0, getFrameLength() - 5); }

private:
    std::array<uint8_t, bufferSize> rxBuffer{};
    int rxPosition = 0;
    int rxEndPosition = 0;

    // Read from other threads while the link's thread runs.
    std::atomic<bool> messageReady{ false };
};

// Moves every byte queued in input through the parser, one byte per read, and
// calls frameComplete for each frame the parser completes. Asks shouldStop
// before every byte, so that a sender that never pauses cannot keep the
// caller from noticing that it is meant to stop. Returns the bytes taken.
int drainInput (juce::InputStream& input, FrameParser& parser, const std::function<bool()>& shouldStop,
                const std::function<void()>& frameComplete);
