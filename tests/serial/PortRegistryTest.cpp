// The registry lists pseudo-terminals; Windows lists its own COM ports.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/PseudoTerminal.h"

#include <memory>

TEST (PortRegistry, ComNumberStaysWithItsDeviceWhileItLives)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    juce::String comName;

    {
        testsupport::PseudoTerminal line;
        ASSERT_TRUE (line.isValid());
        const int number = PortRegistry::registerDevice (line.getSlavePath(), "COMBO COM Adapter");
        comName = "COM" + juce::String (number);

        // The link takes the port's name from the first "COM" of the friendly name.
        const auto name = SerialPort::listPorts().getAllKeys()[0];
        EXPECT_EQ (name.substring (name.indexOf ("COM")), comName + ")");
        EXPECT_TRUE (name.startsWithIgnoreCase ("combo com adapter"));

        EXPECT_TRUE (PortRegistry::unregisterDevice (line.getSlavePath()));
        EXPECT_FALSE (PortRegistry::unregisterDevice (line.getSlavePath()));
        EXPECT_EQ (SerialPort::listPorts().size(), 0);
        EXPECT_EQ (PortRegistry::registerDevice (line.getSlavePath(), "Board again"), number);
        EXPECT_TRUE (SerialPort::listPorts().getAllKeys()[0].startsWith ("Board again "));
    }

    // The device is gone: neither listed nor opened.
    EXPECT_EQ (SerialPort::listPorts().size(), 0);
    SerialPort port;
    EXPECT_FALSE (port.open ("\\\\.\\" + comName));
    EXPECT_FALSE (port.open ("\\\\.\\COM999"));
    EXPECT_FALSE (port.open ("\\\\.\\")); // what a name without "COM" turns into
}

TEST (PortRegistry, ListsDevicesInNodeOrder)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    std::vector<std::unique_ptr<testsupport::PseudoTerminal>> lines;
    for (int i = 0; i < 3; ++i)
        lines.push_back (std::make_unique<testsupport::PseudoTerminal>());

    // Registered in reverse, listed as the device nodes follow each other.
    for (int i = 2; i >= 0; --i)
        PortRegistry::registerDevice (lines[(size_t) i]->getSlavePath(), "Board");

    const auto paths = SerialPort::listPorts().getAllValues();
    ASSERT_EQ (paths.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ (paths[i], juce::String (lines[(size_t) i]->getSlavePath()));
}

#endif
