// Windows lists its own COM ports; the scan reads a Linux machine.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "serial/FakeMachine.h"

// "node identity | description | board" for each device of a first listing, paths in the
// fake /dev shown by their names, sorted.
static juce::StringArray scanned (const FakeMachine& machine)
{
    auto devices = serialplatform::scanSerialDevices (machine.roots());
    std::map<std::string, std::string> firstListing;
    serialplatform::keepIdentities (devices, firstListing);
    juce::StringArray lines;
    for (auto& d : devices)
        lines.add (
            juce::String (d.node + " " + d.identity + " | " + d.description + (d.likelyBoard ? " | board" : " | uart"))
                .replace (machine.file ("dev").getFullPathName() + "/", {}));
    lines.sort (false);
    return lines;
}

TEST (PortScan, FindsSerialDevicesButNeitherConsolesNorAbsentUarts)
{
    FakeMachine machine;
    machine.addUart ("ttyS0", "4"); // the kernel's console
    machine.addUart ("ttyS1", "4");
    machine.addUart ("ttyS2", "0"); // a UART the driver could have but has not
    machine.addUart ("ttyS3", "4");
    machine.file ("dev/ttyS3").deleteFile();
    machine.addTty ("tty1", {}); // a virtual console: no device
    machine.addUsb ("ttyUSB0", "FT232R USB UART", "1-1.1", {}, "A9X1");
    machine.link ("usb-FTDI_FT232R_USB_UART_A9X1-if00-port0", "ttyUSB0");
    machine.addUsb ("ttyUSB1", "Console Cable", "1-1.2"); // a console too, although linked
    machine.link ("usb-Console_Cable-if00-port0", "ttyUSB1");
    // Without a product string, never named after the hub or the host controller above.
    machine.addUsb ("ttyUSB2", {}, "1-1.3", {}, {}, "CP2102 Interface");
    machine.addUsb ("ttyUSB3", {}, "1-1.4");
    machine.link ("usb-1a86_USB_Serial-if00-port0", "ttyUSB3");
    machine.addUsb ("ttyUSB4", "Clone", "1-1.5", {}, "0001"); // two claiming one serial number
    machine.addUsb ("ttyUSB5", "Clone", "1-1.6", {}, "0001");
    machine.file ("dev/ttyACM0").replaceWithText ({}); // no sysfs entry, only a link
    machine.link ("usb-Board_B-if00", "ttyACM0");
    machine.link ("usb-Board_A-if00", "ttyACM0");
    machine.link ("usb-Gone-if00-port0", "ttyUSB7");
    machine.file ("sys/class/tty/console/active").replaceWithText ("tty0 ttyS0 ttyUSB1\n");

    const juce::StringArray expected{
        "ttyACM0 ttyACM0 | usb-Board_A-if00 | board",
        "ttyS1 ttyS1 | serial8250 | uart",
        "ttyUSB0 usb 1a86:7523 serial A9X1 interface 00 | FT232R USB UART | board",
        "ttyUSB2 usb 1a86:7523 at 1-1.3:1.0 | CP2102 Interface | board",
        "ttyUSB3 usb 1a86:7523 at 1-1.4:1.0 | usb-1a86_USB_Serial-if00-port0 | board",
        "ttyUSB4 usb 1a86:7523 at 1-1.5:1.0 | Clone | board",
        "ttyUSB5 usb 1a86:7523 at 1-1.6:1.0 | Clone | board",
    };
    EXPECT_EQ (scanned (machine).joinIntoString ("\n").toStdString(), expected.joinIntoString ("\n").toStdString());
}

#endif
