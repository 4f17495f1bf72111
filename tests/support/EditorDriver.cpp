#include "support/EditorDriver.h"
#include "support/MessageLoop.h"

#include "link/Communicator.h"

#if JUCE_LINUX
#include <dlfcn.h>
#endif

namespace testsupport
{
bool deliverPendingMessages (int timeoutMs)
{
    // The queue is first in, first out: once a marker posted now has arrived,
    // everything queued before it has been delivered too.
    auto delivered = std::make_shared<bool> (false);
    juce::MessageManager::callAsync ([delivered] { *delivered = true; });

    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! *delivered)
    {
        if (juce::Time::getMillisecondCounter() >= deadline)
            return false;

        juce::MessageManager::getInstance()->runDispatchLoopUntil (0);
    }

    return true;
}

void pick (juce::ComboBox& box, int itemId)
{
    box.setSelectedId (itemId, juce::sendNotificationSync);
    deliverPendingMessages();
}

void click (juce::Button& button)
{
    button.triggerClick();
    deliverPendingMessages();
}

void typeInto (juce::TextEditor& field, const juce::String& text)
{
    field.setHighlightedRegion ({ 0, field.getTotalNumChars() });
    field.insertTextAtCaret (text);
    deliverPendingMessages();
}

void drag (juce::Slider& slider, double value)
{
    slider.setValue (value, juce::sendNotificationSync);
    deliverPendingMessages();
}

//==============================================================================
class AlertRecorder::RecordingLookAndFeel : public juce::LookAndFeel_V4
{
public:
    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& button1, const juce::String& button2,
                                          const juce::String& button3, juce::MessageBoxIconType iconType,
                                          int numButtons, juce::Component* associatedComponent) override
    {
        ShownAlert alert{ iconType, title, message, {} };
        const juce::String buttonTexts[] = { button1, button2, button3 };
        for (int i = 0; i < juce::jlimit (0, 3, numButtons); ++i)
            alert.buttons.add (buttonTexts[i]);
        shown.push_back (alert);

        return LookAndFeel_V4::createAlertWindow (title, message, button1, button2, button3, iconType, numButtons,
                                                  associatedComponent);
    }

    std::vector<ShownAlert> shown;
};

// A program installs JUCE's X error handler, which ignores the harmless errors
// that an alert window causes under a bare Xvfb without a window manager; a
// test binary is no JUCE application and would get Xlib's handler, which exits.
static void ignoreXErrors()
{
#if JUCE_LINUX
    // The same library instance that JUCE opens; it stays loaded.
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_GLOBAL))
    {
        using Handler = int (*) (void*, void*);
        using SetHandler = Handler (*) (Handler);

        if (auto setHandler = reinterpret_cast<SetHandler> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*) { return 0; });
    }
#endif
}

AlertRecorder::AlertRecorder()
    : lookAndFeel (std::make_unique<RecordingLookAndFeel>())
{
    ignoreXErrors();
    juce::LookAndFeel::setDefaultLookAndFeel (lookAndFeel.get());
}

AlertRecorder::~AlertRecorder()
{
    dismissAlertWindows();
    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

const std::vector<ShownAlert>& AlertRecorder::shown() const
{
    return lookAndFeel->shown;
}

void AlertRecorder::clear()
{
    lookAndFeel->shown.clear();
}

//==============================================================================
static juce::Array<juce::AlertWindow*> openAlertWindows()
{
    juce::Array<juce::AlertWindow*> alerts;
    auto& manager = *juce::ModalComponentManager::getInstance();

    for (int i = 0; i < manager.getNumModalComponents(); ++i)
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (manager.getModalComponent (i)))
            alerts.add (alert);

    return alerts;
}

int countOpenAlertWindows()
{
    return openAlertWindows().size();
}

bool dismissAlertWindows (int timeoutMs)
{
    for (auto* alert : openAlertWindows())
    {
        juce::Button* firstButton = nullptr;

        for (auto* child : alert->getChildren())
            if ((firstButton = dynamic_cast<juce::TextButton*> (child)) != nullptr)
                break;

        if (firstButton != nullptr)
            firstButton->triggerClick();
        else
            alert->exitModalState (0);
    }

    // The click arrives as a message; the box leaves the modal state then and
    // is deleted by the modal manager a message later.
    const bool closed = runMessageLoopUntil ([] { return countOpenAlertWindows() == 0; }, timeoutMs);
    return deliverPendingMessages() && closed;
}

//==============================================================================
juce::String triggerWidgets (const MainComponent& e)
{
    juce::StringArray state;
    const auto add = [&state] (const juce::Component& c, const juce::String& value)
    { state.add (value + (c.isEnabled() ? "" : "-")); };

    add (*e.interfaceComboBox, juce::String (e.interfaceComboBox->getSelectedId()));
    add (*e.invertToggle, juce::String ((int) e.invertToggle->getToggleState()));
    add (*e.typeBox, juce::String (e.typeBox->getSelectedId()));
    for (auto* toggle :
         { e.retriggerToggleButton.get(), e.loopToggleButton.get(), e.lockToggle.get(), e.polyToggle.get() })
        add (*toggle, juce::String ((int) toggle->getToggleState()));
    add (*e.functionBox, juce::String (e.functionBox->getSelectedId()));
    add (*e.trigVolumeSlider, juce::String (e.trigVolumeSlider->getValue()));
    add (*e.lowText, "[" + e.lowText->getText() + "]");
    add (*e.highText, "[" + e.highText->getText() + "]");
    return state.joinIntoString (" ");
}

juce::String enabledButtons (const MainComponent& e)
{
    juce::StringArray names;
    for (auto* button :
         { e.addButton.get(), e.updateButton.get(), e.deleteButton.get(), e.copyButton.get(), e.testButton.get() })
        if (button->isEnabled())
            names.add (button->getButtonText());
    return names.joinIntoString (" ");
}

void EditorTest::SetUp()
{
    editor.communicator->disconnect();
    editor.comPortOpen = false;
    deliverPendingMessages();
}

void EditorTest::TearDown()
{
    EXPECT_EQ (countOpenAlertWindows(), 0) << "a test left a message box open";
    dismissAlertWindows();
}
} // namespace testsupport
