// Lock files are how programs on Linux share serial ports; Windows has none.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "serial/FakeMachine.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "serial/platform/posix/PortTable.h"
#include "support/PseudoTerminal.h"

#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>

// A port on a pseudo-terminal, with the lock folder of a fake machine.
struct LockFiles : testing::Test
{
    LockFiles()
    {
        serialplatform::setScanRoots (machine.roots());
        PortRegistry::setListOnlyRegisteredDevices (false);
    }
    ~LockFiles() override
    {
        PortRegistry::setListOnlyRegisteredDevices (true);
        serialplatform::setScanRoots ({});
    }

    static std::string lockText (pid_t pid)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%10d\n", (int) pid);
        return text;
    }
    juce::String nodeName() const { return juce::File (line.getSlavePath()).getFileName(); } // "4" of /dev/pts/4
    juce::File ownLock() const { return machine.file ("run/lock/LCK.." + nodeName()); }

    FakeMachine machine;
    testsupport::PseudoTerminal line;
};

// Other programs refuse such a lock; reading one must neither block (a FIFO)
// nor run on (a link to /dev/zero) nor throw (a folder).
TEST_F (LockFiles, AnythingButAPlainFileHoldsThePortAndIsLeftAlone)
{
    const auto lock = ownLock(); // where ours would go
    const std::pair<const char*, std::function<bool()>> strangeLocks[] = {
        { "folder", [&] { return lock.createDirectory().wasOk(); } },
        { "fifo", [&] { return ::mkfifo (lock.getFullPathName().toRawUTF8(), 0644) == 0; } },
        { "link to /dev/zero", [&] { return juce::File::createSymbolicLink (lock, "/dev/zero", true); } },
        { "link to a stale lock", [&] { return machine.lock ("x", "4194304\n").createSymbolicLink (lock, true); } },
    };

    for (auto& [what, place] : strangeLocks)
    {
        ASSERT_TRUE (place()) << what;
        SerialPort port;
        EXPECT_FALSE (port.open (line.getSlavePath())) << what;
        EXPECT_TRUE (lock.exists() || lock.isSymbolicLink()) << what;
        ASSERT_TRUE (::remove (lock.getFullPathName().toRawUTF8()) == 0) << what;
        EXPECT_TRUE (port.open (line.getSlavePath())) << "without the " << what;
    }
}

TEST_F (LockFiles, LockOfALiveProcessUnderAnyOfThePortsNamesKeepsItClosed)
{
    machine.addUsb ("ttyUSB0", "Board", "1-1.1", line.getSlavePath());
    machine.link ("usb-Board-if00-port0", "ttyUSB0");
    machine.link ("pci-0000:00:14.0-usb-0:1.1:1.0-port0", "ttyUSB0", "by-path");
    machine.link ("usb-Other-if00-port0", "ttyUSB9"); // leads elsewhere: its lock is not ours
    const juce::String names[] = { nodeName(),
                                   "pts_" + nodeName(),
                                   "usb-Board-if00-port0",
                                   "serial_by-id_usb-Board-if00-port0",
                                   "pci-0000:00:14.0-usb-0:1.1:1.0-port0",
                                   "serial_by-path_pci-0000:00:14.0-usb-0:1.1:1.0-port0" };
    const auto parent = lockText (::getppid());
    const auto comName = "\\\\.\\COM" + juce::String (serialplatform::listPresentPorts().at (0).comNumber);

    machine.lock ("usb-Other-if00-port0", parent);
    for (auto& name : names)
    {
        const auto lock = machine.lock (name, parent);
        SerialPort port;
        EXPECT_FALSE (port.open (line.getSlavePath())) << name;
        EXPECT_FALSE (port.open (comName)) << name;
        lock.deleteFile();
    }
    SerialPort port;
    EXPECT_TRUE (port.open (comName));
}

TEST_F (LockFiles, OwnLockMarksThePortWhileOpenAndReplacesAStaleOne)
{
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit (0);
    ASSERT_GT (gone, 0);
    ASSERT_EQ (::waitpid (gone, nullptr, 0), gone);

    for (const auto& before : { std::string(), lockText (gone), lockText (::getpid()) })
    {
        if (! before.empty())
            machine.lock (nodeName(), before);
        SerialPort port, second;
        const auto umaskBefore = ::umask (077); // a strict one must not hide the lock from other users
        const bool opened = port.open (line.getSlavePath());
        ::umask (umaskBefore);
        ASSERT_TRUE (opened) << before;
        EXPECT_EQ (ownLock().loadFileAsString().toStdString(), lockText (::getpid())) << before;
        struct stat info = {};
        EXPECT_TRUE (::stat (ownLock().getFullPathName().toRawUTF8(), &info) == 0 && (info.st_mode & 07777) == 0644)
            << before;
        EXPECT_FALSE (second.open (line.getSlavePath()));
        EXPECT_TRUE (ownLock().existsAsFile()) << "a refused second open takes nothing away";
        port.close();
        EXPECT_FALSE (ownLock().exists()) << before;
    }

    // A lock that another program took over meanwhile stays its own.
    SerialPort port;
    ASSERT_TRUE (port.open (line.getSlavePath()));
    machine.lock (nodeName(), lockText (::getppid()));
    port.close();
    EXPECT_TRUE (ownLock().existsAsFile());
}

// The first folder that takes the lock gets it; any folder's lock counts.
TEST_F (LockFiles, LockGoesToTheFirstWritableFolderAndWithoutOneThePortOpensUnmarked)
{
    auto roots = machine.roots();
    roots.lockFolders = { machine.file ("run/missing").getFullPathName().toStdString(),
                          machine.file ("var/lock").getFullPathName().toStdString() };
    serialplatform::setScanRoots (roots);
    const auto second = machine.file ("var/lock/LCK.." + nodeName());
    ASSERT_TRUE (second.getParentDirectory().createDirectory() && second.replaceWithText (lockText (::getppid())));
    SerialPort port;
    EXPECT_FALSE (port.open (line.getSlavePath()));
    ASSERT_TRUE (second.deleteFile() && port.open (line.getSlavePath()));
    EXPECT_EQ (second.loadFileAsString().toStdString(), lockText (::getpid()));
    port.close();

    roots.lockFolders.pop_back();
    serialplatform::setScanRoots (roots);
    EXPECT_TRUE (port.open (line.getSlavePath()));
    EXPECT_FALSE (second.exists() || machine.file ("run/missing").exists());
}

#endif
