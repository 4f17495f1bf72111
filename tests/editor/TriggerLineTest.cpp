#include <gtest/gtest.h>

#include "editor/TriggerLine.h"

using namespace triggerline;

namespace
{
const juce::String crlf ("\r\n");

TriggerSettings settingsOf (int interfaceId, bool invert, int typeId, int flags, bool polyphonic, int functionId,
                            int volumeDb, int lowTrack = 0, int highTrack = 0)
{
    TriggerSettings s;
    s.interfaceId = interfaceId;
    s.invert = invert;
    s.typeId = typeId;
    s.flags = flags;
    s.polyphonic = polyphonic;
    s.functionId = functionId;
    s.volumeDb = volumeDb;
    s.lowTrack = lowTrack;
    s.highTrack = highTrack;
    return s;
}

ParsedTriggerLine parsed (const juce::String& line)
{
    ParsedTriggerLine result;
    EXPECT_TRUE (parseTriggerLine (line, result)) << line;
    return result;
}

void expectField (const ParsedField& field, bool accepted, int value, const char* name)
{
    EXPECT_TRUE (field.present) << name;
    EXPECT_EQ (field.accepted, accepted) << name;
    EXPECT_EQ (field.value, value) << name;
}
} // namespace

TEST (TriggerLine, FormatsFieldsInLineOrderWithTwoDigitNumber)
{
    EXPECT_EQ (formatTriggerLine (1, TriggerSettings()), "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ," + crlf);
    EXPECT_EQ (formatTriggerLine (2, settingsOf (1, false, 1, 0, false, 7, 0, 5, 5)),
               "#TRIG 02, 1, 0, 1, 0, 0, 7, 0, 5, 5" + crlf);
    EXPECT_EQ (formatTriggerLine (12, settingsOf (2, false, 1, 2, false, 2, -6, 1, 16)),
               "#TRIG 12, 2, 0, 1, 2, 0, 2, -6, 1, 16" + crlf);
    EXPECT_EQ (formatTriggerLine (9, settingsOf (2, true, 3, 7, false, 1, -7)),
               "#TRIG 09, 2, 1, 3, 7, 0, 1, -7, ," + crlf);
    EXPECT_EQ (formatTriggerLine (16, settingsOf (1, false, 2, 4, true, 4, 10, 4096, 4096)),
               "#TRIG 16, 1, 0, 2, 4, 1, 4, 10, 4096, 4096" + crlf);
}

TEST (TriggerLine, OnlyNextToStopCarryATrackRange)
{
    for (int function = 1; function <= 13; ++function)
    {
        const auto line = formatTriggerLine (3, settingsOf (1, false, 1, 1, true, function, 0, 12, 40));
        const bool carriesRange = function >= 2 && function <= 7;

        EXPECT_EQ (functionTakesTrackRange (function), carriesRange) << function;
        EXPECT_EQ (line.endsWith (", 12, 40" + crlf), carriesRange) << line;
        EXPECT_EQ (line.endsWith (", ," + crlf), ! carriesRange) << line;
    }
}

TEST (TriggerLine, RefusedTrackRangesBuildNothing)
{
    const std::pair<int, int> refused[] = { { 1, 0 }, { 10, 5 }, { 4097, 4097 }, { 0, 16 }, { 1, 4097 }, { -3, 5 } };

    for (auto [low, high] : refused)
    {
        EXPECT_FALSE (isValidTrackRange (low, high)) << low << " " << high;

        for (int function = 2; function <= 7; ++function)
            EXPECT_TRUE (formatTriggerLine (1, settingsOf (1, false, 1, 1, true, function, 0, low, high)).isEmpty());
    }

    // The same values are no obstacle where the line has no range.
    EXPECT_FALSE (formatTriggerLine (1, settingsOf (1, false, 1, 1, true, 8, 0, 10, 5)).isEmpty());

    EXPECT_TRUE (isValidTrackRange (1, 1));
    EXPECT_TRUE (isValidTrackRange (1, 4096));
    EXPECT_TRUE (isValidTrackRange (4096, 4096));
}

TEST (TriggerLine, ParsesEveryFieldOfAFullLine)
{
    const auto line = parsed ("#TRIG 16, 2, 1, 3, 7, 0, 4, -20, 100, 200" + crlf);

    EXPECT_EQ (line.triggerNumber, 16);
    expectField (line.interfaceId, true, 2, "interface");
    expectField (line.invert, true, 1, "invert");
    expectField (line.typeId, true, 3, "type");
    expectField (line.flags, true, 7, "flags");
    expectField (line.polyphonic, true, 0, "polyphonic");
    expectField (line.functionId, true, 4, "function");
    expectField (line.volumeDb, true, -20, "volume");
    expectField (line.lowTrack, true, 100, "low");
    expectField (line.highTrack, true, 200, "high");
}

