// Windows lists its own COM ports; the scan reads a Linux machine.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "serial/FakeMachine.h"

// "node identity | description | board" for each device found, paths in the
// fake /dev shown by their names, sorted.
static juce::StringArray scanned (const FakeMachine& machine)
{
    juce::StringArray lines;
    for (auto& d : serialplatform::scanSerialDevices (machine.roots()))
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
    machine.addUsb ("ttyUSB0", "FT232R USB UART");
    machine.link ("usb-FTDI_FT232R_USB_UART_A9-if00-port0", "ttyUSB0");
    machine.addUsb ("ttyUSB1", "Console Cable"); // a console too, although linked
    machine.link ("usb-Console_Cable-if00-port0", "ttyUSB1");
    machine.file ("dev/ttyACM0").replaceWithText ({}); // no sysfs entry, only a link
    machine.link ("usb-Board_B-if00", "ttyACM0");
    machine.link ("usb-Board_A-if00", "ttyACM0");
    machine.link ("usb-Gone-if00-port0", "ttyUSB7");
    machine.file ("sys/class/tty/console/active").replaceWithText ("tty0 ttyS0 ttyUSB1\n");

    const juce::StringArray expected{
        "ttyACM0 usb-Board_A-if00 | usb-Board_A-if00 | board",
        "ttyS1 ttyS1 | serial8250 | uart",
        "ttyUSB0 usb-FTDI_FT232R_USB_UART_A9-if00-port0 | FT232R USB UART | board",
    };
    EXPECT_EQ (scanned (machine), expected);
}

#endif
