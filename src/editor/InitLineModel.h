#pragma once

#include <juce_core/juce_core.h>

// The init file held as an ordered list of entries. Each entry carries its own
// line ending, except the generated header block whose line breaks are entries
// of their own, so the file's text is the plain concatenation of the entries.
namespace initfile
{
// A trigger's line only counts as present among the first this-many entries.
constexpr int triggerLineSearchLimit = 128;

// Longest text of one entry that the view shows (its line ending not counted).
constexpr int maxShownEntryLength = 1024;

extern const char* const triggerPrefix; // "#TRIG "

// The seven entries that a new file starts with.
juce::StringArray headerBlock();

// The trigger number of an entry, or -1 when it is not a trigger line.
int triggerNumberOf (const juce::String& entry);

// Index of the first entry with that trigger number, or -1.
int findTriggerLine (const juce::StringArray& lines, int triggerNumber);

// True when the index returned by findTriggerLine means the trigger has a line.
inline bool isPresentTriggerLine (int index)
{
    return index >= 0 && index < triggerLineSearchLimit;
}

// Where a new line for the trigger goes: before the first entry with a higher
// trigger number or containing "*", else at the end (the list's size).
int triggerLineInsertIndex (const juce::StringArray& lines, int triggerNumber);

// The text the view shows for the list: every entry in order, each cut to
// maxShownEntryLength characters before its line ending, which is kept.
juce::String viewText (const juce::StringArray& lines);

// The C library's atoi, on a JUCE string: leading white space, an optional
// sign, decimal digits up to the first other character; no digits gives 0.
int atoiOf (const juce::String& text);
} // namespace initfile
