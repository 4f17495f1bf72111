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
std::vector<uint8_t> testBytes (size_t count, unsigned seed = 1)
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
    OpenLine()
    {
        SerialPortConfig board;
        board.bps = 57600;
        board.dataBits = 8;
        opened = line.isValid() && port.open (line.getSlavePath()) && port.setConfig (board);
    }

    testsupport::PseudoTerminal line;
    SerialPort port;
    bool opened = false;
};

#if ! defined(_WIN32)
// CPU time, in clock ticks, used so far by this process's threads of a name.
long threadTicks (const std::string& name, int* threadsFound = nullptr)
{
    long ticks = 0;
    int found = 0;

    if (auto* dir = opendir ("/proc/self/task"))
    {
        while (auto* entry = readdir (dir))
        {
            std::string task = std::string ("/proc/self/task/") + entry->d_name;
            std::string comm;
            std::getline (std::ifstream (task + "/comm"), comm);

            if (comm != name)
                continue;

            std::string stat;
            std::getline (std::ifstream (task + "/stat"), stat);
            std::istringstream fields (stat.substr (stat.rfind (')') + 2));
            std::string field;

            for (int i = 3; i <= 15 && fields >> field; ++i)
                if (i == 14 || i == 15) // utime, stime
                    ticks += std::stol (field);

            ++found;
        }

        closedir (dir);
    }

    if (threadsFound != nullptr)
        *threadsFound = found;

    return ticks;
}

int countThreads (const std::string& name)
{
    int found = 0;
    threadTicks (name, &found);
    return found;
}

long streamThreadTicks()
{
    return threadTicks ("SerialInThread") + threadTicks ("SerialOutThread");
}
#endif

// Runs a step that must end in bounded time; should it hang, setFree is
// called (closing the far side ends any wait for the line) before the failure
// is reported.
bool endsInTime (std::function<void()> step, std::function<void()> setFree, int timeoutMs = 10000)
{
    auto done = std::async (std::launch::async, std::move (step));
    const bool inTime = done.wait_for (std::chrono::milliseconds (timeoutMs)) == std::future_status::ready;

    if (! inTime)
        setFree();

    done.wait();
    return inTime;
}

std::vector<uint8_t> readQueued (SerialPortInputStream& in, size_t count, int timeoutMs = 10000)
{
    testsupport::runMessageLoopUntil ([&] { return in.getTotalLength() >= (juce::int64) count; }, timeoutMs);
    std::vector<uint8_t> bytes (count);
    bytes.resize ((size_t) in.read (bytes.data(), (int) count));
    return bytes;
}
} // namespace

TEST (SerialPortOutputStream, ChunkedWriteArrivesWholeAndInOrder)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);

    auto bytes = testBytes (300); // more than two chunks
    EXPECT_TRUE (out.write (bytes.data(), bytes.size()));
    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);
}

TEST (SerialPortOutputStream, ManySmallWritesKeepTheirOrder)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);

    auto bytes = testBytes (20000, 7);
    std::mt19937 random (3);

    for (size_t sent = 0; sent < bytes.size();)
    {
        auto size = std::min<size_t> (1 + random() % 17, bytes.size() - sent);
        ASSERT_TRUE (out.write (bytes.data() + sent, size));
        sent += size;
    }

    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);
}

TEST (SerialPortOutputStream, MegabyteArrivesIntact)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);

    // Far more than the line buffers: most writes must wait for the board.
    // (Moving the queue up after each chunk is slow under ThreadSanitizer,
    // which checks every byte moved; a quarter still overflows the line.)
#if defined(__SANITIZE_THREAD__)
    auto bytes = testBytes (1 << 18, 11);
#else
    auto bytes = testBytes (1 << 20, 11);
#endif
    ASSERT_TRUE (out.write (bytes.data(), bytes.size()));

    auto received = open.line.readFromFarSide (bytes.size(), 60000);
    ASSERT_EQ (received.size(), bytes.size());
    EXPECT_TRUE (received == bytes);
}

TEST (SerialPortOutputStream, NeitherPositionNorEmptyWritesMoveAnything)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);

    EXPECT_TRUE (out.write (nullptr, 0));
    EXPECT_EQ (out.getPosition(), -1);
    EXPECT_FALSE (out.setPosition (0));
    out.flush();

    EXPECT_TRUE (out.writeText ("ok", false, false, nullptr));
    auto received = open.line.readFromFarSide (2);
    EXPECT_EQ (std::string (received.begin(), received.end()), "ok");
    EXPECT_TRUE (open.line.readUntilQuiet (150).empty());
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

    EXPECT_TRUE (endsInTime ([&] { out.reset(); }, [&] { open.line.closeFarSide(); }));

    // What did go out is the head of the data, each byte once.
    auto received = open.line.readUntilQuiet (200);
    ASSERT_LT (received.size(), bytes.size());
    EXPECT_TRUE (std::equal (received.begin(), received.end(), bytes.begin()));
}
#endif

