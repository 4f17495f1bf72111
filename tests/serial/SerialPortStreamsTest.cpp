#include <gtest/gtest.h>

#include "serial/SerialPortStreams.h"
#include "support/MessageLoop.h"
#include "support/PseudoTerminal.h"

#include <climits>
#include <future>
#include <random>
#include <thread>

#if ! defined(_WIN32)
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#endif

using testsupport::runMessageLoopUntil;

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

// A port open on a line whose far side plays the board.
struct OpenLine
{
    testsupport::PseudoTerminal line;
    SerialPort port;
    bool opened = line.isValid() && port.open (line.getSlavePath()) && port.setConfig ({ 57600, 8, 0, 0, 0 });

    // Whether a step that could hang ends within 10 s; if not, the far side
    // goes, which ends every wait for the line, before this returns.
    bool endsInTime (std::function<void()> step)
    {
        auto done = std::async (std::launch::async, std::move (step));
        const bool inTime = done.wait_for (std::chrono::seconds (10)) == std::future_status::ready;
        if (! inTime)
            line.closeFarSide();
        done.wait();
        return inTime;
    }
};

#if ! defined(_WIN32)
// The number after `key` (else the first one) in that /proc/self/task file of
// the threads named `thread`, summed.
long long threadCounter (const std::string& thread, const char* file, const std::string& key = {})
{
    long long sum = 0, value = 0;
    for (const auto& task : std::filesystem::directory_iterator ("/proc/self/task"))
    {
        std::string name, word;
        std::getline (std::ifstream (task.path() / "comm"), name);
        std::ifstream in (task.path() / file);
        while (name == thread && ! key.empty() && in >> word && word != key)
            ;
        sum += name == thread && in >> value ? value : 0;
    }
    return sum;
}
#endif
} // namespace

TEST (SerialPortOutputStream, SendsEveryByteOnceInOrderInChunksOf128)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);
    EXPECT_TRUE (out.write (nullptr, 0));
    EXPECT_FALSE (out.write (nullptr, 1));
    EXPECT_FALSE (out.write ("x", (size_t) INT_MAX + 1)) << "more than the queue's count can tell";

#if ! defined(_WIN32)
    // The line takes each chunk whole, so each costs the writer thread the
    // same system calls: 129 bytes cost twice what 128 do.
    auto writeCalls = [&] (size_t size)
    {
        const auto before = threadCounter ("SerialOutThread", "io", "syscw:");
        const auto bytes = testBytes (size, (unsigned) size);
        out.write (bytes.data(), size);
        EXPECT_EQ (open.line.readFromFarSide (size), bytes);
        DWORD mask = 0;
        GetCommMask (open.port.handle, &mask); // returns once the writer's call into the line has ended
        return threadCounter ("SerialOutThread", "io", "syscw:") - before;
    };
    const auto oneChunk = writeCalls (128);
    EXPECT_GT (oneChunk, 0);
    EXPECT_EQ (writeCalls (129), 2 * oneChunk);
#endif

    const auto bytes = testBytes (5000, 1);
    std::mt19937 random (3);
    for (size_t sent = 0, size = 0; sent < bytes.size(); sent += size)
        ASSERT_TRUE (
            out.write (bytes.data() + sent, size = std::min<size_t> (1 + random() % 300, bytes.size() - sent)));
    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);
    EXPECT_TRUE (open.line.readUntilQuiet (150).empty());
}

