#pragma once

#include <juce_core/juce_core.h>

// Writing an init file. Nothing here needs a window.
namespace initfile
{
// The bytes of a saved file for the text shown in the view: UTF-8 without a
// byte-order mark, every LF that no CR precedes written as CR LF (CR LF pairs
// and lone CRs as they stand), and one closing CR LF.
juce::MemoryBlock bytesToSave (const juce::String& text);

// What a save that failed leaves behind, and why.
struct SaveFailure
{
    // The system's own words for it, when it gave any.
    juce::String reason;
    // Windows alone: the new file that holds the new text, where the system
    // failed half-way with the target gone or under another name.
    juce::File newTextKeptIn;
    // The target was being written into and its old bytes could not all be
    // put back: it may now hold part of the new text.
    bool targetMayHoldPartOfNewText = false;
};

// Puts the bytes in place of the target's content without ever leaving a
// half-written target where the system allows it. Where it does, they go to a
// new file beside the file the target's name leads to (links followed as the
// system follows them, but none that someone else planted in a shared sticky
// folder such as /tmp, and none on a disk mounted not to follow them), and
// only when every byte is on the disk does that file take the target's place.
// It does so only when it has become the target's twin: the same owner and
// group, and no wider access (mode and access list); other extended
// attributes come along where the disk takes them.
// Where no twin can be made (another owner, a disk that takes no owners), or
// the target has a second name, or the folder takes no new file, or the disk
// has no room for a second copy, the bytes are written into the target itself.
// Its old content is read into memory first, so the target must be readable
// and small enough to hold; should the write fail half-way, the old bytes are
// written back, and only if that fails too does `failure` say that the target
// may hold part of the new text.
// Otherwise false means the target is exactly as it was and no new file is
// left (a folder of that name, a folder that doesn't exist, a full disk or a
// write cut short, no right to write the target, a read-only disk), and
// `failure` gets the system's own words for it, when it gave any.
// On Windows alone the system can fail half-way, with the target gone or
// under another name: the new file then stays, and `failure` names it.
bool replaceFileContent (const juce::File& target, const void* data, size_t numBytes, SaveFailure* failure = nullptr);
} // namespace initfile
