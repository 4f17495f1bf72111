#include <gtest/gtest.h>

#include "serial/SerialPortStreams.h"
#include "support/MessageLoop.h"
#include "support/ProcessState.h"
#include "support/PseudoTerminal.h"

#include <algorithm>
#include <climits>
#include <future>
#include <numeric>
#include <random>
#include <thread>

#if ! defined(_WIN32)
#include <sys/ioctl.h>
#endif

using namespace testsupport;

namespace
{
std::vector<uint8_t> testBytes (size_t count, unsigned seed)
{
    std::vector<uint8_t> bytes (count);
    std::generate (bytes.begin(), bytes.end(), std::mt19937 (seed));
    return bytes;
}

// A port open on a line whose far side plays the board.
struct OpenLine
{
    testsupport::PseudoTerminal line;
    SerialPort port;
    bool opened = line.isValid() && port.open (line.getSlavePath()) && port.setConfig ({ 57600, 8, 0, 0, 0 });

    // Whether a step ends within 10 s; if not, the far side goes, ending every wait for the line.
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

} // namespace

TEST (SerialPortOutputStream, SendsEveryByteOnceInOrderInChunksOf128)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    SerialPortOutputStream out (&open.port);
    EXPECT_TRUE (out.write (nullptr, 0) && ! out.write (nullptr, 1) && ! out.write ("x", (size_t) INT_MAX + 1));

#if ! defined(_WIN32)
    // Each chunk that the line takes whole costs the writer the same system calls: 129 bytes twice 128.
    auto writeCalls = [&] (size_t size)
    {
        const auto before = streamThreadCounter ("io", "syscw:");
        const auto bytes = testBytes (size, (unsigned) size);
        out.write (bytes.data(), size);
        EXPECT_EQ (open.line.readFromFarSide (size), bytes);
        DWORD mask = 0;
        GetCommMask (open.port.handle, &mask); // returns once the writer's call into the line has ended
        return streamThreadCounter ("io", "syscw:") - before;
    };
    writeCalls (1); // counts from before the thread had started and named itself
    const auto oneChunk = writeCalls (128);
    EXPECT_GT (oneChunk, 0);
    EXPECT_EQ (writeCalls (129), 2 * oneChunk);
#endif

    const auto bytes = testBytes (5000, 1);
    std::mt19937 random (3);
    for (size_t sent = 0, size = 0; sent < bytes.size(); sent += size)
        ASSERT_TRUE (out.write (&bytes[sent], size = std::min<size_t> (1 + random() % 300, bytes.size() - sent)));
    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);
}

// Under wine the broker keeps reading the far side, so the line never fills.
#if ! defined(_WIN32)
TEST (SerialPortOutputStream, BoardThatStopsReadingHoldsUpNeitherWritesNorDestruction)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
    const auto bytes = testBytes (1 << 18, 5);

    // Beneath the writer, a write that the line can't take whole waits for room.
    OVERLAPPED io{};
    io.hEvent = CreateEventA (nullptr, 1, 0, nullptr);
    DWORD written = 0;
    EXPECT_FALSE (WriteFile (open.port.handle, bytes.data(), (DWORD) bytes.size(), &written, &io));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_EQ (WaitForSingleObject (io.hEvent, 0), (DWORD) WAIT_TIMEOUT);
    auto done =
        std::async (std::launch::async, [&] { return GetOverlappedResult (open.port.handle, &io, &written, 1); });
    EXPECT_EQ (open.line.readFromFarSide (bytes.size()), bytes);
    EXPECT_TRUE (done.get() && written == bytes.size());
    CloseHandle (io.hEvent);

    // The line is full once the bytes waiting at the far side stop growing.
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);
    out->write (bytes.data(), bytes.size());
    int waiting = 0, before = -1;
    runMessageLoopUntil (
        [&]
        {
            before = std::exchange (waiting, 0);
            ioctl (open.line.getMasterFd(), FIONREAD, &waiting);
            return waiting > 0 && waiting == before;
        });
    EXPECT_TRUE (open.endsInTime ([&] { out->write (bytes.data(), 10); }));
    EXPECT_TRUE (open.endsInTime ([&] { out.reset(); })) << "destroyed with a write pending";

    const auto received = open.line.readUntilQuiet (200);
    ASSERT_LT (received.size(), bytes.size());
    EXPECT_TRUE (std::equal (received.begin(), received.end(), bytes.begin())) << "the head of the data, once";
}
#endif

TEST (SerialPortInputStream, QueuesBytesInOrderReadsLinesAndLeavesNoWaitBehind)
{
    OpenLine open;
    ASSERT_TRUE (open.opened);
#if ! defined(_WIN32)
    const auto descriptors = openDescriptors();
#endif
    auto in = std::make_unique<SerialPortInputStream> (&open.port);

    // Every byte value, the line-control ones included, passes unchanged.
    auto bytes = testBytes (1000, 9);
    std::iota (bytes.begin(), bytes.begin() + 256, 0);
    ASSERT_TRUE (open.line.writeFromFarSide (bytes));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == (juce::int64) bytes.size(); }));
    std::vector<uint8_t> received;
    uint8_t block[64];
    for (int size = 1, got = 0; (got = in->read (block, size)) > 0; size = size % 64 + 1)
        received.insert (received.end(), block, block + got);
    EXPECT_EQ (received, bytes);

    ASSERT_TRUE (open.line.writeFromFarSide ("caf\xe9 \t\r\nnext", 12));
    ASSERT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == 12; }));
    EXPECT_EQ (in->readNextLine(), juce::String (juce::CharPointer_UTF8 ("caf\xc3\xa9")));
    EXPECT_EQ (in->readNextLine(), "next");
    EXPECT_TRUE (in->isExhausted());

    // Destroyed waiting for a byte: the port's next reader still gets bytes.
    EXPECT_TRUE (open.endsInTime ([&] { in.reset(); }));
    in = std::make_unique<SerialPortInputStream> (&open.port);
    ASSERT_TRUE (open.line.writeFromFarSide ("ab", 2));
    EXPECT_TRUE (runMessageLoopUntil ([&] { return in->getTotalLength() == 2; }));

    // Idle, then with the board gone and bytes queued to it: neither stream's thread spins.
    auto out = std::make_unique<SerialPortOutputStream> (&open.port);
    for (bool boardGone : { false, true })
    {
        if (boardGone)
            open.line.closeFarSide();
        EXPECT_TRUE (! boardGone || out->write (bytes.data(), 300)); // a writer that never wrote is idle too
#if ! defined(_WIN32)
        const auto before = streamThreadCounter ("schedstat"); // CPU time in ns
        std::this_thread::sleep_for (std::chrono::milliseconds (300));
        EXPECT_LT (streamThreadCounter ("schedstat") - before, 60'000'000) << "in 300 ms; board gone: " << boardGone;
#endif
    }
    EXPECT_TRUE (open.endsInTime ([&] { out.reset(), in.reset(); }));
#if ! defined(_WIN32)
    EXPECT_EQ (openDescriptors(), descriptors - 1) << "beyond the far side's, closed above, some stay open";
#endif
}
