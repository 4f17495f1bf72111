// Opening an init file and changing a system setting, on files of 1,000 and
// 10,000 lines: the window-free steps one by one, and the whole operation
// through the editor component. Run under a display (xvfb-run -a).

#include "editor/InitFileReader.h"
#include "editor/InitFileWriter.h"
#include "editor/InitLineModel.h"
#include "editor/MainComponent.h"
#include "editor/SystemSettings.h"

#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <string>

namespace
{
// A file as a user might grow it: every system line, all sixteen triggers,
// then comments up to the given number of lines, and the header block.
std::string makeFileBytes (int numLines)
{
    juce::StringArray lines{ "#VOLM -3", "#MCHN 5", "#BEND 4", "#MREL 20", "#MIDI 7", "#SPKR 1", "#LPWR 1800" };

    for (int t = 1; t <= 16; ++t)
        lines.add ("#TRIG " + juce::String (t).paddedLeft ('0', 2) + ", 1, 0, 1, 1, 1, 1, 0, ,");

    const auto header = juce::StringArray::fromLines (initfile::headerBlock().joinIntoString ({}));

    while (lines.size() < numLines - header.size())
        lines.add ("; bank " + juce::String (lines.size()) + ": drums on the left, strings on the right");

    lines.addArray (header);
    return (lines.joinIntoString ("\r\n") + "\r\n").toStdString();
}

struct TempFile
{
    explicit TempFile (const std::string& bytes) { file.replaceWithData (bytes.data(), bytes.size()); }
    ~TempFile() { file.deleteFile(); }

    juce::File file =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("quorvel-bench", ".ini");
};

//==============================================================================
void BM_CutBytesIntoEntries (benchmark::State& state)
{
    const auto bytes = makeFileBytes ((int) state.range (0));

    for (auto _ : state)
        benchmark::DoNotOptimize (initfile::entriesFromBytes (bytes.data(), bytes.size()));
}
BENCHMARK (BM_CutBytesIntoEntries)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond);

void BM_KeywordPasses (benchmark::State& state)
{
    const auto bytes = makeFileBytes ((int) state.range (0));
    const auto lines = initfile::entriesFromBytes (bytes.data(), bytes.size());

    for (auto _ : state)
        benchmark::DoNotOptimize (systemsettings::readFileSettings (lines));
}
BENCHMARK (BM_KeywordPasses)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond);

void BM_ViewText (benchmark::State& state)
{
    const auto bytes = makeFileBytes ((int) state.range (0));
    const auto lines = initfile::entriesFromBytes (bytes.data(), bytes.size());

    for (auto _ : state)
        benchmark::DoNotOptimize (initfile::viewText (lines));
}
BENCHMARK (BM_ViewText)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond);

void BM_BytesToSave (benchmark::State& state)
{
    const auto bytes = makeFileBytes ((int) state.range (0));
    const auto text = initfile::viewText (initfile::entriesFromBytes (bytes.data(), bytes.size()));

    for (auto _ : state)
        benchmark::DoNotOptimize (initfile::bytesToSave (text));
}
BENCHMARK (BM_BytesToSave)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond);

//==============================================================================
// One editor for all the editor benchmarks, made once JUCE is up:
// constructing it is not what is measured.
std::unique_ptr<MainComponent> theEditor;

MainComponent& editor()
{
    if (theEditor == nullptr)
        theEditor = std::make_unique<MainComponent>();
    return *theEditor;
}

// "Open" without its dialog: read, reset, list, view, keyword passes, trigger.
void BM_OpenInitFile (benchmark::State& state)
{
    TempFile temp (makeFileBytes ((int) state.range (0)));

    for (auto _ : state)
        if (! editor().loadInitFile (temp.file))
            state.SkipWithError ("the file could not be read");

    state.counters["entries"] = (double) editor().initLines.size();
}
BENCHMARK (BM_OpenInitFile)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond)->UseRealTime();

// One move of the output volume: its lines replaced and the view brought up
// to date.
void BM_SystemSettingChange (benchmark::State& state)
{
    TempFile temp (makeFileBytes ((int) state.range (0)));
    editor().loadInitFile (temp.file);

    auto& slider = *editor().volumeSlider;
    int step = 0;

    for (auto _ : state)
        slider.setValue ((++step % 2) == 0 ? -4 : -5, juce::sendNotificationSync);

    if (! editor().initLines[0].startsWith ("#VOLM"))
        state.SkipWithError ("the change wrote no line");
}
BENCHMARK (BM_SystemSettingChange)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond)->UseRealTime();

// The whole view set from the list, for comparison.
void BM_RefreshWholeView (benchmark::State& state)
{
    TempFile temp (makeFileBytes ((int) state.range (0)));
    editor().loadInitFile (temp.file);

    for (auto _ : state)
        editor().refreshInitText();
}
BENCHMARK (BM_RefreshWholeView)->Arg (1000)->Arg (10000)->Unit (benchmark::kMillisecond)->UseRealTime();
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // The editor goes before JUCE does.
    theEditor.reset();
    return 0;
}
