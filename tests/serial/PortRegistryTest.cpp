// The registry lists pseudo-terminals; Windows lists its own COM ports.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/PseudoTerminal.h"

#include <memory>

namespace
{
int numberAfterPts (const std::string& path)
{
    return std::stoi (path.substr (path.find_last_of ('/') + 1));
}
} // namespace

TEST (PortRegistry, ComNumberIsKeptForTheLifeOfTheProcess)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());

    auto number = PortRegistry::registerDevice (line.getSlavePath(), "Board");
    EXPECT_EQ (PortRegistry::getComName (line.getSlavePath()), "COM" + std::to_string (number));

    EXPECT_TRUE (PortRegistry::unregisterDevice (line.getSlavePath()));
    EXPECT_FALSE (PortRegistry::unregisterDevice (line.getSlavePath()));
    EXPECT_EQ (SerialPort::listPorts().size(), 0);

    EXPECT_EQ (PortRegistry::registerDevice (line.getSlavePath(), "Board again"), number);
    EXPECT_TRUE (SerialPort::listPorts().getAllKeys()[0].startsWith ("Board again "));
}

TEST (PortRegistry, ListsDevicesInNodeOrder)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    std::vector<std::unique_ptr<testsupport::PseudoTerminal>> lines;

    for (int i = 0; i < 3; ++i)
    {
        lines.push_back (std::make_unique<testsupport::PseudoTerminal>());
        ASSERT_TRUE (lines.back()->isValid());
    }

    // Registered in reverse: the listing still follows the device nodes.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        PortRegistry::registerDevice ((*it)->getSlavePath(), "Board");

    auto paths = SerialPort::listPorts().getAllValues();
    ASSERT_EQ (paths.size(), 3);

    for (int i = 1; i < paths.size(); ++i)
        EXPECT_LT (numberAfterPts (paths[i - 1].toStdString()), numberAfterPts (paths[i].toStdString()));
}

TEST (PortRegistry, ComInDescriptionDoesNotHideTheNumber)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());

    auto number = PortRegistry::registerDevice (line.getSlavePath(), "COMBO COM Adapter");
    auto name = SerialPort::listPorts().getAllKeys()[0];

    // The link takes the port's name from the first "COM" of the friendly name.
    EXPECT_EQ (name.substring (name.indexOf ("COM")), "COM" + juce::String (number) + ")");
    EXPECT_TRUE (name.startsWithIgnoreCase ("combo com adapter"));
}

TEST (PortRegistry, DeviceThatIsGoneIsNotListedNorOpened)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    std::string comName;

    {
        testsupport::PseudoTerminal line;
        ASSERT_TRUE (line.isValid());
        comName = "COM" + std::to_string (PortRegistry::registerDevice (line.getSlavePath(), "Board"));
    }

    EXPECT_EQ (SerialPort::listPorts().size(), 0);

    SerialPort port;
    EXPECT_FALSE (port.open ("\\\\.\\" + juce::String (comName)));
    EXPECT_FALSE (port.open ("\\\\.\\COM999"));
    EXPECT_FALSE (port.open ("\\\\.\\")); // what a name without "COM" turns into
}

TEST (PortRegistry, ScopeRestoresTheMachinesPortsAndForgetsItsDevices)
{
    // The suite normally hides the machine's ports; this test needs them listed.
    struct MachinePortsListed
    {
        MachinePortsListed() { PortRegistry::setListOnlyRegisteredDevices (false); }
        ~MachinePortsListed() { PortRegistry::setListOnlyRegisteredDevices (true); }
    } machinePortsListed;

    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());

    {
        PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
        EXPECT_TRUE (PortRegistry::isListingOnlyRegisteredDevices());
        PortRegistry::registerDevice (line.getSlavePath(), "Board");
    }

    EXPECT_FALSE (PortRegistry::isListingOnlyRegisteredDevices());

    auto countListed = [&line]
    {
        int count = 0;
        auto ports = SerialPort::listPorts();

        for (auto& path : ports.getAllValues())
            if (path == juce::String (line.getSlavePath()))
                ++count;

        return count;
    };

    EXPECT_EQ (countListed(), 0);

    // Among the machine's own ports, a registered device appears once.
    PortRegistry::registerDevice (line.getSlavePath(), "Board");
    EXPECT_EQ (countListed(), 1);
    PortRegistry::unregisterAllDevices();
}

#endif
