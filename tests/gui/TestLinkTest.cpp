// The editor's test link end to end: pseudo-terminals listed as COM ports
// stand in for boards, and the test drives the editor as a user would.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "editor/MainComponent.h"
#include "link/Communicator.h"
#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/EditorDriver.h"
#include "support/MessageLoop.h"
#include "support/PseudoTerminal.h"

using namespace testsupport;

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes stopAllBytes{ 0xF0, 0xAA, 0x05, 0x04, 0x55 };

struct FakeBoard
{
    explicit FakeBoard (const std::string& description)
    {
        const int comNumber = PortRegistry::registerDevice (pty.getSlavePath(), description);
        const auto ports = SerialPort::listPorts();

        for (auto& name : ports.getAllKeys())
            if (name.endsWith ("(COM" + juce::String (comNumber) + ")"))
                friendlyName = name;
    }

    PseudoTerminal pty;
    juce::String friendlyName;
};

// Two boards in the order the listing shows them. That order follows their
// device nodes, which other processes' pseudo-terminals can shuffle.
std::pair<std::unique_ptr<FakeBoard>, std::unique_ptr<FakeBoard>> twoBoards()
{
    auto first = std::make_unique<FakeBoard> ("First Board");
    auto second = std::make_unique<FakeBoard> ("Second Board");
    const auto names = SerialPort::listPorts().getAllKeys();

    if (names.indexOf (first->friendlyName) > names.indexOf (second->friendlyName))
        std::swap (first, second);

    return { std::move (first), std::move (second) };
}

// Another program that has the board's port open, which makes ours fail.
struct PortHeldElsewhere
{
    explicit PortHeldElsewhere (const FakeBoard& board)
    {
        held = port.open (Communicator::devicePathFor (board.friendlyName));
    }

    ~PortHeldElsewhere() { port.close(); }

    SerialPort port;
    bool held = false;
};

struct ChangeCounter : juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

class TestLinkControls : public ::testing::Test
{
protected:
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

    juce::String status() const { return editor->statusLabel->getText(); }

    PortRegistry::ScopedRegisteredDevicesOnly onlyFakeBoards;
    std::unique_ptr<MainComponent> editor;
};
} // namespace

TEST_F (TestLinkControls, StartUpOpensTheFirstBoardAndTestAndStopAllReachIt)
{
    auto [listedFirst, listedSecond] = twoBoards();
    auto& board = *listedFirst;
    auto& other = *listedSecond;
    ASSERT_TRUE (board.friendlyName.isNotEmpty());

    startEditor();

    auto& ports = *editor->portComboBox;
    ASSERT_EQ (ports.getNumItems(), 2);
    EXPECT_EQ (ports.getItemText (0), board.friendlyName);
    EXPECT_EQ (ports.getItemText (1), other.friendlyName);
    EXPECT_EQ (ports.getSelectedId(), 1);

    EXPECT_EQ (status(), "  >COM port opened successfully");
    EXPECT_TRUE (editor->comPortOpen);
    EXPECT_TRUE (editor->stopButton->isEnabled());
    EXPECT_FALSE (editor->testButton->isEnabled()) << "\"Test\" waits for a trigger action";

    // The start-up selection comes back asynchronously and must not reconnect.
    EXPECT_TRUE (editor->communicator->connected);

    click (*editor->addButton);
    ASSERT_TRUE (editor->testButton->isEnabled());

    click (*editor->testButton);
    const Bytes defaultTriggerOne{ 0xF0, 0xAA, 0x11, 0x06, 0x00, 0x01, 0x00, 0x01, 0x01,
                                   0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55 };
    EXPECT_EQ (board.pty.readFromFarSide (17), defaultTriggerOne);

    // The widgets as they stand go out, even before the line is updated.
    drag (*editor->trigVolumeSlider, -20);
    click (*editor->loopToggleButton);
    click (*editor->testButton);
    const auto sent = board.pty.readFromFarSide (17);
    ASSERT_EQ (sent.size(), 17u);
    EXPECT_EQ (sent[8], 0x03);
    EXPECT_EQ (sent[11], 0xEC);

    click (*editor->stopButton);
    EXPECT_EQ (board.pty.readFromFarSide (5), stopAllBytes);

    EXPECT_TRUE (board.pty.readUntilQuiet (100).empty()) << "more than the clicked frames went out";
    EXPECT_TRUE (other.pty.readUntilQuiet (20).empty());

    // A frame from the board reaches the link and raises its change message.
    ChangeCounter changes;
    editor->communicator->addChangeListener (&changes);
    ASSERT_TRUE (board.pty.writeFromFarSide ({ 0xF0, 0xAA, 0x05, 0x04, 0x55 }));
    EXPECT_TRUE (runMessageLoopUntil ([&] { return changes.count > 0; }));
    EXPECT_TRUE (editor->communicator->getReceiver().isMessageReady());
    editor->communicator->removeChangeListener (&changes);
}

TEST_F (TestLinkControls, PortsThatFailToOpenSwitchTestAndStopAllOff)
{
    auto [listedFirst, listedSecond] = twoBoards();
    auto& first = *listedFirst;
    auto& second = *listedSecond;
    PortHeldElsewhere busy (first);
    ASSERT_TRUE (busy.held);

    startEditor();
    EXPECT_EQ (status(), "  >COM port could not be opened!");
    EXPECT_FALSE (editor->comPortOpen);
    EXPECT_FALSE (editor->stopButton->isEnabled());

    click (*editor->addButton);
    EXPECT_FALSE (editor->testButton->isEnabled());

    // The free port opens; "Test" waits for the next trigger action.
    pick (*editor->portComboBox, 2);
    EXPECT_EQ (status(), "  >COM port opened successfully");
    EXPECT_TRUE (editor->comPortOpen);
    EXPECT_TRUE (editor->stopButton->isEnabled());
    EXPECT_FALSE (editor->testButton->isEnabled());

    click (*editor->updateButton);
    ASSERT_TRUE (editor->testButton->isEnabled());
    click (*editor->testButton);
    EXPECT_EQ (second.pty.readFromFarSide (17).size(), 17u);

    // Back to the busy port: the working link is dropped and both buttons go.
    pick (*editor->portComboBox, 1);
    EXPECT_EQ (status(), "  >COM port could not be opened!");
    EXPECT_FALSE (editor->comPortOpen);
    EXPECT_FALSE (editor->communicator->connected);
    EXPECT_FALSE (editor->testButton->isEnabled());
    EXPECT_FALSE (editor->stopButton->isEnabled());

    // Clicking the disabled buttons sends nothing anywhere.
    click (*editor->testButton);
    click (*editor->stopButton);
    EXPECT_TRUE (second.pty.readUntilQuiet (100).empty());
}

TEST_F (TestLinkControls, MachineWithoutPortsShowsThePlaceholder)
{
    startEditor();

    auto& ports = *editor->portComboBox;
    ASSERT_EQ (ports.getNumItems(), 1);
    EXPECT_EQ (ports.getItemText (0), "No USB Serial Devices!");
    EXPECT_EQ (ports.getSelectedId(), 1);
    EXPECT_EQ (status(), "  >No compatible COM ports found");
    EXPECT_FALSE (editor->comPortOpen);
    EXPECT_FALSE (editor->stopButton->isEnabled());

    // No trigger action can make "Test" available without a port.
    click (*editor->addButton);
    click (*editor->copyButton);
    EXPECT_FALSE (editor->testButton->isEnabled());

    pick (ports, 1);
    EXPECT_EQ (status(), "  >No compatible COM ports found");
    EXPECT_FALSE (editor->communicator->connected);
}

#endif
