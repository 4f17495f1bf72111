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

    // Starts the editor; then the status line, "StopAll" and "Test" if enabled.
    juce::String link (const juce::String& actions = {})
    {
        if (editor == nullptr)
            editor = std::make_unique<MainComponent>();
        act (*editor, actions);
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
    EXPECT_EQ (link(), opened + " StopAll") << "\"Test\" waits for a trigger action";
    auto& ports = *editor->portComboBox;
    ASSERT_EQ (ports.getNumItems(), 2);
    EXPECT_EQ (ports.getItemText (0), first->friendlyName);
    EXPECT_EQ (ports.getItemText (1), second->friendlyName);
    EXPECT_EQ (ports.getSelectedId(), 1);

    // The widgets as they stand go out, even before the line is updated.
    EXPECT_EQ (link ("add test trigvolume=-20 loop test stop"), opened + " StopAll Test");
    EXPECT_EQ (first->pty.readFromFarSide (39),
               Bytes ({ 0xF0, 0xAA, 0x11, 0x06, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00,
                        0x00, 0x00, 0x00, 0x55, 0xF0, 0xAA, 0x11, 0x06, 0x00, 0x01, 0x00, 0x01, 0x03,
                        0x01, 0x01, 0xEC, 0x00, 0x00, 0x00, 0x00, 0x55, 0xF0, 0xAA, 0x05, 0x04, 0x55 }));
    EXPECT_TRUE (first->pty.readUntilQuiet (100).empty()) << "more than the clicked frames went out";
    EXPECT_TRUE (second->pty.readUntilQuiet (20).empty());
}

TEST_F (TestLinkControls, PortsThatFailToOpenSwitchTestAndStopAllOff)
{
    // Another program has the first board's port open, which makes ours fail.
    SerialPort busy;
    ASSERT_TRUE (busy.open (Communicator::devicePathFor (first->friendlyName)));
    EXPECT_EQ (link ("add"), failed);

    // The free port opens; "Test" waits for the next trigger action.
    EXPECT_EQ (link ("port=2"), opened + " StopAll");
    EXPECT_EQ (link ("update test"), opened + " StopAll Test");
    EXPECT_EQ (second->pty.readFromFarSide (17).size(), 17u);

    // Back to the busy port: the working link is dropped and both buttons go.
    EXPECT_EQ (link ("port=1"), failed);
    EXPECT_FALSE (editor->comPortOpen || editor->communicator->connected);
}

#endif
