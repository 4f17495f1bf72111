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

class TestLinkControls : public ::testing::Test
{
protected:
    // The boards in the order the listing shows them, which follows their
    // device nodes; other processes' pseudo-terminals can shuffle those.
    void SetUp() override
    {
        PortRegistry::registerDevice (boards[0].getSlavePath(), "Board A");
        PortRegistry::registerDevice (boards[1].getSlavePath(), "Board B");
        names = SerialPort::listPorts().getAllKeys();
        ASSERT_EQ (names.size(), 2);
    }

    PseudoTerminal& listed (int index) { return boards[names[index].contains ("Board A") ? 0 : 1]; }

    // Starts the editor, runs the actions and gives the status line and the
    // states of "StopAll" and "Test".
    juce::String link (const juce::String& actions = {})
    {
        if (editor == nullptr)
            editor = std::make_unique<MainComponent>();
        act (*editor, actions);
        return editor->statusLabel->getText() + " " + widgetStates (*editor, "stop test");
    }

    PortRegistry::ScopedRegisteredDevicesOnly onlyFakeBoards;
    PseudoTerminal boards[2];
    juce::StringArray names;
    std::unique_ptr<MainComponent> editor;
};

const juce::String opened = "  >COM port opened successfully", failed = "  >COM port could not be opened! - -";
} // namespace

TEST_F (TestLinkControls, StartUpOpensTheFirstBoardAndTestAndStopAllReachIt)
{
    EXPECT_EQ (link(), opened + " . -") << "\"Test\" waits for a trigger action";
    auto& ports = *editor->portComboBox;
    EXPECT_EQ (ports.getItemText (0) + "|" + ports.getItemText (1) + "|" + ports.getText(),
               names.joinIntoString ("|") + "|" + names[0]);

    // The widgets as they stand go out, even before the line is updated.
    EXPECT_EQ (link ("trigger=3 add trigvolume=-5 loop test stop"), opened + " . .");
    EXPECT_EQ (listed (0).readFromFarSide (22),
               Bytes ({ 0xF0, 0xAA, 0x11, 0x06, 0x02, 0x01, 0x00, 0x01, 0x03, 0x01, 0x01,
                        0xFB, 0x00, 0x00, 0x00, 0x00, 0x55, 0xF0, 0xAA, 0x05, 0x04, 0x55 }));

    // "New" starts a file, not a link.
    EXPECT_EQ (link ("new"), opened + " . -");
    EXPECT_TRUE (listed (0).readUntilQuiet (100).empty()) << "more than the clicked frames went out";
    EXPECT_TRUE (listed (1).readUntilQuiet (20).empty());
}

TEST_F (TestLinkControls, PortsThatFailToOpenSwitchTestAndStopAllOff)
{
    // Another program has the first board's port open, which makes ours fail.
    SerialPort busy;
    ASSERT_TRUE (busy.open (Communicator::devicePathFor (names[0])));
    EXPECT_EQ (link ("add"), failed);

    // The free port opens; "Test" waits for the next trigger action.
    EXPECT_EQ (link ("port=2"), opened + " . -");
    EXPECT_EQ (link ("update test"), opened + " . .");
    EXPECT_EQ (listed (1).readFromFarSide (17).size(), 17u);

    // Back to the busy port: the working link is dropped and both buttons go.
    EXPECT_EQ (link ("port=1"), failed);
    EXPECT_FALSE (editor->comPortOpen || editor->communicator->connected);
}

#endif
