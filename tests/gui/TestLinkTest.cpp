// The editor's test link end to end: pseudo-terminals listed as COM ports
// stand in for boards, and the test drives the editor as a user would.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "link/Communicator.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/EditorDriver.h"
#include "support/PseudoTerminal.h"

using namespace testsupport;

namespace
{
using Bytes = std::vector<uint8_t>;

struct FakeBoard
{
    explicit FakeBoard (const std::string& description)
    {
        const auto suffix =
            "(COM" + juce::String (PortRegistry::registerDevice (pty.getSlavePath(), description)) + ")";
        const auto ports = SerialPort::listPorts();
        for (auto& name : ports.getAllKeys())
            if (name.endsWith (suffix))
                friendlyName = name;
    }

    PseudoTerminal pty;
    juce::String friendlyName;
};

class TestLinkControls : public ::testing::Test
{
protected:
    // Two boards in the order the listing shows them, which follows their
    // device nodes; other processes' pseudo-terminals can shuffle those.
    void SetUp() override
    {
        const auto names = SerialPort::listPorts().getAllKeys();
        if (names.indexOf (first->friendlyName) > names.indexOf (second->friendlyName))
            std::swap (first, second);
    }

    void startEditor()
    {
        editor = std::make_unique<MainComponent>();
        deliverPendingMessages();
    }

    void TearDown() override
    {
        editor.reset();
        deliverPendingMessages();
    }

    // The status line, then those of "StopAll" and "Test" that are enabled.
    juce::String link() const
    {
        return editor->statusLabel->getText() + (editor->stopButton->isEnabled() ? " StopAll" : "")
               + (editor->testButton->isEnabled() ? " Test" : "");
    }

    PortRegistry::ScopedRegisteredDevicesOnly onlyFakeBoards;
    std::unique_ptr<FakeBoard> first = std::make_unique<FakeBoard> ("First Board");
    std::unique_ptr<FakeBoard> second = std::make_unique<FakeBoard> ("Second Board");
    std::unique_ptr<MainComponent> editor;
};

const juce::String opened = "  >COM port opened successfully", failed = "  >COM port could not be opened!";
} // namespace

TEST_F (TestLinkControls, StartUpOpensTheFirstBoardAndTestAndStopAllReachIt)
{
    startEditor();
    auto& ports = *editor->portComboBox;
    ASSERT_EQ (ports.getNumItems(), 2);
    EXPECT_EQ (ports.getItemText (0), first->friendlyName);
    EXPECT_EQ (ports.getItemText (1), second->friendlyName);
    EXPECT_EQ (ports.getSelectedId(), 1);
    EXPECT_EQ (link(), opened + " StopAll") << "\"Test\" waits for a trigger action";

    act (*editor, "add test");
    EXPECT_EQ (first->pty.readFromFarSide (17), Bytes ({ 0xF0, 0xAA, 0x11, 0x06, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01,
                                                         0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55 }));

    // The widgets as they stand go out, even before the line is updated.
    act (*editor, "trigvolume=-20 loop test");
    const auto sent = first->pty.readFromFarSide (17);
    ASSERT_EQ (sent.size(), 17u);
    EXPECT_EQ (sent[8], 0x03);
    EXPECT_EQ (sent[11], 0xEC);

    act (*editor, "stop");
    EXPECT_EQ (first->pty.readFromFarSide (5), Bytes ({ 0xF0, 0xAA, 0x05, 0x04, 0x55 }));
    EXPECT_TRUE (first->pty.readUntilQuiet (100).empty()) << "more than the clicked frames went out";
    EXPECT_TRUE (second->pty.readUntilQuiet (20).empty());
}

TEST_F (TestLinkControls, PortsThatFailToOpenSwitchTestAndStopAllOff)
{
    // Another program has the first board's port open, which makes ours fail.
    SerialPort busy;
    ASSERT_TRUE (busy.open (Communicator::devicePathFor (first->friendlyName)));

    startEditor();
    EXPECT_EQ (link(), failed);
    act (*editor, "add");
    EXPECT_EQ (link(), failed);

    // The free port opens; "Test" waits for the next trigger action.
    act (*editor, "port=2");
    EXPECT_EQ (link(), opened + " StopAll");
    act (*editor, "update");
    EXPECT_EQ (link(), opened + " StopAll Test");
    act (*editor, "test");
    EXPECT_EQ (second->pty.readFromFarSide (17).size(), 17u);

    // Back to the busy port: the working link is dropped and both buttons go.
    act (*editor, "port=1");
    EXPECT_EQ (link(), failed);
    EXPECT_FALSE (editor->comPortOpen || editor->communicator->connected);
    busy.close();
}

#endif
