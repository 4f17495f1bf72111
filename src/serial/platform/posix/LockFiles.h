#pragma once

#if ! defined(_WIN32)

#include "serial/platform/posix/PortScan.h"

#include <string>
#include <vector>

// The lock files by which programs on Linux tell each other that they use a
// serial port: "LCK..<name>" in a folder every user may write to, holding
// the owner's process id. The folder being open to all, anything may stand
// under such a name; nothing found there may stop or crash the program.
namespace serialplatform
{
// Every name that a program may have locked the node under: it names the
// lock after the path it was given, by its file name or by the path after
// "/dev/" with '/' turned into '_'. Those paths are the node itself and each
// link in the roots' by-id and by-path folders that leads to it.
std::vector<std::string> lockNamesFor (const ScanRoots& roots, const std::string& node);

// Whether a lock in the roots' lock folders, under any of the node's names,
// says that a live process other than this one uses the node. What is not a
// plain file there (a folder, a FIFO, a device, a link) counts as a lock held,
// as other programs count it so.
bool isHeldByLockFile (const ScanRoots& roots, const std::string& node);

// This process's own lock on the node, "LCK..<node's file name>" in the first
// of the folders that takes it, where a lock of a process that is gone is
// replaced. lockPath is the lock made, or empty where no folder takes one.
// False when another live process holds that name.
bool createOwnLock (const std::vector<std::string>& lockFolders, const std::string& node, std::string& lockPath);

// Removes a lock made by createOwnLock, unless something else has taken its
// place meanwhile.
void removeOwnLock (const std::string& lockPath);
} // namespace serialplatform

#endif
