#include "editor/InitFileReader.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace
{
juce::StringArray read (const std::string& bytes)
{
    return initfile::entriesFromBytes (bytes.data(), bytes.size());
}

juce::StringArray entries (std::initializer_list<const char*> texts)
{
    juce::StringArray result;
    for (auto* t : texts)
        result.add (juce::String::fromUTF8 (t));
    return result;
}
} // namespace

TEST (InitFileReader, EveryKindOfLineEndGivesEntriesEndingInCrLf)
{
    const auto expected = entries ({ "#BAUD 9600\r\n", " x \r\n", "last\r\n" });

    EXPECT_EQ (read ("#BAUD 9600\r\n x \r\nlast\r\n"), expected);
    EXPECT_EQ (read ("#BAUD 9600\n x \nlast\n"), expected);
    EXPECT_EQ (read ("#BAUD 9600\r x \rlast\r"), expected);
    EXPECT_EQ (read ("#BAUD 9600\r x \nlast"), expected) << "mixed, and none at the end of the file";

    // A CR LF split between two pieces of the file is still one line end.
    initfile::LineCutter cutter;
    for (char c : std::string ("#BAUD 9600\r\n x \r\nlast\r\n"))
        cutter.feed (&c, 1);
    cutter.finish();
    EXPECT_EQ (cutter.getEntries(), expected);
}

TEST (InitFileReader, TheFirstEmptyLineOrZeroByteEndsTheReading)
{
    EXPECT_EQ (read ("one\r\ntwo\r\n\r\nthree\r\n"), entries ({ "one\r\n", "two\r\n" }));
    EXPECT_EQ (read ("one\r\rthree"), entries ({ "one\r\n" })) << "CR CR: a line end, then an empty line";
    EXPECT_TRUE (read ("\r\nthe first line was empty\r\n").isEmpty());
    EXPECT_TRUE (read ("").isEmpty());

    EXPECT_EQ (read (std::string ("ab\0cd\r\n", 7)), entries ({ "ab\r\n", "cd\r\n" }));
    EXPECT_EQ (read (std::string ("ab\r\n\0cd\r\n", 9)), entries ({ "ab\r\n" }));
}

TEST (InitFileReader, TextIsDecodedAsUTF8WithBadBytesReplaced)
{
    const auto withMark = read ("\xef\xbb\xbf#BAUD 9600\r\ncaf\xc3\xa9\r\n");
    EXPECT_EQ (withMark, entries ({ "\xef\xbb\xbf#BAUD 9600\r\n", "caf\xc3\xa9\r\n" }))
        << "a byte-order mark stays part of the first line";

    const std::string replacement = "\xef\xbf\xbd";
    const std::pair<std::string, std::string> cases[] = {
        { "a\xff" "b", "a" + replacement + "b" },
        { "a\xc0\xaf" "b", "a" + replacement + replacement + "b" },  // overlong
        { "a\xe2\x82" "b", "a" + replacement + "b" },               // cut short
        { "\xed\xa0\x80", replacement + replacement + replacement }, // a surrogate
        { "\xf0\x9f\x98", replacement },                              // cut by the end of the file
    };

    for (auto& [bytes, expected] : cases)
    {
        const auto lines = read (bytes);
        ASSERT_EQ (lines.size(), 1);
        EXPECT_EQ (lines[0], juce::String::fromUTF8 ((expected + "\r\n").c_str())) << bytes;
    }
}

TEST (InitFileReader, KeywordValueIsTheAtoiOfWhatFollowsTheKeyword)
{
    EXPECT_EQ (initfile::keywordValueOf ("#BAUD9600\r\n"), 9600);
    EXPECT_EQ (initfile::keywordValueOf ("#BAUD \t 9600\r\n"), 9600);
    EXPECT_EQ (initfile::keywordValueOf ("#BAUDRATE 9600\r\n"), 0);
    EXPECT_EQ (initfile::keywordValueOf ("#MIDI 1 \r\n"), 1);
    EXPECT_EQ (initfile::keywordValueOf ("#VOLM -5x\r\n"), -5);
    EXPECT_EQ (initfile::keywordValueOf ("#VOLM 99999999999999999999\r\n"), std::numeric_limits<int>::max());
}

TEST (InitFileReader, OnlyReadableFilesReplaceTheEntries)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("quorvel-reader-test-" + juce::Uuid().toString());
    ASSERT_TRUE (folder.createDirectory().wasOk());

    const juce::StringArray before { "kept\r\n" };
    auto lines = before;

    EXPECT_FALSE (initfile::readEntriesFromFile (folder.getChildFile ("missing.ini"), lines));
    EXPECT_FALSE (initfile::readEntriesFromFile (folder, lines));
    EXPECT_EQ (lines, before);

    const auto empty = folder.getChildFile ("empty.ini");
    ASSERT_TRUE (empty.create().wasOk());
    EXPECT_TRUE (initfile::readEntriesFromFile (empty, lines));
    EXPECT_TRUE (lines.isEmpty());

    // Longer than one read chunk, so lines and CR LF pairs span chunk boundaries.
    juce::StringArray written;
    for (int i = 0; i < 5000; ++i)
        written.add ("; comment line " + juce::String (i) + "\r\n");
    const auto file = folder.getChildFile ("long.ini");
    const auto text = written.joinIntoString ("") + "\r\nnot read\r\n";
    ASSERT_TRUE (file.replaceWithText (text, false, false, nullptr));

    EXPECT_TRUE (initfile::readEntriesFromFile (file, lines));
    EXPECT_EQ (lines, written);

    folder.deleteRecursively();
}
