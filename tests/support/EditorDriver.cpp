#include "support/EditorDriver.h"
#include "support/MessageLoop.h"

#include "link/Communicator.h"

#if JUCE_LINUX
#include <dlfcn.h>
#endif

namespace testsupport
{
// What a user does to the widget: picks the item id, drags to the value,
// types the text or clicks. Only an enabled widget reacts to a user, and only
// while no message box is up; a box offers only its items, a slider its range.
static bool perform (juce::Component* widget, const juce::String& value)
{
    auto* box = dynamic_cast<juce::ComboBox*> (widget);
    auto* slider = dynamic_cast<juce::Slider*> (widget);
    const double number = value.getDoubleValue();

    if (widget == nullptr || ! widget->isEnabled() || countOpenAlertWindows() > 0
        || (box != nullptr && box->indexOfItemId (value.getIntValue()) < 0)
        || (slider != nullptr && (number < slider->getMinimum() || number > slider->getMaximum())))
    {
        ADD_FAILURE() << "no user can do that to " << (widget ? widget->getName() : "a missing widget");
        return false;
    }

    if (box != nullptr)
        box->setSelectedId (value.getIntValue(), juce::sendNotificationSync);
    else if (slider != nullptr)
        slider->setValue (number, juce::sendNotificationSync);
    else if (auto* field = dynamic_cast<juce::TextEditor*> (widget))
        field->setHighlightedRegion ({ 0, field->getTotalNumChars() }), field->insertTextAtCaret (value);
    else if (auto* button = dynamic_cast<juce::Button*> (widget))
        button->triggerClick();

    return deliverPendingMessages();
}

// The widgets a test names, by their place in the editor's creation order.
juce::Component* widgetNamed (const MainComponent& editor, const juce::String& name)
{
    static const auto names = juce::StringArray::fromTokens (
        "- - - quit - function type invert poly low high new - - - - - - baud - volume - - view trigger interface add "
        "update delete - - retrigger reset - - amp - test port - - - trigvolume - stop copy velocity release - "
        "lowpower - sleep pitch - noteoffs loop lock channel -",
        false);
    return name == "-" ? nullptr : editor.getChildComponent (names.indexOf (name));
}

bool act (MainComponent& editor, const juce::String& actions)
{
    for (auto& action : juce::StringArray::fromTokens (actions, " ", {}))
        if (! perform (widgetNamed (editor, action.upToFirstOccurrenceOf ("=", false, false)),
                       action.fromFirstOccurrenceOf ("=", false, false)))
            return false;
    return true;
}

juce::String widgetStates (const MainComponent& editor, const juce::String& names)
{
    auto widgets = editor.getChildren();
    if (names.isNotEmpty())
    {
        widgets.clear();
        for (auto& name : juce::StringArray::fromTokens (names, " ", {}))
            widgets.add (widgetNamed (editor, name));
    }

    juce::StringArray states;
    for (auto* widget : widgets)
    {
        juce::String s;
        if (auto* toggle = dynamic_cast<juce::ToggleButton*> (widget))
            s << (int) toggle->getToggleState();
        else if (auto* box = dynamic_cast<juce::ComboBox*> (widget))
            s << box->getSelectedId();
        else if (auto* slider = dynamic_cast<juce::Slider*> (widget))
            s << slider->getValue();
        else if (auto* field = dynamic_cast<juce::TextEditor*> (widget))
            s << "[" << (field->isMultiLine() ? juce::String (field->getTotalNumChars()) : field->getText()) << "]";
        states.add (widget->isEnabled() ? (s.isEmpty() ? "." : s) : s + "-");
    }
    return states.joinIntoString (" ");
}

juce::String triggerWidgets (const MainComponent& editor)
{
    return widgetStates (editor, "interface invert type retrigger loop lock poly function trigvolume low high");
}

AlertRecorder::AlertRecorder()
    : previousDefault (juce::LookAndFeel::getDefaultLookAndFeel())
{
#if JUCE_LINUX
    // JUCE's X error handler ignores the harmless errors an alert window causes
    // under a bare Xvfb; a test binary is no JUCE application and gets Xlib's,
    // which exits. The same library instance that JUCE opens; it stays loaded.
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_GLOBAL))
    {
        using Handler = int (*) (void*, void*);
        if (auto setHandler = reinterpret_cast<Handler (*) (Handler)> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*) { return 0; });
    }
#endif
    juce::LookAndFeel::setDefaultLookAndFeel (this);
}

AlertRecorder::~AlertRecorder()
{
    dismissAlertWindows();
    juce::LookAndFeel::setDefaultLookAndFeel (&previousDefault);
}

juce::AlertWindow* AlertRecorder::createAlertWindow (const juce::String& title, const juce::String& message,
                                                     const juce::String& button1, const juce::String& button2,
                                                     const juce::String& button3, juce::MessageBoxIconType icon,
                                                     int numButtons, juce::Component* associated)
{
    alerts.push_back ({ title, message });
    return LookAndFeel_V3::createAlertWindow (title, message, button1, button2, button3, icon, numButtons, associated);
}

// Only alert windows go modal in the editor.
int countOpenAlertWindows()
{
    return juce::ModalComponentManager::getInstance()->getNumModalComponents();
}

bool dismissAlertWindows (int timeoutMs)
{
    // What the one "OK" button of a message box does; the modal manager
    // deletes each box a message later.
    auto& manager = *juce::ModalComponentManager::getInstance();
    for (int i = manager.getNumModalComponents(); --i >= 0;)
        manager.getModalComponent (i)->exitModalState (0);

    const bool closed = runMessageLoopUntil ([] { return countOpenAlertWindows() == 0; }, timeoutMs);
    return deliverPendingMessages() && closed;
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
