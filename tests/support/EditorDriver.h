#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/MainComponent.h"

#include <vector>

// Driving the editor as a user does, on the message thread under a display.
namespace testsupport
{
// Runs user actions separated by blanks, each followed by what it caused:
// "widget=value" picks an item id, drags a slider or types over a field's
// text, "widget" clicks (names in EditorDriver.cpp). One that no user can do
// (a disabled widget, an item the box lacks, a value off the slider, anything
// while a message box is open) fails the test, returning false.
bool act (MainComponent& editor, const juce::String& actions);

// The widget of that name in act().
juce::Component* widgetNamed (const MainComponent& editor, const juce::String& name);

struct ShownAlert
{
    juce::String title, message;
};

// While alive, the default look-and-feel (the program's own, so widgets
// measure and paint as they do there), recording every alert window created
// through it; its destructor closes whatever alert is still open and puts the
// earlier default back.
class AlertRecorder : public juce::LookAndFeel_V3
{
public:
    AlertRecorder();
    ~AlertRecorder() override;
    juce::AlertWindow* createAlertWindow (const juce::String&, const juce::String&, const juce::String&,
                                          const juce::String&, const juce::String&, juce::MessageBoxIconType, int,
                                          juce::Component*) override;
    const std::vector<ShownAlert>& shown() const { return alerts; }
    void clear() { alerts.clear(); }

private:
    std::vector<ShownAlert> alerts;
    juce::LookAndFeel& previousDefault;
};

int countOpenAlertWindows();

// Closes every open alert window as its "OK" button does; false if one is
// still open at the time limit.
bool dismissAlertWindows (int timeoutMs = 2000);

// What the named widgets (else all in creation order) hold, "-" after a
// disabled one: toggles 0 or 1, boxes the item id, sliders the value, fields
// "[text]" (the view its length), other widgets "." when enabled.
juce::String widgetStates (const MainComponent& editor, const juce::String& names = {});

// The trigger widgets in the order of a line's fields (interface, invert,
// type, re-triggers, loop, lock, polyphonic, function, volume, low, high).
juce::String triggerWidgets (const MainComponent& editor);

// A new editor without a test port; a test must not leave a message box open.
class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    AlertRecorder alerts; // before the editor: the default look-and-feel while it lives
    MainComponent editor;
};
} // namespace testsupport
