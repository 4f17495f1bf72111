#include "link/FrameParser.h"
#include "link/CommandFrames.h"

void FrameParser::restart()
{
    rxBuffer.fill (0);
    rxPosition = 0;
}

bool FrameParser::processByte (uint8_t b)
{
    switch (rxPosition)
    {
        case 0:
            if (! messageReady && b == frames::firstStartByte)
                rxPosition = 1;
            return false;

        case 1:
            // A second 0xF0 here is not taken for a new start.
            rxPosition = (b == frames::secondStartByte) ? 2 : 0;
            return false;

        case 2:
            if (b >= 1 && b <= longestFrame)
            {
                rxEndPosition = b - 1;
                rxBuffer[0] = (uint8_t) (b - 2);
                rxPosition = 3;
            }
            else
            {
                rxPosition = 0;
            }
            return false;

        default: break;
    }

    if (rxPosition == rxEndPosition)
    {
        rxPosition = 0;

        if (b != frames::endByte)
            return false;

        messageReady = true;
        return true;
    }

    // Lengths below 4 put the end position behind us; the position limit is
    // what brings the parser back to waiting then.
    rxBuffer[(size_t) (rxPosition - 2)] = b;

    if (++rxPosition >= positionLimit)
        rxPosition = 0;

    return false;
}

int drainInput (juce::InputStream& input, FrameParser& parser, const std::function<bool()>& shouldStop,
                const std::function<void()>& frameComplete)
{
    int taken = 0;

    while (! shouldStop() && input.getTotalLength() > 0)
    {
        uint8_t b = 0;

        if (input.read (&b, 1) != 1)
            break;

        ++taken;

        if (parser.processByte (b) && frameComplete)
            frameComplete();
    }

    return taken;
}
