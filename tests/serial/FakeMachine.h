#pragma once

#include <juce_core/juce_core.h>

#include "serial/platform/posix/PortScan.h"

#include <sys/stat.h>

// A machine's serial devices laid out in a temporary folder the way the
// kernel and udev lay them out. A node is a plain file, or a link to a
// pseudo-terminal where the test opens the port.
struct FakeMachine
{
    FakeMachine() { root.createDirectory(); }
    ~FakeMachine() { root.deleteRecursively(); }

    void addUart (const juce::String& name, const juce::String& uartType)
    {
        auto device = file ("sys/devices/platform/serial8250." + name), driver = file ("sys/bus/drivers/serial8250");
        driver.createDirectory();
        addTty (name, device, uartType);
        driver.createSymbolicLink (device.getChildFile ("driver"), true);
    }

    void addUsb (const juce::String& name, const juce::String& product, const juce::String& node = {})
    {
        addTty (name, file ("sys/devices/pci0/usb1/1-" + name + "/1-1:1.0/" + name), {}, node);
        file ("sys/devices/pci0/usb1/1-" + name + "/product").replaceWithText (product + "\n");
    }

    // No device for a virtual console; no uartType for a tty that reports none.
    void addTty (const juce::String& name, const juce::File& device, const juce::String& uartType,
                 const juce::String& node = {})
    {
        auto entry = file ("sys/class/tty/" + name), dev = file ("dev/" + name);
        entry.createDirectory();
        dev.getParentDirectory().createDirectory();
        if (device != juce::File() && device.createDirectory())
            device.createSymbolicLink (entry.getChildFile ("device"), true);
        if (uartType.isNotEmpty())
            entry.getChildFile ("type").replaceWithText (uartType + "\n");
        if (node.isEmpty())
            dev.replaceWithText ({});
        else
            juce::File::createSymbolicLink (dev, node, true);
    }

    void link (const juce::String& byIdName, const juce::String& node)
    {
        file ("dev/serial/by-id").createDirectory();
        juce::File::createSymbolicLink (file ("dev/serial/by-id/" + byIdName), "../../" + node, true);
    }

    serialplatform::ScanRoots roots() const
    {
        auto path = [this] (const char* p) { return file (p).getFullPathName().toStdString(); };
        serialplatform::ScanRoots r{ path ("sys/class/tty"), path ("dev"), path ("dev/serial/by-id"),
                                     path ("sys/class/tty/console/active") };
        // Only root makes device nodes: here a plain file stands for one.
        r.isDevice = [] (const std::string& p)
        {
            struct stat info;
            return ::stat (p.c_str(), &info) == 0 && (S_ISREG (info.st_mode) || S_ISCHR (info.st_mode));
        };
        return r;
    }

    juce::File file (const juce::String& relativePath) const { return root.getChildFile (relativePath); }

    juce::File root{ juce::File::getSpecialLocation (juce::File::tempDirectory)
                         .getNonexistentChildFile ("quorvel-machine", {}, false) };
};
