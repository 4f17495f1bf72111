// The registry lists pseudo-terminals and the devices of a Linux machine;
// Windows lists its own COM ports.
#if ! defined(_WIN32)

#include <gtest/gtest.h>
#include "serial/FakeMachine.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "serial/platform/posix/PortTable.h"
#include "support/PseudoTerminal.h"

// "COMn" of the device listed now at this path (a node or a link to one).
static juce::String comNameOf (const std::string& devicePath)
{
    for (auto& port : serialplatform::listPresentPorts())
        if (port.devicePath == serialplatform::canonicalPath (devicePath))
            return "COM" + juce::String (port.comNumber);
    return {};
}

TEST (PortRegistry, RegisteredDeviceIsListedAndOpenedByItsComNameOnly)
{
    testsupport::PseudoTerminal line, passing;
    const int number = PortRegistry::registerDevice (line.getSlavePath(), "Caf\xe9 COMBO COM Adapter"); // Latin-1
    const auto comName = "COM" + juce::String (number);
    {
        // A scope takes away what was registered within it, and only that.
        PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
        PortRegistry::registerDevice (passing.getSlavePath(), "Passing");
    }
    ASSERT_EQ (SerialPort::listPorts().size(), 1);

    // The link takes the port's name from the first "COM" of the friendly name.
    const auto name = SerialPort::listPorts().getAllKeys()[0];
    EXPECT_EQ (name.substring (name.indexOf ("COM")), comName + ")");
    EXPECT_TRUE (name.startsWith (juce::CharPointer_UTF8 ("Caf\xc3\xa9 ComBO Com Adapter "))) << name;
    SerialPort port;
    for (auto bad : { "\\\\.\\", "\\\\.\\COM", "COM", "\\\\.\\COM0", "\\\\.\\COMX", "\\\\.\\CON1", "\\\\.\\COM999" })
        EXPECT_FALSE (port.open (bad)) << bad;
    EXPECT_TRUE (port.open (comName.toLowerCase()));

    // Only a device listed now answers to its COM name, though its node lives on.
    EXPECT_TRUE (PortRegistry::unregisterDevice (line.getSlavePath()));
    EXPECT_FALSE (PortRegistry::unregisterDevice (line.getSlavePath()));
    EXPECT_EQ (SerialPort::listPorts().size(), 0);
    EXPECT_FALSE (port.open ("\\\\.\\" + comName));
    EXPECT_EQ (PortRegistry::registerDevice (line.getSlavePath(), "Board again"), number);
    EXPECT_TRUE (SerialPort::listPorts().getAllKeys()[0].startsWith ("Board again "));
    EXPECT_TRUE (port.open ("\\\\.\\" + comName));
    PortRegistry::unregisterAllDevices();
}

// The machine's own devices, read from a fake machine.
struct PortListing : testing::Test
{
    PortListing() { serialplatform::setScanRoots (machine.roots()); }
    void SetUp() override { PortRegistry::setListOnlyRegisteredDevices (false); }
    void TearDown() override
    {
        PortRegistry::setListOnlyRegisteredDevices (true);
        serialplatform::setScanRoots ({}); // the machine's own again, not a folder about to go
    }
    FakeMachine machine;
};

TEST_F (PortListing, UsbDevicesFirstInNaturalOrderNamedByProduct)
{
    machine.addUart ("ttyS1", "4");
    machine.addUsb ("ttyUSB10", "Board Ten", "1-1.1");
    machine.addUsb ("ttyUSB2", "Board Two", "1-1.2");
    machine.addUsb ("ttyACM0", "Quorvel COM Board", "1-1.3");
    const int setsBefore = serialplatform::countOpenDeviceSets();
    const auto ports = SerialPort::listPorts();
    EXPECT_EQ (serialplatform::countOpenDeviceSets(), setsBefore);

    juce::StringArray shown;
    for (int i = 0; i < ports.size(); ++i)
    {
        const auto name = ports.getAllKeys()[i], path = ports.getAllValues()[i];
        shown.add (name.replace (machine.file ("dev").getFullPathName() + "/", {}).upToLastOccurrenceOf (" (", 0, 0));
        EXPECT_TRUE (name.contains (" " + path + " (COM")) << name;
        EXPECT_EQ (ports.getValue (name.toLowerCase(), {}), path);
        const auto comName = name.fromLastOccurrenceOf ("(", false, false).dropLastCharacters (1);
        EXPECT_EQ (serialplatform::resolveDeviceName (("\\\\.\\" + comName).toStdString()), path.toStdString());
    }
    EXPECT_EQ (shown, juce::StringArray ("Quorvel Com Board ttyACM0", "Board Two ttyUSB2", "Board Ten ttyUSB10",
                                         "serial8250 ttyS1"));

    // Names of up to 1023 bytes fit the listing's buffer; a longer one is left out.
    const auto fits = juce::String::repeatedString ("x", 1023 - ports.getAllKeys()[0].length() + 17);
    machine.addUsb ("ttyACM0", fits, "1-1.3");
    EXPECT_EQ (SerialPort::listPorts().getAllKeys()[0].length(), 1023);
    machine.addUsb ("ttyACM0", fits + "x", "1-1.3");
    EXPECT_EQ (SerialPort::listPorts().size(), 3);
}

