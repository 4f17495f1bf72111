#pragma once

#include <juce_core/juce_core.h>

#include "serial/platform/posix/PortScan.h"
#include <unistd.h>

// A machine's serial devices laid out in a temporary folder the way the
// kernel and udev lay them out.
struct FakeMachine
{
    FakeMachine()
    {
        for (auto folder : { "dev/serial/by-id", "dev/serial/by-path", "sys/class/tty/console", "run/lock" })
            file (folder).createDirectory();
    }
    ~FakeMachine() { root.deleteRecursively(); }

    // A tty with the sysfs device given (none for a virtual console), a UART
    // type when one is given, and a node: a plain file, or a link to `node`.
    void addTty (const juce::String& name, const juce::String& device, const juce::String& uartType = {},
                 const juce::String& node = {})
    {
        auto entry = file ("sys/class/tty/" + name), dev = file ("dev/" + name);
        entry.createDirectory();
        if (device.isNotEmpty() && file (device).createDirectory())
            file (device).createSymbolicLink (entry.getChildFile ("device"), true);
        if (uartType.isNotEmpty())
            entry.getChildFile ("type").replaceWithText (uartType + "\n");
        if (node.isEmpty())
            dev.replaceWithText ({});
        else
            juce::File::createSymbolicLink (dev, node, true);
    }
    // Newer kernels put the serial core's generic port device between the tty and the UART's own device.
    void addUart (const juce::String& name, const juce::String& uartType)
    {
        addTty (name, "sys/devices/platform/serial8250/port." + name, uartType);
        const auto port = file ("sys/devices/platform/serial8250/port." + name);
        for (auto [device, driver] : { std::pair (port, "serial-base/drivers/port"),
                                       { port.getParentDirectory(), "platform/drivers/serial8250" } })
            file ("sys/bus").getChildFile (driver).createDirectory()
                && file ("sys/bus").getChildFile (driver).createSymbolicLink (device.getChildFile ("driver"), true);
    }
    // An adapter in `socket` ("1-1.2") of the hub 1-1, its tty below interface 0; empty strings are left out.
    void addUsb (const juce::String& name, const juce::String& product, const juce::String& socket,
                 const juce::String& node = {}, const juce::String& serial = {}, const juce::String& interface = {})
    {
        const juce::String hub = "sys/devices/pci0/usb1/1-1/", adapter = hub + socket + "/",
                           at = adapter + socket + ":1.0/";
        addTty (name, at + name, {}, node);
        const juce::StringArray files{ hub + "idVendor",        "05e3",  hub + "product",       "USB2.0 Hub",
                                       adapter + "idVendor",    "1a86",  adapter + "idProduct", "7523",
                                       adapter + "product",     product, adapter + "serial",    serial,
                                       at + "bInterfaceNumber", "00",    at + "interface",      interface };
        for (int i = 0; i < files.size(); i += 2)
            files[i + 1].isEmpty() ? file (files[i]).deleteFile()
                                   : file (files[i]).replaceWithText (files[i + 1] + "\n");
    }
    void unplug (const juce::String& name) { file ("sys/class/tty/" + name).deleteRecursively(); } // the node may stay
    void link (const juce::String& byIdName, const juce::String& node, const juce::String& folder = "by-id")
    {
        juce::File::createSymbolicLink (file ("dev/serial/" + folder + "/" + byIdName), "../../" + node, true);
    }

    // A lock file as terminal programs leave them, "LCK..name" in the lock folder.
    juce::File lock (const juce::String& name, const std::string& content) const
    {
        const auto lockFile = file ("run/lock/LCK.." + name);
        lockFile.replaceWithData (content.data(), content.size());
        return lockFile;
    }

    serialplatform::ScanRoots roots() const
    {
        auto path = [this] (const char* p) { return file (p).getFullPathName().toStdString(); };
        serialplatform::ScanRoots r{ path ("sys/class/tty"), path ("dev"), path ("dev/serial/by-id"),
                                     path ("dev/serial/by-path"), path ("sys/class/tty/console/active") };
        // Only root makes device nodes: here a plain file stands for one.
        r.isDevice = [] (const std::string& p) { return juce::File (p).existsAsFile(); };
        r.lockFolders = { path ("run/lock") };
        return r;
    }
    juce::File file (const juce::String& relativePath) const { return root.getChildFile (relativePath); }

    // Named after the process, so that tests running at once never share one.
    juce::File root{ juce::File::getSpecialLocation (juce::File::tempDirectory)
                         .getNonexistentChildFile ("quorvel-machine-" + juce::String (::getpid()), {}, false) };
};
