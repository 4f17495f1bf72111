// The editor's test link with a pseudo-terminal listed as a COM port playing
// the board (run under a display, e.g. xvfb-run -a):
//   ClickToBoard  from a click on "Test" (posted and delivered through the
//                 message loop, as a real click is) until the 17-byte frame
//                 is readable at the board's end; median and 99th percentile
//                 over 1,000 clicks (target: median under 2 ms; the wire at
//                 57600 bit/s would add 2.95 ms)
//   IdleLinkCpu   CPU used by the whole program over 10 s with the link open
//                 and idle, and by each of the link's three threads (target:
//                 under 2 % of one core)
#include <benchmark/benchmark.h>

#include "editor/MainComponent.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/MessageLoop.h"
#include "support/PseudoTerminal.h"

#include "BenchSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include <dirent.h>
#include <time.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// An editor started with one fake board as the only COM port, and "Test"
// made available the way a user does it (a trigger added).
struct EditorWithBoard
{
    EditorWithBoard()
    {
        PortRegistry::registerDevice (board.getSlavePath(), "Bench Board");
        editor = std::make_unique<MainComponent>();
        testsupport::deliverPendingMessages();
        editor->addButton->triggerClick();
        testsupport::deliverPendingMessages();
    }

    bool ready() const { return editor->comPortOpen && editor->testButton->isEnabled(); }

    PortRegistry::ScopedRegisteredDevicesOnly onlyTheBoard;
    testsupport::PseudoTerminal board;
    std::unique_ptr<MainComponent> editor;
};

// Tells when a click has been handled: added after the editor, it hears of
// the click once the editor's own handler has returned.
struct ClickWatcher : juce::Button::Listener
{
    void buttonClicked (juce::Button*) override { clicked = true; }
    bool clicked = false;
};

double processCpuNs()
{
    timespec t{};
    clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double) t.tv_sec * 1e9 + (double) t.tv_nsec;
}

void ClickToBoard (benchmark::State& state)
{
    EditorWithBoard setup;

    if (! setup.ready())
    {
        state.SkipWithError ("the editor did not open the fake board");
        return;
    }

    auto& test = *setup.editor->testButton;
    auto* messages = juce::MessageManager::getInstance();
    ClickWatcher watcher;
    test.addListener (&watcher);
    std::vector<double> latenciesUs;

    for (auto _ : state)
    {
        latenciesUs.clear();

        for (int i = 0; i < 1000; ++i)
        {
            watcher.clicked = false;
            const auto start = Clock::now();
            test.triggerClick();

            for (int round = 0; ! watcher.clicked && round < 10000; ++round)
                messages->runDispatchLoopUntil (0);

            if (setup.board.readFromFarSide (17, 5000).size() != 17)
            {
                test.removeListener (&watcher);
                state.SkipWithError ("the frame did not arrive");
                return;
            }

            latenciesUs.push_back (std::chrono::duration<double, std::micro> (Clock::now() - start).count());
        }
    }

    test.removeListener (&watcher);

    benchsupport::reportLatencies (state, latenciesUs);
}

void IdleLinkCpu (benchmark::State& state)
{
    EditorWithBoard setup;

    if (! setup.ready())
    {
        state.SkipWithError ("the editor did not open the fake board");
        return;
    }

    // "Communicator Thread" is too long a name for Linux: see threadCpuNs.
    const char* const threads[] = { "", "SerialInThread", "SerialOutThread" };
    double wallNs = 0, processNs = 0, threadNs[3] = {};

    for (auto _ : state)
    {
        double before[3];
        for (int i = 0; i < 3; ++i)
            before[i] = benchsupport::threadCpuNs (threads[i]);

        const auto processBefore = processCpuNs();
        const auto start = Clock::now();

        // The program as it idles: the message loop waits for events.
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10000);

        wallNs = std::chrono::duration<double, std::nano> (Clock::now() - start).count();
        processNs = processCpuNs() - processBefore;

        for (int i = 0; i < 3; ++i)
            threadNs[i] = benchsupport::threadCpuNs (threads[i]) - before[i];
    }

    state.counters["program_cpu_percent"] = 100.0 * processNs / wallNs;
    state.counters["communicator_cpu_percent"] = 100.0 * threadNs[0] / wallNs;
    state.counters["reader_cpu_percent"] = 100.0 * threadNs[1] / wallNs;
    state.counters["writer_cpu_percent"] = 100.0 * threadNs[2] / wallNs;
}
} // namespace

BENCHMARK (ClickToBoard)->Iterations (1)->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (IdleLinkCpu)->Iterations (1)->Unit (benchmark::kSecond)->UseRealTime();

int main (int argc, char** argv)
{
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