// Under wine the broker keeps reading the far side, so the line never fills.
#if ! defined(_WIN32)
TEST (SerialPortOutputStream, BoardThatStopsReadingHoldsUpNeitherWritesNorDestruction)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);
    const auto bytes = testBytes (1 << 18, 5);
    out->write (bytes.data(), bytes.size());

    // The line is full once the bytes waiting at the far side stop growing.
    int waiting = 0, before = -1, unchanged = 0;
    runMessageLoopUntil (
        [&]
        {
            before = std::exchange (waiting, 0);
            ioctl (open.line.getMasterFd(), FIONREAD, &waiting);
            return (unchanged = waiting > 0 && waiting == before ? unchanged + 1 : 0) >= 20;
        },
        20000);
    EXPECT_TRUE (open.endsInTime ([&] { out->write (bytes.data(), 10); }));
    EXPECT_TRUE (open.endsInTime ([&] { out.reset(); })) << "destroyed with a write pending";

    const auto received = open.line.readUntilQuiet (200);
    ASSERT_LT (received.size(), bytes.size());
    EXPECT_TRUE (std::equal (received.begin(), received.end(), bytes.begin())) << "the head of the data, once";
}
#endif

TEST (SerialPortInputStream, QueuesBytesInOrderReadsLinesAndLeavesNoWaitBehind)
{
    SerialPort closedPort;
    SerialPortInputStream idle (&closedPort);
    char byte = 'x';
    EXPECT_TRUE (idle.isExhausted());
    EXPECT_EQ (idle.read (&byte, 1) * 256 + byte, 'x');
    EXPECT_EQ (idle.readNextLine(), juce::String());

    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto in = std::make_unique<SerialPortInputStream> (&open.port);

    // Every byte value, the line-control ones included, passes unchanged.
    auto bytes = testBytes (1000, 9);
    for (int value = 0; value < 256; ++value)
        bytes[(size_t) value] = (uint8_t) value;
    ASSERT_TRUE (open.line.writeFromFarSide (bytes));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == (juce::int64) bytes.size(); }));
    std::vector<uint8_t> received;
    uint8_t block[64];
    for (int size = 1, got = 0; (got = in->read (block, size)) > 0; size = size % 64 + 1)
        received.insert (received.end(), block, block + got);
    EXPECT_EQ (received, bytes);

    ASSERT_TRUE (open.line.writeFromFarSide ("caf\xe9 \t\r\nnext", 12));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == 12; }));
    EXPECT_EQ (in->read (block, 0), 0);
    EXPECT_EQ (in->readNextLine(), juce::String (juce::CharPointer_UTF8 ("caf\xc3\xa9")));
    EXPECT_EQ (in->readNextLine(), "next");
    EXPECT_TRUE (in->isExhausted());

    // Destroyed while waiting for a byte: the next reader of the port still
    // gets its bytes.
    EXPECT_TRUE (open.endsInTime ([&] { in.reset(); }));
    in = std::make_unique<SerialPortInputStream> (&open.port);
    ASSERT_TRUE (open.line.writeFromFarSide ("ab", 2));
    EXPECT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == 2; }));
}

TEST (SerialPortStreams, CarryBytesBothWaysThenIdleOnceTheBoardHasGone)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);
    auto in = std::make_unique<SerialPortInputStream> (&open.port);
    const auto request = testBytes (17, 2), answer = testBytes (5, 4);
    ASSERT_TRUE (out->write (request.data(), request.size()));
    ASSERT_EQ (open.line.readFromFarSide (request.size()), request);
    ASSERT_TRUE (open.line.writeFromFarSide (answer));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == 5; }));

    // Bytes that can't go out and a reader waiting for bytes that won't come:
    // neither thread may spin.
    open.line.closeFarSide();
    EXPECT_TRUE (out->write (request.data(), request.size()));
#if ! defined(_WIN32)
    auto cpuNs = []
    { return threadCounter ("SerialInThread", "schedstat") + threadCounter ("SerialOutThread", "schedstat"); };
    const auto before = cpuNs();
    std::this_thread::sleep_for (std::chrono::milliseconds (300)); // the window in which CPU time is counted
    EXPECT_LT (cpuNs() - before, 60'000'000) << "ns of CPU time in 300 ms";
#endif
    EXPECT_EQ (in->getTotalLength(), 5);
    EXPECT_TRUE (open.endsInTime ([&] { out.reset(), in.reset(); }));
}
