#include <gtest/gtest.h>

#include "link/CommandFrames.h"
#include "link/Communicator.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/MessageLoop.h"
#include "support/PseudoTerminal.h"

#include <atomic>
#include <random>
#include <thread>
#include <time.h>
#include <memory>

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes stopAllBytes{ 0xF0, 0xAA, 0x05, 0x04, 0x55 };

struct ChangeCounter : juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

// A pseudo-terminal listed as a COM port, with the board's end in the test.
struct FakeBoard
{
    explicit FakeBoard (const std::string& description = "Fake Board")
    {
#if defined(_WIN32)
        // Under wine the line already is a COM port of its own.
        friendlyName = juce::String (description) + " (" + pty.getComName() + ")";
        comNumber = juce::String (pty.getComName()).getTrailingIntValue();
#else
        comNumber = PortRegistry::registerDevice (pty.getSlavePath(), description);
        const auto comName = "(COM" + juce::String (comNumber) + ")";
        const auto ports = SerialPort::listPorts();

        for (auto& name : ports.getAllKeys())
            if (name.endsWith (comName))
                friendlyName = name;
#endif
    }

    testsupport::PseudoTerminal pty;
    int comNumber = 0;
    juce::String friendlyName;
};

// The streams' threads still alive in the process; 0 where that cannot be
// seen. (The link's own thread keeps the process's name on Linux, whose
// thread names have at most 15 characters; isThreadRunning() tells of it.)
int countStreamThreads()
{
    int count = 0;
#if defined(__linux__)
    for (auto& task : juce::File ("/proc/self/task").findChildFiles (juce::File::findDirectories, false))
    {
        const auto name = task.getChildFile ("comm").loadFileAsString().trim();

        if (name == "SerialInThread" || name == "SerialOutThread")
            ++count;
    }
#endif
    return count;
}

// CPU time of the whole process, all threads; -1 where that cannot be seen.
double processCpuSeconds()
{
#if defined(__linux__)
    timespec t{};
    clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double) t.tv_sec + (double) t.tv_nsec * 1e-9;
#else
    return -1.0;
#endif
}

double secondsSince (juce::uint32 startMs)
{
    return (juce::Time::getMillisecondCounter() - startMs) / 1000.0;
}

class CommunicatorTest : public ::testing::Test
{
protected:
    void SetUp() override { link.addChangeListener (&changes); }

    void TearDown() override
    {
        link.disconnect();
        link.removeChangeListener (&changes);
    }

    bool waitForChanges (int atLeast)
    {
        return testsupport::runMessageLoopUntil ([&] { return changes.count >= atLeast; }, 5000);
    }

    bool waitForThreadsToEnd()
    {
        return testsupport::runMessageLoopUntil ([&] { return countStreamThreads() == 0; }, 5000);
    }

    PortRegistry::ScopedRegisteredDevicesOnly onlyFakeBoards;
    ChangeCounter changes;
    Communicator link;
};
} // namespace

TEST (CommunicatorPaths, OpenThePortNumberTheNameShows)
{
    const std::pair<const char*, const char*> cases[] = {
        { "USB Serial Port (COM3)", "\\\\.\\COM3" },
        { "USB Serial Port (COM12)", "\\\\.\\COM12" },
        { "COM4", "\\\\.\\COM4" },
        { "Comm Port (COM5)", "\\\\.\\COM5" },
        { "Board (COM100)", "\\\\.\\COM100" },
        { "Board (COM2561)", "\\\\.\\COM2561" },
        { "Communications Port", "\\\\.\\" },
        { "", "\\\\.\\" },
    };

    for (auto& [name, path] : cases)
        EXPECT_EQ (Communicator::devicePathFor (name), juce::String (path)) << name;
}

