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
// half-written target. Where the system lets it, they go to a new file beside
// the file the target's name leads to (links followed as the system follows
// them, but none that someone else planted in a shared sticky folder such as
// /tmp, and none on a disk mounted not to follow them), and only when every
// byte is on the disk does that file take the target's place. It does so
// only when it has become the target's twin: the same owner and group, and
// no wider access (mode and access list); other extended attributes come
// along where the disk takes them.
// Where no twin can be made (another owner, a disk that takes no owners), or
// the target has a second name, or the folder takes no new file, or the disk
// has no room for a second copy, the bytes are written into the target itself,
// which the target's content must first be readable for; should that fail
// half-way, the old content is written back before false is returned.
// False, with the target exactly as it was and no new file left, when
// anything fails (a folder of that name, a folder that doesn't exist, a full
// disk or a write cut short, no right to write the target, a read-only disk);
// `reason` then gets the system's own words for it, when it gave any.
// On Windows alone the system can fail half-way, with the target gone or
// under another name: the new file then stays, and `newTextKeptIn` names it.
bool replaceFileContent (const juce::File& target, const void* data, size_t numBytes,
                         juce::File* newTextKeptIn = nullptr, juce::String* reason = nullptr);
} // namespace initfile
