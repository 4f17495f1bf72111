#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/MainComponent.h"

#include <memory>
#include <vector>

// Driving the editor's widgets as a user does, and catching the message boxes
// it shows, for tests on the message thread under a (virtual) display.
namespace testsupport
{
// Delivers every message already queued, and what those post in turn, within
// the time limit. Fast enough to call after every single user action.
bool deliverPendingMessages (int timeoutMs = 2000);

// User actions, each followed by what it caused. What a user can't do (a
// disabled widget, an item the box doesn't have) fails the test and returns
// false without touching the widget. Picking the item already selected
// notifies nobody; typeInto types over the whole text, restrictions applying.
bool pick (juce::ComboBox& box, int itemId);
bool click (juce::Button& button);
bool typeInto (juce::TextEditor& field, const juce::String& text);
bool drag (juce::Slider& slider, double value);

// Runs user actions written as "widget=value" (pick an item id, drag to a
// value, type a text) or "widget" (click), separated by blanks, with the
// widget names of widgetNamed; false at the first that no user could do.
bool act (MainComponent& editor, const juce::String& actions);

struct ShownAlert
{
    juce::MessageBoxIconType icon = juce::MessageBoxIconType::NoIcon;
    juce::String title, message;
    juce::StringArray buttons;
};

// While alive, the default look-and-feel records every alert window created
// through it; its destructor closes whatever alert is still open.
class AlertRecorder
{
public:
    AlertRecorder();
    ~AlertRecorder();

    const std::vector<ShownAlert>& shown() const;
    void clear();

private:
    class RecordingLookAndFeel;
    std::unique_ptr<RecordingLookAndFeel> lookAndFeel;
};

// Alert windows currently in a modal state.
int countOpenAlertWindows();

// Closes every open alert window as its "OK" button does and waits until they
// are gone; false if one is still open at the time limit.
bool dismissAlertWindows (int timeoutMs = 2000);

// The trigger widgets in the order of a trigger line's fields (interface,
// invert, type, re-triggers, loop, lock, polyphonic, function, volume, low,
// high), "-" after a disabled one: "1 0 1 1 0 0 1 1 0 []- []-".
juce::String triggerWidgets (const MainComponent& editor);

// The enabled ones of "Add Update Delete Copy Test".
juce::String enabledButtons (const MainComponent& editor);

// A new editor without a test port, whatever the machine has, under an alert
// recorder; a test must not leave a message box open.
class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    AlertRecorder alerts; // before the editor: the default look-and-feel while it lives
    MainComponent editor;
};
} // namespace testsupport
