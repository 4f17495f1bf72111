#include <gtest/gtest.h>

#include "link/CommandFrames.h"
#include "link/Communicator.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/MessageLoop.h"
#include "support/ProcessState.h"
#include "support/PseudoTerminal.h"

#include <ctime>

#if ! defined(_WIN32)
#include <termios.h>
#endif

namespace
{
// A pseudo-terminal that is a COM port, with the board's end in the test.
struct FakeBoard
{
    testsupport::PseudoTerminal pty;
#if defined(_WIN32)
    juce::String friendlyName = juce::String ("Fake Board (") + pty.getComName() + ")";
#else
    juce::String friendlyName =
        "Fake Board (COM" + juce::String (PortRegistry::registerDevice (pty.getSlavePath(), "Fake Board")) + ")";
#endif
};

class CommunicatorTest : public ::testing::Test, juce::ChangeListener
{
protected:
    void SetUp() override { link.addChangeListener (this); }
    void TearDown() override { link.disconnect(); }
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++changes; }

    // Each step waits for its message before the next, so that none merge.
    bool waitForChanges (int count)
    {
        return testsupport::runMessageLoopUntil ([&] { return changes >= count; }) && changes == count;
    }

    // Seen on Linux only.
    static bool waitForStreamThreadsToEnd()
    {
        return testsupport::runMessageLoopUntil ([] { return testsupport::streamThreadCounter() == 0; });
    }

    static juce::String hex (const std::vector<uint8_t>& b)
    {
        return juce::String::toHexString (b.data(), (int) b.size());
    }
    juce::String receivedStart() const { return juce::String::toHexString (link.getReceiver().getBuffer(), 3); }

    PortRegistry::ScopedRegisteredDevicesOnly onlyFakeBoards;
    int changes = 0;
    Communicator link;
};
} // namespace

TEST (CommunicatorPaths, OpenThePortNumberTheNameShows)
{
    const std::pair<const char*, const char*> cases[] = { { "USB Serial Port (COM3)", "\\\\.\\COM3" },
                                                          { "COM4", "\\\\.\\COM4" },
                                                          { "Comm Port (COM5)", "\\\\.\\COM5" },
                                                          { "Board (COM100)", "\\\\.\\COM100" },
                                                          { "Communications Port", "\\\\.\\" } };

    for (auto& [name, path] : cases)
        EXPECT_EQ (Communicator::devicePathFor (name), juce::String (path)) << name;
}

TEST (CommunicatorLine, IsTheBoards57600Bits8N1WithoutFlowControl)
{
    const auto line = Communicator::lineSettings();
    EXPECT_EQ (std::vector<int> ({ line.bps, line.dataBits, line.parity, line.stopBits, line.flowControl }),
               std::vector<int> ({ 57600, 8, 0, 0, 0 }));
}

TEST_F (CommunicatorTest, LinkSendsWholeFramesTakesOneFrameAndLetsGoOfThePort)
{
    // A port nobody has fails without a trace, and without a message.
    EXPECT_FALSE (link.connect ("Gone Board (COM9999)"));
    EXPECT_FALSE (link.connected || link.isThreadRunning() || link.sendStopAll() || link.sendTriggerSettings ({}, 0));

    FakeBoard board, nextBoard;
    ASSERT_TRUE (link.connect (board.friendlyName)) << board.friendlyName;
    EXPECT_TRUE (link.connected);

    // Nothing has arrived yet, so the only message can be the thread's start.
    ASSERT_TRUE (waitForChanges (1)) << "no single message when the thread started";

#if ! defined(_WIN32)
    termios line{};
    // The master side reads and sets the terminal settings of the program's end.
    ASSERT_EQ (tcgetattr (board.pty.getMasterFd(), &line), 0);
    EXPECT_EQ (cfgetospeed (&line), (speed_t) B57600);
    EXPECT_EQ (line.c_cflag & (CSTOPB | CRTSCTS), 0u);
#endif

    // Exactly the frames sent, whole and in order.
    frames::TriggerSettingsFrame frame;
    ASSERT_TRUE (frames::makeTriggerSettingsFrame ({}, 15, frame) && link.sendTriggerSettings ({}, 15));
    ASSERT_TRUE (link.sendStopAll());
    EXPECT_EQ (hex (board.pty.readFromFarSide (22)), hex ({ frame.begin(), frame.end() }) + " f0 aa 05 04 55");

    ASSERT_TRUE (board.pty.writeFromFarSide ({ 0x13, 0xF0, 0xAA, 0x06, 0x07, 0x08, 0x55 }));
    ASSERT_TRUE (waitForChanges (2)) << "no single message for a complete frame";

    link.disconnect();
    EXPECT_FALSE (link.connected || link.isThreadRunning() || link.sendStopAll() || link.sendTriggerSettings ({}, 0));
    EXPECT_TRUE (waitForChanges (3)) << "no single message when the thread ended";
    EXPECT_TRUE (waitForStreamThreadsToEnd());
    EXPECT_EQ (receivedStart(), "04 07 08");

    SerialPort other; // the port is free for others again
    EXPECT_TRUE (other.open (Communicator::devicePathFor (board.friendlyName)));

    // The next run starts with a clear buffer, while the frame taken in the
    // first one still counts.
    ASSERT_TRUE (link.connect (nextBoard.friendlyName));
    ASSERT_TRUE (waitForChanges (4));
    ASSERT_TRUE (link.sendStopAll());
    EXPECT_EQ (hex (nextBoard.pty.readFromFarSide (5)), "f0 aa 05 04 55");

    // The board goes away; nothing may spin on the hung-up line.
    nextBoard.pty.closeFarSide();
#if ! defined(_WIN32) // where clock() measures wall time
    const auto cpuBefore = std::clock();
    juce::Thread::sleep (250);
    EXPECT_LT (std::clock() - cpuBefore, CLOCKS_PER_SEC / 40) << "a thread keeps a core busy";
#endif
    link.disconnect();
    EXPECT_TRUE (link.getReceiver().isMessageReady());
    EXPECT_EQ (receivedStart(), "00 00 00");
}

TEST_F (CommunicatorTest, DeletingAConnectedLinkStopsItsThreadBeforeItsStreamsGo)
{
    // Each round gives a thread that outlives the streams a chance to crash.
    FakeBoard board;
    for (int round = 0; round < 5; ++round)
    {
        auto doomed = std::make_unique<Communicator>();
        ASSERT_TRUE (doomed->connect (board.friendlyName));
        ASSERT_TRUE (doomed->connect (board.friendlyName)) << "a connect lets go of the port it had";
        doomed.reset(); // no disconnect first, as when the program ends while connected
    }
    EXPECT_TRUE (waitForStreamThreadsToEnd());
}
