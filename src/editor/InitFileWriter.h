#pragma once

#include <juce_core/juce_core.h>

// Writing an init file. Nothing here needs a window.
namespace initfile
{
// The bytes of a saved file for the text shown in the view: UTF-8 without a
// byte-order mark, every LF that no CR precedes written as CR LF (CR LF pairs
// and lone CRs as they stand), and one closing CR LF.
juce::MemoryBlock bytesToSave (const juce::String& text);

// Puts the bytes in place of the target's content without ever leaving a
// half-written target: they go to a new file beside it first, and only when
// all of them are written and flushed does that file take the target's place,
// with the target's permissions. A target that is a link is written through
// to the file it points at. False, with the target exactly as it was, when
// anything fails (a folder of that name, a folder that doesn't exist, a full
// disk, no right to write).
bool replaceFileContent (const juce::File& target, const void* data, size_t numBytes);
} // namespace initfile