TEST (TriggerLine, OutOfRangeFieldsArePresentButRefused)
{
    const auto line = parsed ("#TRIG 03, 9, 0, 0, 1, 1, 99, 30, , " + crlf);

    EXPECT_EQ (line.triggerNumber, 3);
    expectField (line.interfaceId, false, 9, "interface");
    expectField (line.typeId, false, 0, "type");
    expectField (line.functionId, false, 99, "function");
    expectField (line.volumeDb, false, 30, "volume");
    expectField (line.lowTrack, false, 0, "low");
    expectField (line.highTrack, false, 0, "high");

    const auto limits = parsed ("#TRIG 04, 0, 0, 4, 0, 0, 14, -21, 4097, 0" + crlf);
    EXPECT_FALSE (limits.interfaceId.accepted);
    EXPECT_FALSE (limits.typeId.accepted);
    EXPECT_FALSE (limits.functionId.accepted);
    EXPECT_FALSE (limits.volumeDb.accepted);
    EXPECT_FALSE (limits.lowTrack.accepted);
    EXPECT_FALSE (limits.highTrack.accepted);
}

TEST (TriggerLine, TokensAreSplitAtEverySingleBlankAndLineBreak)
{
    // Without blanks the whole rest is one token; the CR LF adds two empty ones.
    const auto packed = parsed ("#TRIG 1,1,0,1,1,1,1,0" + crlf);
    EXPECT_EQ (packed.triggerNumber, 1);
    expectField (packed.interfaceId, false, 0, "interface");
    expectField (packed.invert, true, 0, "invert");
    EXPECT_FALSE (packed.typeId.present);

    const auto bare = parsed ("#TRIG 1,1,0,1,1,1,1,0");
    EXPECT_EQ (bare.triggerNumber, 1);
    EXPECT_FALSE (bare.interfaceId.present);

    // A doubled blank is an empty field, which moves every later value along.
    const auto doubled = parsed ("#TRIG 05,  2, 0, 3, 0, 0, 1, 0, ," + crlf);
    expectField (doubled.interfaceId, false, 0, "interface");
    expectField (doubled.invert, true, 2, "invert");
    expectField (doubled.typeId, false, 0, "type");

    const auto tabs = parsed ("#TRIG 05,\t2,\t1,\t2,\t3,\t1,\t6,\t-4,\t7,\t9" + crlf);
    expectField (tabs.interfaceId, true, 2, "interface");
    expectField (tabs.volumeDb, true, -4, "volume");
    expectField (tabs.highTrack, true, 9, "high");
}

TEST (TriggerLine, PrefixIsTrimmedAsACharacterSet)
{
    EXPECT_EQ (parsed ("#TRIG TRIG 07, 2" + crlf).triggerNumber, 7);
    EXPECT_EQ (parsed ("#TRIG G5, 2" + crlf).triggerNumber, 5);
    expectField (parsed ("#TRIG G5, 2" + crlf).interfaceId, true, 2, "interface");
}

TEST (TriggerLine, RefusesWhatIsNotAReadableTriggerLine)
{
    ParsedTriggerLine result;
    result.triggerNumber = 42;

    for (auto line : { "#TRIG 17, 1, 0, 1, 1, 1, 1, 0, ,\r\n", "#TRIG -1, 1\r\n", "#trig 01, 1\r\n",
                       " #TRIG 01, 1\r\n", "#TRIG01, 1\r\n", "#TRIG ", "#BAUD 9600\r\n", "" })
        EXPECT_FALSE (parseTriggerLine (line, result)) << line;

    EXPECT_EQ (result.triggerNumber, 42); // a refused line leaves the result alone

    EXPECT_EQ (parsed ("#TRIG 00, 2" + crlf).triggerNumber, 0);
    EXPECT_EQ (parsed ("#TRIG " + crlf).triggerNumber, 0); // the line break alone makes tokens
}

TEST (TriggerLine, EveryBuiltLineReadsBackToItsSettings)
{
    for (int trigger = 1; trigger <= 16; ++trigger)
        for (int function = 1; function <= 13; ++function)
            for (int volume : { -20, -7, 0, 10 })
            {
                const auto settings = settingsOf (1 + trigger % 2, trigger % 3 == 0, 1 + trigger % 3, trigger % 8,
                                                  trigger % 5 != 0, function, volume, trigger, 4096 - trigger);
                const auto line = formatTriggerLine (trigger, settings);
                const auto back = parsed (line);

                EXPECT_EQ (back.triggerNumber, trigger) << line;
                EXPECT_EQ (back.interfaceId.value, settings.interfaceId) << line;
                EXPECT_EQ (back.invert.value != 0, settings.invert) << line;
                EXPECT_EQ (back.typeId.value, settings.typeId) << line;
                EXPECT_EQ (back.flags.value, settings.flags) << line;
                EXPECT_EQ (back.polyphonic.value != 0, settings.polyphonic) << line;
                EXPECT_EQ (back.functionId.value, function) << line;
                EXPECT_EQ (back.volumeDb.value, volume) << line;
                EXPECT_TRUE (back.volumeDb.accepted) << line;

                const bool carriesRange = functionTakesTrackRange (function);
                EXPECT_EQ (back.lowTrack.accepted, carriesRange) << line;
                EXPECT_EQ (back.highTrack.accepted, carriesRange) << line;
                if (carriesRange)
                {
                    EXPECT_EQ (back.lowTrack.value, trigger) << line;
                    EXPECT_EQ (back.highTrack.value, 4096 - trigger) << line;
                }
            }
}
