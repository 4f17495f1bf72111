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
// half-written target: they go to a new file beside the file the target's
// name leads to (links followed as the system follows them, but none that
// someone else planted in a shared sticky folder such as /tmp), and only when
// every byte is written and on the disk does that file take the target's
// place, with the target's owner, extended attributes (its access list among
// them) and permissions from before its first byte.
// False, with the target exactly as it was and no new file left, when
// anything fails (a folder of that name, a folder that doesn't exist, a full
// disk or a write cut short, no right to write the folder or the target).
// On Windows alone the system can fail half-way, with the target gone or
// under another name: the new file then stays, and `newTextKeptIn` names it.
bool replaceFileContent (const juce::File& target, const void* data, size_t numBytes,
                         juce::File* newTextKeptIn = nullptr);
} // namespace initfile
