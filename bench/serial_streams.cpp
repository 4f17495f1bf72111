// The serial streams over a pseudo-terminal whose master side plays the
// board:
//   FrameLatency      time from write() of a 17-byte frame until the frame is
//                     readable at the far side (median and 99th percentile
//                     over 1,000 frames; target: median under 1 ms)
//   IdleThreadCpu     CPU used by the two stream threads over 10 s with an
//                     open, idle port (target: under 0.5 % of one core)
//   VanishedBoardCpu  the same after the far side has gone away, with bytes
//                     still queued (same target)
#include <benchmark/benchmark.h>

#include "link/CommandFrames.h"
#include "serial/SerialPortStreams.h"
#include "support/PseudoTerminal.h"

#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace
{
double streamThreadsCpuNs()
{
    return benchsupport::threadCpuNs ("SerialInThread") + benchsupport::threadCpuNs ("SerialOutThread");
}

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

void FrameLatency (benchmark::State& state)
{
    OpenLine open;

    if (! open.opened)
    {
        state.SkipWithError ("no pseudo-terminal");
        return;
    }

    SerialPortOutputStream out (&open.port);
    SerialPortInputStream in (&open.port);
    frames::TriggerSettingsFrame frame;
    frames::makeTriggerSettingsFrame (TriggerSettings{}, 0, frame);
    std::vector<double> latenciesUs;

    for (auto _ : state)
    {
        latenciesUs.clear();

        for (int i = 0; i < 1000; ++i)
        {
            auto start = std::chrono::steady_clock::now();
            out.write (frame.data(), frame.size());

            if (open.line.readFromFarSide (frame.size(), 5000).size() != frame.size())
            {
                state.SkipWithError ("frame did not arrive");
                return;
            }

            latenciesUs.push_back (
                std::chrono::duration<double, std::micro> (std::chrono::steady_clock::now() - start).count());
        }
    }

    benchsupport::reportLatencies (state, latenciesUs);
}

void measureThreadCpu (benchmark::State& state, bool boardVanishes)
{
    OpenLine open;

    if (! open.opened)
    {
        state.SkipWithError ("no pseudo-terminal");
        return;
    }

    SerialPortOutputStream out (&open.port);
    SerialPortInputStream in (&open.port);

    if (boardVanishes)
    {
        open.line.closeFarSide();
        std::vector<uint8_t> queued (1000, 0x55);
        out.write (queued.data(), queued.size());
    }

    std::this_thread::sleep_for (std::chrono::milliseconds (300)); // both threads up and settled

    double cpuNs = 0, wallNs = 0;

    for (auto _ : state)
    {
        auto cpuBefore = streamThreadsCpuNs();
        auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for (std::chrono::seconds (10));
        cpuNs = streamThreadsCpuNs() - cpuBefore;
        wallNs = std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - wallBefore).count();
    }

    state.counters["cpu_percent_of_core"] = 100.0 * cpuNs / wallNs;
}

void IdleThreadCpu (benchmark::State& state)
{
    measureThreadCpu (state, false);
}
void VanishedBoardCpu (benchmark::State& state)
{
    measureThreadCpu (state, true);
}
} // namespace

BENCHMARK (FrameLatency)->Iterations (1)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (IdleThreadCpu)->Iterations (1)->Unit (benchmark::kSecond)->UseRealTime();
BENCHMARK (VanishedBoardCpu)->Iterations (1)->Unit (benchmark::kSecond)->UseRealTime();

BENCHMARK_MAIN();
