// The editor's test link end to end: pseudo-terminals listed as COM ports
// stand in for boards, and the test drives the editor as a user would.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "editor/MainComponent.h"
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

    // The status line, then those of "StopAll" and "Test" that are enabled.
    juce::String link() const
    {
        return editor->statusLabel->getText() + (editor->stopButton->isEnabled() ? " StopAll" : "")
               + (editor->testButton->isEnabled() ? " Test" : "");
    }

    PortRegistry::ScopedRegisteredDevicesOnly onlyFakeBoards;
    std::unique_ptr<MainComponent> editor;
};
} // namespace

const juce::String opened = "  >COM port opened successfully", failed = "  >COM port could not be opened!";

TEST_F (TestLinkControls, StartUpOpensTheFirstBoardAndTestAndStopAllReachIt)
{
    auto [board, other] = twoBoards();
    ASSERT_TRUE (board->friendlyName.isNotEmpty());

    startEditor();
    auto& ports = *editor->portComboBox;
    ASSERT_EQ (ports.getNumItems(), 2);
    EXPECT_EQ (ports.getItemText (0), board->friendlyName);
    EXPECT_EQ (ports.getItemText (1), other->friendlyName);
    EXPECT_EQ (ports.getSelectedId(), 1);
    EXPECT_EQ (link(), opened + " StopAll") << "\"Test\" waits for a trigger action";

    click (*editor->addButton);
    click (*editor->testButton);
    const Bytes defaultTriggerOne{ 0xF0, 0xAA, 0x11, 0x06, 0x00, 0x01, 0x00, 0x01, 0x01,
                                   0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55 };
    EXPECT_EQ (board->pty.readFromFarSide (17), defaultTriggerOne);

    // The widgets as they stand go out, even before the line is updated.
    drag (*editor->trigVolumeSlider, -20);
    click (*editor->loopToggleButton);
    click (*editor->testButton);
    const auto sent = board->pty.readFromFarSide (17);
    ASSERT_EQ (sent.size(), 17u);
    EXPECT_EQ (sent[8], 0x03);
    EXPECT_EQ (sent[11], 0xEC);

    click (*editor->stopButton);
    EXPECT_EQ (board->pty.readFromFarSide (5), Bytes ({ 0xF0, 0xAA, 0x05, 0x04, 0x55 }));
    EXPECT_TRUE (board->pty.readUntilQuiet (100).empty()) << "more than the clicked frames went out";
    EXPECT_TRUE (other->pty.readUntilQuiet (20).empty());
}

TEST_F (TestLinkControls, PortsThatFailToOpenSwitchTestAndStopAllOff)
{
    auto [first, second] = twoBoards();
    PortHeldElsewhere busy (*first);
    ASSERT_TRUE (busy.held);

    startEditor();
    EXPECT_EQ (link(), failed);
    click (*editor->addButton);
    EXPECT_EQ (link(), failed);

    // The free port opens; "Test" waits for the next trigger action.
    pick (*editor->portComboBox, 2);
    EXPECT_EQ (link(), opened + " StopAll");
    click (*editor->updateButton);
    EXPECT_EQ (link(), opened + " StopAll Test");
    click (*editor->testButton);
    EXPECT_EQ (second->pty.readFromFarSide (17).size(), 17u);

    // Back to the busy port: the working link is dropped and both buttons go.
    pick (*editor->portComboBox, 1);
    EXPECT_EQ (link(), failed);
    EXPECT_FALSE (editor->comPortOpen || editor->communicator->connected);
}

#endif
