#include <gtest/gtest.h>

#include "editor/InitLineModel.h"
#include "support/EditorDriver.h"
#include "support/MessageLoop.h"
#include "support/ProcessState.h"

#include <string>
#include <unistd.h>

using namespace testsupport;

namespace
{
class InitFileLoadSave : public EditorTest
{
protected:
    InitFileLoadSave() { folder.createDirectory(); }
    ~InitFileLoadSave() override { folder.deleteRecursively(); }

    // Opens a file of the bytes, checks that the view shows the list read and
    // returns what the system widgets show.
    juce::String load (const std::string& bytes)
    {
        const auto file = folder.getChildFile ("in.ini");
        // replaceWithData would delete the file for no bytes, and an empty file is one to open.
        EXPECT_TRUE (file.deleteFile() && file.create().wasOk() && file.appendData (bytes.data(), bytes.size()));
        EXPECT_TRUE (editor.loadInitFile (file));
        EXPECT_EQ (editor.initTextEditor->getText(), editor.initLines.joinIntoString ("").replace ("\r\n", "\n"));

        return widgetStates (editor, "baud pitch channel sleep velocity noteoffs amp lowpower release volume");
    }

    std::string saved()
    {
        const auto file = folder.getChildFile ("out.ini");
        EXPECT_TRUE (editor.saveInitFile (file));
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return std::string ((const char*) block.getData(), block.getSize());
    }

    void expectOneAlert (const juce::String& title, const juce::File& naming)
    {
        ASSERT_EQ (alerts.shown().size(), 1u);
        EXPECT_EQ (alerts.shown().front().title, title);
        EXPECT_TRUE (alerts.shown().front().message.contains (naming.getFullPathName()))
            << alerts.shown().front().message;
        EXPECT_TRUE (dismissAlertWindows());
        alerts.clear();
    }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("quorvel-files-test-" + juce::Uuid().toString());
};
} // namespace

TEST_F (InitFileLoadSave, KeywordLinesSetTheWidgetsWithoutWritingLines)
{
    const std::string text = "#MIDI 7\r\n#MREL 30\r\n#BEND 0\r\n#MCHN 16\r\n#VOLM -9\r\n#SPKR 1\r\n#LPWR 1800\r\n";
    EXPECT_EQ (load (text), "7 0 17 10 1 1 1 1 30 -9");
    EXPECT_EQ (saved(), text + "\r\n") << "nothing added, removed or moved";

    // Each keyword's lines set its widgets in list order; "#MIDI" goes first.
    const std::pair<const char*, const char*> cases[] = {
        { "; comment\r\n#baud 9600\r\n #BAUD 9600\r\n#BAUDRATE 9600\r\n", "6 2- 1- 7- 0- 0- 0 0 0- 0" },
        { "#BAUD 1200\r\n#MREL 300\r\n", "1 2- 1- 7- 0- 0- 0 0 127- 0" },
        { "#BAUD 2400\r\n#MREL 20\r\n#MREL -4\r\n", "2 2- 1- 7- 0- 0- 0 0 0- 0" },
        { "#BAUD9600\r\n#VOLM 50\r\n", "3 2- 1- 7- 0- 0- 0 0 0- 10" },
        { "#BAUD \t 19200\r\n#VOLM -99\r\n", "4 2- 1- 7- 0- 0- 0 0 0- -20" },
        { "#BAUD 38400\r\n#VOLM -5\r\n#VOLM abc\r\n", "5 2- 1- 7- 0- 0- 0 0 0- 0" },
        { "#BAUD 1200\r\n#BAUD 38400\r\n#BAUD 4800\r\n#BEND 5\r\n", "5 5- 1- 7- 0- 0- 0 0 0- 0" },
        { "#MIDI 7\r\n#BAUD 9600\r\n", "7 2 1 7- 1 1 0 0 0 0" },
        { "#MIDI 3\r\n#MIDI 5\r\n#BEND 0\r\n", "7 0 1 7- 1 1 0 0 0 0" },
        { "#MIDI 5\r\n", "7 2 1 7- 0 1 0 0 0 0" },
        { "#BAUD 9600\r\n#MIDI 0\r\n#BEND 4\r\n#BEND 9\r\n", "3 4 1 7- 0 0 0 0 0 0" },
        { "#BAUD 9600\r\n#MIDI 6\r\n#MCHN 16\r\n", "3 2 17 7- 0 0 0 0 0 0" },
        { "#MCHN 3\r\n#MCHN 0\r\n#SPKR 3\r\n", "6 2- 1- 7- 0- 0- 1 0 0- 0" },
        { "#MCHN 17\r\n#SPKR 1\r\n#SPKR 0\r\n#LPWR 0\r\n", "6 2- 1- 7 0- 0- 1 1 0- 0" },
        { "#MCHN -1\r\n#SPKR 0\r\n#LPWR 15\r\n", "6 2- 0- 1 0- 0- 0 1 0- 0" },
        { "#LPWR 3600\r\n", "6 2- 1- 12 0- 0- 0 1 0- 0" },
        { "#LPWR 1800\r\n#LPWR 45\r\n", "6 2- 1- 10 0- 0- 0 1 0- 0" },
    };
    for (auto& [lines, widgets] : cases)
        EXPECT_EQ (load (lines), widgets) << lines;

    // Opening starts from the defaults; an empty first line loads nothing, and
    // nothing the reset queued brings its header back into the view.
    for (const auto& bytes : { std::string(), std::string ("\r\n#BAUD 9600\r\n"), std::string ("\0#BAUD 9600", 11) })
    {
        EXPECT_TRUE (act (editor, "volume=-5 lowpower amp baud=7 trigger=4 add"));
        EXPECT_EQ (load (bytes), "6 2- 1- 7- 0- 0- 0 0 0- 0");
        EXPECT_TRUE (deliverPendingMessages());
        EXPECT_TRUE (editor.initLines.isEmpty());
        EXPECT_EQ (editor.initTextEditor->getText(), "");
        EXPECT_EQ (saved(), "\r\n");
        EXPECT_EQ (widgetStates (editor, "trigger add update delete copy"), "1 . - - -");
    }

    // A change takes every line of its keyword away, however many the file has.
    load ("#VOLM -5\r\n#BAUD 9600\r\n#VOLM -9\r\n");
    act (editor, "volume=2");
    EXPECT_EQ (editor.initLines, juce::StringArray ("#VOLM 2\r\n", "#BAUD 9600\r\n"));
}

