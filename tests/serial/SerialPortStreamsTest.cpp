#include <gtest/gtest.h>

#include "serial/SerialPortStreams.h"
#include "support/MessageLoop.h"
#include "support/PseudoTerminal.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#if ! defined(_WIN32)
#include <dirent.h>
#include <sys/ioctl.h>
#endif

namespace
{
std::vector<uint8_t> testBytes (size_t count, unsigned seed)
{
    std::mt19937 random (seed);
    std::vector<uint8_t> bytes (count);
    for (auto& b : bytes)
        b = (uint8_t) random();
    return bytes;
}

// A port open on a pseudo-terminal, whose master side plays the board.
struct OpenLine
{
    testsupport::PseudoTerminal line;
    SerialPort port;
    bool opened = line.isValid() && port.open (line.getSlavePath()) && port.setConfig ({ 57600, 8, 0, 0, 0 });
};

#if ! defined(_WIN32)
// This process's stream threads, and the CPU time (clock ticks) they have used.
struct StreamThreads
{
    StreamThreads()
    {
        auto* dir = opendir ("/proc/self/task");
        while (auto* entry = dir != nullptr ? readdir (dir) : nullptr)
        {
            const std::string task = std::string ("/proc/self/task/") + entry->d_name;
            std::string name, stat, field;
            std::getline (std::ifstream (task + "/comm"), name);
            if (name != "SerialInThread" && name != "SerialOutThread")
                continue;

            (name == "SerialInThread" ? in : out)++;
            std::getline (std::ifstream (task + "/stat"), stat);
            std::istringstream fields (stat.substr (stat.rfind (')') + 2));
            for (int i = 3; i <= 15 && fields >> field; ++i)
                if (i >= 14) // utime, stime
                    ticks += std::stol (field);
        }
        if (dir != nullptr)
            closedir (dir);
    }

    int in = 0, out = 0;
    long ticks = 0;
};
#endif

// Runs a step that must end in bounded time; should it hang, setFree is
// called (closing the far side ends any wait for the line) before the failure
// is reported.
bool endsInTime (std::function<void()> step, std::function<void()> setFree)
{
    auto done = std::async (std::launch::async, std::move (step));
    const bool inTime = done.wait_for (std::chrono::seconds (10)) == std::future_status::ready;
    if (! inTime)
        setFree();
    done.wait();
    return inTime;
}
} // namespace

TEST (SerialPortOutputStream, WritesArriveWholeAndInOrder)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);
    EXPECT_TRUE (out.write (nullptr, 0));

    auto bytes = testBytes (300, 1); // more than two chunks
    EXPECT_TRUE (out.write (bytes.data(), bytes.size()));
    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);

    bytes = testBytes (20000, 7);
    std::mt19937 random (3);
    for (size_t sent = 0, size = 0; sent < bytes.size(); sent += size)
    {
        size = std::min<size_t> (1 + random() % 17, bytes.size() - sent);
        ASSERT_TRUE (out.write (bytes.data() + sent, size));
    }
    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);

    // Far more than the line buffers: most writes must wait for the board.
    // (Under ThreadSanitizer, which checks every byte moved, a quarter still
    // overflows the line.)
#if defined(__SANITIZE_THREAD__)
    bytes = testBytes (1 << 18, 11);
#else
    bytes = testBytes (1 << 20, 11);
#endif
    ASSERT_TRUE (out.write (bytes.data(), bytes.size()));
    EXPECT_TRUE (open.line.readFromFarSide (bytes.size(), 60000) == bytes);
    EXPECT_TRUE (open.line.readUntilQuiet (150).empty()) << "each byte once";
}

// Under wine a relay stands between the test and the line and keeps reading.
#if ! defined(_WIN32)
TEST (SerialPortOutputStream, BoardThatStopsReadingDoesNotHoldUpDestruction)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);

    // The far side reads nothing: the line fills up and a write stays pending.
    auto bytes = testBytes (1 << 20, 5);
    out->write (bytes.data(), bytes.size());

    // The line is full once the bytes waiting at the far side stop growing.
    int waiting = 0, before = -1, unchanged = 0;
    testsupport::runMessageLoopUntil (
        [&]
        {
            before = waiting;
            ioctl (open.line.getMasterFd(), FIONREAD, &waiting);
            unchanged = waiting > 0 && waiting == before ? unchanged + 1 : 0;
            return unchanged >= 20;
        },
        20000);
    ASSERT_GT (waiting, 0);

    // Destroyed with bytes queued and a write pending.
    EXPECT_TRUE (endsInTime ([&] { out.reset(); }, [&] { open.line.closeFarSide(); }));

    // What did go out is the head of the data, each byte once.
    auto received = open.line.readUntilQuiet (200);
    ASSERT_LT (received.size(), bytes.size());
    EXPECT_TRUE (std::equal (received.begin(), received.end(), bytes.begin()));
}
#endif