TEST_F (CommunicatorTest, ConnectedLinkQueuesWholeFramesAndTakesTheBoardsFirstFrame)
{
    FakeBoard board;
    ASSERT_TRUE (board.pty.isValid());
    ASSERT_TRUE (board.friendlyName.isNotEmpty());

    ASSERT_TRUE (link.connect (board.friendlyName));
    EXPECT_TRUE (link.connected);
    ASSERT_TRUE (waitForChanges (1)) << "no message when the thread started";
#if defined(__linux__)
    EXPECT_EQ (countStreamThreads(), 2) << "the writer and the reader";
#endif

    TriggerSettings settings;
    settings.volumeDb = -20;
    settings.lowTrack = 300;
    ASSERT_TRUE (link.sendTriggerSettings (settings, 15));
    EXPECT_FALSE (link.sendTriggerSettings (settings, 16));
    EXPECT_FALSE (link.sendTriggerSettings (settings, -1));
    ASSERT_TRUE (link.sendStopAll());

    frames::TriggerSettingsFrame expected;
    ASSERT_TRUE (frames::makeTriggerSettingsFrame (settings, 15, expected));
    Bytes wanted (expected.begin(), expected.end());
    wanted.insert (wanted.end(), stopAllBytes.begin(), stopAllBytes.end());

    // Exactly the two accepted frames, in order; the refused ones left no trace.
    EXPECT_EQ (board.pty.readFromFarSide (wanted.size()), wanted);
    EXPECT_TRUE (board.pty.readUntilQuiet (100).empty());

    const int beforeFrame = changes.count;
    ASSERT_TRUE (board.pty.writeFromFarSide ({ 0x13, 0xF0, 0xAA, 0x06, 0x07, 0x08, 0x55 }));
    ASSERT_TRUE (waitForChanges (beforeFrame + 1)) << "no message for a complete frame";
    EXPECT_TRUE (link.getReceiver().isMessageReady());

    const int beforeEnd = changes.count;
    link.disconnect();
    EXPECT_FALSE (link.connected);
    EXPECT_FALSE (link.isThreadRunning());
    EXPECT_TRUE (waitForChanges (beforeEnd + 1)) << "no message when the thread ended";
    EXPECT_TRUE (waitForThreadsToEnd());

    EXPECT_EQ (link.getReceiver().getBuffer()[0], 4);
    EXPECT_EQ (link.getReceiver().getBuffer()[1], 0x07);
    EXPECT_EQ (link.getReceiver().getBuffer()[2], 0x08);

    // Once disconnected, nothing can be queued any more.
    EXPECT_FALSE (link.sendStopAll());
    EXPECT_FALSE (link.sendTriggerSettings (settings, 0));
}

TEST_F (CommunicatorTest, LinksWithoutAnOpenPortRefuseToSendAndDisconnectSafely)
{
    // Never connected.
    EXPECT_FALSE (link.sendStopAll());
    EXPECT_FALSE (link.sendTriggerSettings ({}, 0));
    link.disconnect();
    link.disconnect();
    EXPECT_FALSE (link.connected);

    // A port nobody has, and a name that shows no port at all.
    for (auto* name : { "Gone Board (COM9999)", "Communications Port" })
    {
        EXPECT_FALSE (link.connect (name)) << name;
        EXPECT_FALSE (link.connected);
        EXPECT_FALSE (link.isThreadRunning());
        EXPECT_FALSE (link.sendStopAll());
        EXPECT_FALSE (link.sendTriggerSettings ({}, 0));
    }

    // A failed attempt does not get in the way of the next good one.
    FakeBoard board;
    ASSERT_TRUE (link.connect (board.friendlyName));
    ASSERT_TRUE (link.sendStopAll());
    EXPECT_EQ (board.pty.readFromFarSide (5), stopAllBytes);

    link.disconnect();
    link.disconnect();
    EXPECT_FALSE (link.connected);
    EXPECT_TRUE (waitForThreadsToEnd());
}

#if ! defined(_WIN32)
TEST_F (CommunicatorTest, PortNumbersOfThreeDigitsOpenTheirOwnPort)
{
    // A terminal node never seen before gets the next free number; keep the
    // earlier ones open so that the system hands out a new node.
    std::vector<std::unique_ptr<testsupport::PseudoTerminal>> seen;
    do
        seen.push_back (std::make_unique<testsupport::PseudoTerminal>());
    while (! PortRegistry::getComName (seen.back()->getSlavePath()).empty() && seen.size() < 200);

    // Use up the low numbers, so that the board becomes COM100 or higher, a
    // name that also starts like the two-digit COM10.
    for (int i = 0; PortRegistry::registerDevice ("/nonexistent/quorvel-pad-" + std::to_string (i), "pad") < 99; ++i)
        ;

    auto& pty = *seen.back();
    const int comNumber = PortRegistry::registerDevice (pty.getSlavePath(), "Far Board");
    ASSERT_GE (comNumber, 100);

    juce::String friendlyName;
    const auto ports = SerialPort::listPorts();
    for (auto& name : ports.getAllKeys())
        if (name.endsWith ("(COM" + juce::String (comNumber) + ")"))
            friendlyName = name;

    ASSERT_TRUE (link.connect (friendlyName)) << friendlyName;
    ASSERT_TRUE (link.sendStopAll());
    EXPECT_EQ (pty.readFromFarSide (5), stopAllBytes);
}
#endif

