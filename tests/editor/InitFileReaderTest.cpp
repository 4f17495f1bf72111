#include "editor/InitFileReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#if ! JUCE_WINDOWS
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// While set, `name` is taken over by the pipe at `by` right after its first
// stat: another user swapping it in between a check by name and the open.
static struct
{
    const char *name, *by;
} takenOverAfterStat = {};
extern "C" int stat (const char* path, struct stat* info) noexcept
{
    const int result = ::fstatat (AT_FDCWD, path, info, 0);
    if (takenOverAfterStat.name != nullptr && std::strcmp (path, takenOverAfterStat.name) == 0)
        std::rename (std::exchange (takenOverAfterStat.by, nullptr), std::exchange (takenOverAfterStat.name, nullptr));
    return result;
}
#endif

// n replacement characters
static std::string bads (int n)
{
    return n > 0 ? "\xef\xbf\xbd" + bads (n - 1) : std::string();
}

TEST (InitFileReader, BytesBecomeValidEntriesEndingInCrLf)
{
    const std::string bad = "\xef\xbf\xbd";
    const std::vector<std::string> abc{ "#BAUD 9600", " x ", "last" };
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        { "#BAUD 9600\r\n x \r\nlast\r\n", abc },
        { "#BAUD 9600\n x \nlast\n", abc },
        { "#BAUD 9600\r x \rlast\r", abc },
        { "#BAUD 9600\r x \nlast", abc }, // mixed, and none at the end of the file
        // The first empty line or zero byte ends the reading.
        { "one\r\ntwo\r\n\r\nthree\r\n", { "one", "two" } },
        { "one\r\rthree", { "one" } },
        { "\r\nthe first line was empty\r\n", {} },
        { "", {} },
        { std::string ("ab\0cd\r\n", 7), { "ab", "cd" } },
        { std::string ("ab\r\n\0cd\r\n", 9), { "ab" } },
        // A byte-order mark stays part of the first line; bad UTF-8 is replaced.
        { "\xef\xbb\xbf#BAUD 9600\r\ncaf\xc3\xa9", { "\xef\xbb\xbf#BAUD 9600", "caf\xc3\xa9" } },
        { "a\xff z", { "a" + bad + " z" } },
        { "a\xc0\xaf z", { "a" + bad + bad + " z" } }, // overlong
        { "a\xe2\x82 z", { "a" + bad + " z" } },       // cut short
        { "\xed\xa0\x80", { bad + bad + bad } },       // a surrogate
        { "\xf0\x9f\x98", { bad } },                   // cut by the end of the file
        // The first and last sequences of each length and lead byte, then the
        // nearest ill-formed ones, byte by byte.
        { "\xc2\x80\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xef\xbf\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf",
          { "\xc2\x80\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xef\xbf\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf" } },
        { "\xc1\xbf\xe0\x9f\xbf\xf0\x8f\xbf\xbf\xf4\x90\x80\x80\xf5", { bads (14) } },
    };

    for (auto& [bytes, lines] : cases)
    {
        juce::StringArray expected;
        for (auto& line : lines)
            expected.add (juce::String::fromUTF8 ((line + "\r\n").c_str()));
        EXPECT_EQ (initfile::entriesFromBytes (bytes.data(), bytes.size()), expected) << bytes;

        // Fed a byte at a time, as a file's read chunks may split a line end.
        initfile::LineCutter cutter;
        for (char c : bytes)
            cutter.feed (&c, 1);
        cutter.finish();
        EXPECT_EQ (cutter.getEntries(), expected) << bytes;
    }

    // Decoded straight from a buffer of exactly its size, so that reading past
    // a sequence cut short by the end shows under the address sanitizer, also
    // once an earlier bad byte has sent the decoding down its repairing road.
    const std::pair<std::string, std::string> cutShort[] = { { "\xff a\xe2\x82", bad + " a" + bad },
                                                             { "\xc0 \xf0\x9f\x98", bad + " " + bad },
                                                             { "\xe2\x82", bad } };
    for (auto& [bytes, text] : cutShort)
    {
        const std::vector<char> exact (bytes.begin(), bytes.end());
        EXPECT_EQ (initfile::decodeUTF8 (exact.data(), exact.size()), juce::String::fromUTF8 (text.c_str())) << bytes;
    }
}

TEST (InitFileReader, OnlyAPlainFileIsReadAndNothingUnderItsNameIsWaitedOn)
{
    const auto folder =
        juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("reader", "");
    ASSERT_TRUE (folder.createDirectory().wasOk());
    const auto plain = folder.getChildFile ("plain.ini"), empty = folder.getChildFile ("empty.ini"),
               oneByte = folder.getChildFile ("one.ini");
    ASSERT_TRUE (plain.replaceWithText ("#BAUD 9600\r\n\r\nafter\r\n") && empty.create().wasOk()
                 && oneByte.replaceWithText ("x"));

    const juce::StringArray before{ "kept\r\n" };
    const auto readInto = [&before] (const juce::File& file, juce::StringArray& entries)
    {
        entries = before;
        return initfile::readEntriesFromFile (file, entries);
    };
    juce::StringArray entries;
    EXPECT_TRUE (readInto (plain, entries) && entries == juce::StringArray ("#BAUD 9600\r\n"))
        << entries.joinIntoString ("");
    EXPECT_TRUE (readInto (empty, entries) && entries.isEmpty());
    EXPECT_TRUE (readInto (oneByte, entries) && entries == juce::StringArray ("x\r\n"));

    std::vector<juce::File> refused{ folder.getChildFile ("missing.ini"), folder };
#if ! JUCE_WINDOWS
    const auto path = [] (const juce::File& file) { return file.getFullPathName().toRawUTF8(); };
    const auto link = folder.getChildFile ("link.ini");
    ASSERT_EQ (::symlink ("plain.ini", path (link)), 0);
    EXPECT_TRUE (readInto (link, entries) && entries == juce::StringArray ("#BAUD 9600\r\n")) << "the link is followed";

    // A pipe nobody writes into, from the start or swapped in under a plain
    // file's name, and a device that would read as empty.
    const auto pipe = folder.getChildFile ("pipe.ini"), swapped = folder.getChildFile ("swapped.ini"),
               pipeToSwapIn = folder.getChildFile ("pipe");
    ASSERT_TRUE (::mkfifo (path (pipe), 0666) == 0 && ::mkfifo (path (pipeToSwapIn), 0666) == 0
                 && plain.copyFileTo (swapped));
    refused.insert (refused.end(), { pipe, swapped, juce::File ("/dev/null") });
    takenOverAfterStat = { path (swapped), path (pipeToSwapIn) };
#endif

    for (auto& file : refused)
    {
#if JUCE_WINDOWS
        EXPECT_FALSE (readInto (file, entries)) << file.getFullPathName();
#else
        // Should the read wait on a pipe, the pipe's other end is opened
        // after a while to let it go, so the test ends.
        auto reading = std::async (std::launch::async, [&] { return readInto (file, entries); });
        const bool returned = reading.wait_for (std::chrono::seconds (10)) == std::future_status::ready;
        if (! returned)
            ::close (::open (path (file), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE (returned) << file.getFullPathName() << ": the read waited";
        EXPECT_FALSE (reading.get()) << file.getFullPathName();
#endif
        EXPECT_EQ (entries, before) << file.getFullPathName();
    }
#if ! JUCE_WINDOWS
    EXPECT_EQ (takenOverAfterStat.name, nullptr) << "the name is checked before anything is opened";
    takenOverAfterStat = {}; // its paths go with this test
#endif
    EXPECT_TRUE (folder.deleteRecursively());
}
