#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

// Driving editor widgets the way a user does, and catching the asynchronous
// message boxes that the editor shows, for tests that run on the message
// thread under a (virtual) display.
namespace testsupport
{
// Delivers every message already queued, and what those post in turn while
// the queue is being emptied; bounded by the time limit. Fast enough to call
// after every single user action.
bool deliverPendingMessages (int timeoutMs = 2000);

// A user picks an item in a combo box. Picking the item that is already
// selected notifies nobody, as in the real widget.
void pick (juce::ComboBox& box, int itemId);

// A user clicks a button (a disabled one ignores the click).
void click (juce::Button& button);

// A user selects the whole text of a field and types the given text over it;
// the field's input restrictions apply.
void typeInto (juce::TextEditor& field, const juce::String& text);

// A user moves a slider to a value.
void drag (juce::Slider& slider, double value);

//==============================================================================
struct ShownAlert
{
    juce::MessageBoxIconType icon = juce::MessageBoxIconType::NoIcon;
    juce::String title, message;
    juce::StringArray buttons;
};

// While alive, the default look-and-feel records every alert window that is
// created through it. Its destructor closes whatever alert is still open, so
// a failing test leaves no window behind.
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

// A program installs JUCE's X error handler, which ignores the harmless errors
// that a window manager's absence causes (an alert window under a bare Xvfb
// sets properties of atoms that don't exist); a test binary is no JUCE
// application and would otherwise get Xlib's default handler, which exits.
// The recorder below calls this itself.
void ignoreXErrors();

// Alert windows currently in a modal state.
int countOpenAlertWindows();

// Clicks the first button of every open alert window, as a user would, and
// waits until they are gone; false if one is still open at the time limit.
bool dismissAlertWindows (int timeoutMs = 2000);
} // namespace testsupport