TEST (SerialPortInputStream, BytesFromTheBoardAreQueuedInOrder)
{
    SerialPort closedPort;
    SerialPortInputStream idle (&closedPort);
    char byte = 'x';
    EXPECT_TRUE (idle.isExhausted());
    EXPECT_EQ (idle.read (&byte, 1), 0);
    EXPECT_EQ (byte, 'x');
    EXPECT_EQ (idle.readNextLine(), juce::String());

    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto in = std::make_unique<SerialPortInputStream> (&open.port);

    // Every byte value, the line-control ones included, passes unchanged.
    auto bytes = testBytes (5000, 9);
    for (int value = 0; value < 256; ++value)
        bytes[(size_t) value] = (uint8_t) value;
    ASSERT_TRUE (open.line.writeFromFarSide (bytes));
    ASSERT_TRUE (testsupport::runMessageLoopUntil ([&] { return in->getTotalLength() == (juce::int64) bytes.size(); }));

    std::vector<uint8_t> received;
    uint8_t block[64];
    for (int size = 1; ! in->isExhausted(); size = size % 64 + 1)
    {
        const auto got = in->read (block, size);
        ASSERT_GT (got, 0);
        received.insert (received.end(), block, block + got);
    }
    EXPECT_EQ (received, bytes);

    const std::string text = "first line  \r\nsecond";
    ASSERT_TRUE (open.line.writeFromFarSide (text.data(), text.size()));
    ASSERT_TRUE (testsupport::runMessageLoopUntil ([&] { return in->getTotalLength() == (juce::int64) text.size(); }));
    EXPECT_EQ (in->read (&byte, 0), 0);
    EXPECT_EQ (in->readNextLine(), "first line");
    EXPECT_EQ (in->getTotalLength(), 6);

    // Destroyed with bytes still queued.
    EXPECT_TRUE (endsInTime ([&] { in.reset(); }, [&] { open.line.closeFarSide(); }));
}

TEST (SerialPortStreams, CarryBytesBothWaysUntilTheBoardVanishes)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);
    auto in = std::make_unique<SerialPortInputStream> (&open.port);

    const auto request = testBytes (17, 2), answer = testBytes (5, 4);
    for (int round = 0; round < 20; ++round)
    {
        ASSERT_TRUE (out->write (request.data(), request.size()));
        ASSERT_EQ (open.line.readFromFarSide (request.size()), request);
        ASSERT_TRUE (open.line.writeFromFarSide (answer));
        ASSERT_TRUE (testsupport::runMessageLoopUntil ([&] { return in->getTotalLength() == 5; }));
        std::vector<uint8_t> got (5);
        ASSERT_EQ (in->read (got.data(), 5), 5);
        ASSERT_EQ (got, answer);
    }

#if ! defined(_WIN32)
    // Each thread names itself as it starts, so it can be watched.
    ASSERT_TRUE (testsupport::runMessageLoopUntil ([] { return StreamThreads().in == 1 && StreamThreads().out == 1; }));
#endif
    open.line.closeFarSide();

    // Both threads stay busy with a line that has gone: queued bytes to
    // write, and a reader waiting for bytes that will never come.
    EXPECT_TRUE (out->write (request.data(), request.size()));
#if ! defined(_WIN32)
    const auto before = StreamThreads().ticks;
    std::this_thread::sleep_for (std::chrono::seconds (1)); // the window over which the CPU is counted
    EXPECT_LT (StreamThreads().ticks - before, 20) << "clock ticks in one second"; // a spinning thread uses ~100
#endif

    EXPECT_TRUE (out->write (request.data(), request.size()));
    EXPECT_TRUE (in->isExhausted());
    EXPECT_TRUE (endsInTime (
        [&]
        {
            out.reset();
            in.reset();
        },
        [] {}));
}