TEST_F (CommunicatorTest, SwitchingPortsOverAndOverAlwaysTalksToTheChosenBoard)
{
    FakeBoard first ("First Board"), second ("Second Board");
    FakeBoard* boards[] = { &first, &second };

    for (int round = 0; round < 40; ++round)
    {
        auto& board = *boards[round % 2];

        if (link.connected)
            link.disconnect();

        ASSERT_TRUE (link.connect (board.friendlyName)) << "round " << round;
        ASSERT_TRUE (link.sendStopAll());
        ASSERT_EQ (board.pty.readFromFarSide (5, 5000), stopAllBytes) << "round " << round;

        if (round == 0)
        {
            ASSERT_TRUE (board.pty.writeFromFarSide (stopAllBytes));
            ASSERT_TRUE (testsupport::runMessageLoopUntil ([&] { return link.getReceiver().isMessageReady(); }));
        }
    }

    link.disconnect();
    EXPECT_TRUE (waitForThreadsToEnd()) << "threads left behind by the switching";

    // Nothing went to the board that was not chosen at the time.
    EXPECT_TRUE (first.pty.readUntilQuiet (50).empty());
    EXPECT_TRUE (second.pty.readUntilQuiet (50).empty());

    // Each run starts with a clean buffer, while the frame taken in the very
    // first run still counts.
    EXPECT_TRUE (link.getReceiver().isMessageReady());
    EXPECT_EQ (link.getReceiver().getBuffer()[1], 0);
}

TEST_F (CommunicatorTest, BoardVanishingWhileConnectedCostsNoCpuAndQuittingStillEndsEveryThread)
{
    FakeBoard board;
    ASSERT_TRUE (link.connect (board.friendlyName));
    ASSERT_TRUE (waitForChanges (1));

    board.pty.closeFarSide();

    // Frames sent into the void are still only queued.
    EXPECT_TRUE (link.sendStopAll());

    // Over half a second the whole process stays far from a spinning core.
    const auto cpuBefore = processCpuSeconds();
    juce::Thread::sleep (500);
    const auto cpuUsed = processCpuSeconds() - cpuBefore;
    if (cpuBefore >= 0)
    {
        EXPECT_LT (cpuUsed, 0.25) << "a thread spins on the hung-up line";
    }

    const auto start = juce::Time::getMillisecondCounter();
    link.disconnect();
    EXPECT_LT (secondsSince (start), 2.0) << "the link's thread had to be given up on";
    EXPECT_FALSE (link.isThreadRunning());
    EXPECT_TRUE (waitForThreadsToEnd());
}

TEST_F (CommunicatorTest, FloodOfRandomBytesNeitherCrashesNorDelaysDisconnect)
{
    FakeBoard board;
    ASSERT_TRUE (link.connect (board.friendlyName));
    ASSERT_TRUE (waitForChanges (1));

    std::atomic<bool> flooding{ true };
    std::atomic<size_t> sent{ 0 };

    std::thread flood (
        [&]
        {
            std::mt19937 random (1234);
            Bytes chunk (4096);

            while (flooding)
            {
                for (auto& b : chunk)
                    b = (uint8_t) random();

                if (board.pty.writeFromFarSide (chunk, 20))
                    sent += chunk.size();
            }
        });

    // Let the flood build up well past what one poll takes in.
    testsupport::runMessageLoopUntil ([&] { return sent > 256 * 1024; }, 3000);

    // The link's own thread must notice the stop between two bytes, well
    // inside its time limit, while the board is still sending...
    auto start = juce::Time::getMillisecondCounter();
    EXPECT_TRUE (link.stopThread (2000));
    EXPECT_LT (secondsSince (start), 1.0) << "the link's thread kept draining";

    // ... and so must the streams' threads when the link lets go of them.
    start = juce::Time::getMillisecondCounter();
    link.disconnect();
    const auto took = secondsSince (start);

    flooding = false;
    flood.join();

    EXPECT_GT (sent.load(), 0u);
    EXPECT_LT (took, 2.0) << "disconnect waited on a thread that kept draining";
    EXPECT_FALSE (link.isThreadRunning());
    EXPECT_TRUE (waitForThreadsToEnd());

    // The link is as good as new afterwards.
    FakeBoard next ("Next Board");
    ASSERT_TRUE (link.connect (next.friendlyName));
    ASSERT_TRUE (link.sendStopAll());
    EXPECT_EQ (next.pty.readFromFarSide (5), stopAllBytes);
}