TEST_F (InitFileLoadSave, OnlyTheFirst128EntriesHoldATriggersLine)
{
    std::string bytes;
    for (int i = 0; i < 128; ++i)
        bytes += "; note\r\n";
    load (bytes + "#TRIG 01, 2, 1, 3, 6, 0, 5, -4, 5, 7\r\n");
    const auto loaded = editor.initLines;
    EXPECT_EQ (triggerWidgets (editor), "1 0 1 1 0 0 1 1 0 []- []-");

    // "Add" writes a second line; "Delete" finds the first, too far down to count.
    EXPECT_EQ (widgetStates (editor, "add update delete"), ". - -");
    act (editor, "add delete");
    EXPECT_EQ (editor.initLines.joinIntoString (""),
               loaded.joinIntoString ("") + "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,\r\n");
}

TEST_F (InitFileLoadSave, SaveAsWritesTheViewAsItStands)
{
    EXPECT_EQ (saved(), "********************************************************************\r\n"
                        "This file was generated by the Quorvel Init File Maker v1.20\r\n"
                        "It is only required if you wish to over-ride default settings. You\r\n"
                        "may add your own comments below this line -->\r\n");

    // Typed text is saved, though the list never takes it in.
    act (editor, "view=#BAUD\tmine\n;2");
    EXPECT_EQ (saved(), "#BAUD\tmine\r\n;2\r\n");
}

TEST_F (InitFileLoadSave, AFileThatCannotBeReadLeavesTheEditorAsItWas)
{
    act (editor, "volume=-5 add");
    const auto linesBefore = editor.initLines;
    const auto widgetsBefore = widgetStates (editor);

    for (auto& file : { folder.getChildFile ("missing.ini"), folder })
    {
        EXPECT_FALSE (editor.loadInitFile (file));
        EXPECT_EQ (editor.initLines, linesBefore);
        EXPECT_EQ (widgetStates (editor), widgetsBefore);
        expectOneAlert ("File Not Opened", file);
    }
}

TEST_F (InitFileLoadSave, ASaveThatFailsSaysSoAndWhetherAFileWasLeftAsItWas)
{
    // A file with two names takes the text into itself; a limit below its
    // length keeps its old bytes from all going back.
    const auto twoNames = folder.getChildFile ("two-names.ini");
    ASSERT_TRUE (twoNames.replaceWithText (juce::String::repeatedString ("o", 500))
                 && ::link (twoNames.getFullPathName().toRawUTF8(),
                            twoNames.getSiblingFile ("second.ini").getFullPathName().toRawUTF8())
                        == 0);
    const juce::StringArray outcomes{ "left as it was", "part of the new text" };

    // Not even the superuser can make a new file in /proc.
    for (const auto& [file, outcome] : { std::pair<juce::File, juce::String>{ juce::File ("/proc/quorvel.ini"), "" },
                                         { juce::File ("/proc/version"), outcomes[0] },
                                         { twoNames, outcomes[1] } })
    {
        bool saved = true;
        {
            const testsupport::FileSizeLimit limited (40);
            saved = editor.saveInitFile (file);
        }
        EXPECT_FALSE (saved);
        const auto message = alerts.shown().size() == 1 ? alerts.shown()[0].message : juce::String();
        for (const auto& said : outcomes)
            EXPECT_EQ (message.contains (said), said == outcome) << message;
        const auto afterTheName = message.fromFirstOccurrenceOf (file.getFullPathName() + "\n", false, false);
        EXPECT_TRUE (afterTheName.upToFirstOccurrenceOf ("\n", false, false).isNotEmpty())
            << "the system's reason, on a line of its own";
        expectOneAlert ("File Not Saved", file);
    }
}