TEST_F (PortListing, EachAdapterKeepsItsNumberAndNoEntryOpensAnotherAdapter)
{
    testsupport::PseudoTerminal lines[4], board, boardMoved;
    const juce::String link = "usb-1a86_USB2.0-Serial-if00-port0";
    juce::String nodes[2];
    auto plug = [&] (int socket, int line) // two identical adapters without serial numbers
    {
        nodes[socket] = "ttyUSB" + juce::String (line);
        machine.addUsb (nodes[socket], "USB2.0-Serial", "1-1." + juce::String (socket + 1), lines[line].getSlavePath());
        machine.link (link, nodes[socket]); // udev gives their one link to the one plugged in last
    };
    plug (0, 0);
    plug (1, 1);
    machine.addUsb ("ttyACM0", "Board", "1-1.5", board.getSlavePath(), "Q42");
    ASSERT_EQ (SerialPort::listPorts().size(), 3);
    auto comOf = [] (auto& line) { return comNameOf (line.getSlavePath()); };
    const juce::String com[] = { comOf (lines[0]), comOf (lines[1]), comOf (board) };
    EXPECT_NE (com[0], com[1]);

    // With a serial number, an adapter is itself in any socket.
    machine.unplug ("ttyACM0");
    machine.addUsb ("ttyACM1", "Board", "1-1.6", boardMoved.getSlavePath(), "Q42");
    EXPECT_EQ (comOf (boardMoved), com[2]);

    for (int gone : { 1, 0 })
    {
        const int stays = 1 - gone;
        machine.link (link, nodes[gone]);
        machine.unplug (nodes[gone]);
        machine.link (link, nodes[stays]);
        SerialPort port, other;
        EXPECT_FALSE (port.open ("\\\\.\\" + com[gone])) << gone;
        ASSERT_TRUE (port.open ("\\\\.\\" + com[stays])) << gone;
        EXPECT_FALSE (other.open (machine.file ("dev/" + nodes[stays]).getFullPathName())) << "not the one held";
        port.close();
        plug (gone, gone + 2); // back in the same socket, under a new node
        EXPECT_EQ (comOf (lines[gone + 2]), com[gone]);
    }
}

// Windows knows a clone of an adapter in use by its USB port; so must we, or
// the adapter's number would move to another device while it is in use.
TEST_F (PortListing, CloneOfAnAdapterInUseLeavesItsNumberAlone)
{
    testsupport::PseudoTerminal adapter, clone;
    machine.addUsb ("ttyUSB1", "Adapter", "1-1.2", adapter.getSlavePath(), "0001");
    const auto com = comNameOf (adapter.getSlavePath());
    machine.addUsb ("ttyUSB0", "Adapter", "1-1.1", clone.getSlavePath(), "0001");
    ASSERT_EQ (SerialPort::listPorts().size(), 2);
    EXPECT_EQ (comNameOf (adapter.getSlavePath()), com);
    EXPECT_NE (comNameOf (clone.getSlavePath()), com);

    SerialPort port, other;
    ASSERT_TRUE (port.open ("\\\\.\\" + com));
    EXPECT_FALSE (other.open (adapter.getSlavePath())) << "the adapter is the one held";
    EXPECT_TRUE (other.open (clone.getSlavePath()));
    machine.unplug ("ttyUSB0");
    EXPECT_EQ (comNameOf (adapter.getSlavePath()), com);
}

// Product strings are the adapter maker's bytes: UTF-8 as a rule, Latin-1 at times.
TEST_F (PortListing, NamesShowNoControlCharactersNorMarksThatReorderText)
{
    const char* products[] = { "A\x7fG\xc2\x9bH\xe2\x80\xaeI\xe2\x81\xa6J\xe2\x80\x8fK\tL", "Caf\xe9\x9b\x7f" };
    for (int i = 0; i < 2; ++i)
    {
        const auto socket = "1-1." + juce::String (i + 1);
        machine.addUsb ("ttyUSB" + juce::String (i), "-", socket);
        machine.file ("sys/devices/pci0/usb1/1-1/" + socket + "/product")
            .replaceWithData (products[i], strlen (products[i]));
    }
    const auto ports = SerialPort::listPorts();
    juce::StringArray shown;
    for (auto& name : ports.getAllKeys())
        shown.add (name.replace (machine.file ("dev").getFullPathName() + "/", {}).upToLastOccurrenceOf (" (", 0, 0));
    EXPECT_EQ (shown.joinIntoString ("|"), juce::CharPointer_UTF8 ("A G H I J K L ttyUSB0|Caf\xc3\xa9   ttyUSB1"));
}

TEST_F (PortListing, LockFileOfAnotherLiveProcessKeepsThePortClosed)
{
    testsupport::PseudoTerminal line;
    const auto parent = ::getppid();
    const std::pair<std::string, bool> cases[] = {
        { "     " + std::to_string (parent) + "\n", false },
        { std::string (reinterpret_cast<const char*> (&parent), 4), false }, // the old binary form
        { "4194304\n", true },                                               // above any process id: stale
        { std::to_string (::getpid()), true },                               // our own
        { "garbage\n", true },
    };
    const auto lock = machine.file ("run/lock/LCK.." + juce::File (line.getSlavePath()).getFileName());
    lock.create();

    for (auto& [content, opens] : cases)
    {
        lock.replaceWithData (content.data(), content.size());
        SerialPort port;
        EXPECT_EQ (port.open (line.getSlavePath()), opens) << content;
    }
}

#endif