TEST (SerialPortInputStream, BytesFromTheBoardAreReadInOrder)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortInputStream in (&open.port);

    // Every byte value, the line-control ones included, passes unchanged.
    auto bytes = testBytes (5000, 9);
    for (int value = 0; value < 256; ++value)
        bytes[(size_t) value] = (uint8_t) value;

    ASSERT_TRUE (open.line.writeFromFarSide (bytes));
    testsupport::runMessageLoopUntil ([&] { return in.getTotalLength() == (juce::int64) bytes.size(); }, 10000);
    ASSERT_EQ (in.getTotalLength(), (juce::int64) bytes.size());

    std::vector<uint8_t> received;
    uint8_t block[64];

    for (int size = 1; ! in.isExhausted(); size = size % 64 + 1)
    {
        auto got = in.read (block, size);
        ASSERT_GT (got, 0);
        received.insert (received.end(), block, block + got);
    }

    EXPECT_EQ (received, bytes);
}

TEST (SerialPortInputStream, QueueOperations)
{
    SerialPort closedPort;
    SerialPortInputStream idle (&closedPort);
    char byte = 'x';

    EXPECT_EQ (idle.getTotalLength(), 0);
    EXPECT_TRUE (idle.isExhausted());
    EXPECT_EQ (idle.read (&byte, 1), 0);
    EXPECT_EQ (byte, 'x');
    EXPECT_EQ (idle.readNextLine(), juce::String());
    EXPECT_EQ (idle.getPosition(), -1);
    EXPECT_FALSE (idle.setPosition (0));

    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortInputStream in (&open.port);
    const std::string text = "first line  \r\nsecond";
    ASSERT_TRUE (open.line.writeFromFarSide (text.data(), text.size()));
    ASSERT_TRUE (testsupport::runMessageLoopUntil ([&] { return in.getTotalLength() == (juce::int64) text.size(); }));

    EXPECT_EQ (in.read (&byte, 0), 0);
    EXPECT_EQ (in.getTotalLength(), (juce::int64) text.size());
    EXPECT_EQ (in.readNextLine(), "first line");

    char rest[64] = {};
    EXPECT_EQ (in.read (rest, (int) sizeof (rest)), 6);
    EXPECT_STREQ (rest, "second");
    EXPECT_TRUE (in.isExhausted());
}

TEST (SerialPortStreams, CarryBytesBothWaysOnNamedThreads)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);
    SerialPortInputStream in (&open.port);

#if ! defined(_WIN32)
    // Each thread names itself as it starts.
    EXPECT_TRUE (testsupport::runMessageLoopUntil ([] { return countThreads ("SerialInThread") == 1; }));
    EXPECT_TRUE (testsupport::runMessageLoopUntil ([] { return countThreads ("SerialOutThread") == 1; }));
#endif

    auto request = testBytes (17, 2), answer = testBytes (5, 4);

    for (int round = 0; round < 20; ++round)
    {
        ASSERT_TRUE (out.write (request.data(), request.size()));
        ASSERT_EQ (open.line.readFromFarSide (request.size()), request);
        ASSERT_TRUE (open.line.writeFromFarSide (answer));
        ASSERT_EQ (readQueued (in, answer.size()), answer);
    }
}

TEST (SerialPortStreams, VanishedBoardNeitherCrashesNorSpins)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);
    auto in = std::make_unique<SerialPortInputStream> (&open.port);

    auto bytes = testBytes (100);
    out->write (bytes.data(), bytes.size());
    ASSERT_EQ (open.line.readFromFarSide (bytes.size()), bytes);

#if ! defined(_WIN32)
    ASSERT_TRUE (testsupport::runMessageLoopUntil (
        [] { return countThreads ("SerialInThread") == 1 && countThreads ("SerialOutThread") == 1; }));
#endif
    open.line.closeFarSide();

    // Keep both threads busy with a line that has gone: queued bytes to
    // write, and a reader waiting for bytes that will never come.
    out->write (bytes.data(), bytes.size());
#if ! defined(_WIN32)
    const auto before = streamThreadTicks();
    std::this_thread::sleep_for (std::chrono::seconds (1)); // the window over which the CPU is counted
    const auto used = streamThreadTicks() - before;
    EXPECT_LT (used, 20) << "clock ticks in one second"; // a spinning thread would use ~100
#endif

    EXPECT_TRUE (out->write (bytes.data(), bytes.size()));
    EXPECT_TRUE (in->isExhausted());

    EXPECT_TRUE (endsInTime (
        [&]
        {
            out.reset();
            in.reset();
        },
        [] {}));
}
