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
    // First in, first out: once this marker arrives, all before it has too.
    auto delivered = std::make_shared<bool> (false);
    juce::MessageManager::callAsync ([delivered] { *delivered = true; });
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! *delivered && juce::Time::getMillisecondCounter() < deadline)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (0);

    return *delivered;
}

// Only an enabled widget reacts to a user, and a box offers only its items.
template <typename Widget, typename Action>
static bool asUser (Widget& widget, bool possible, Action&& action)
{
    if (! widget.isEnabled() || ! possible)
    {
        ADD_FAILURE() << "no user can do that to \"" << widget.getName() << "\"";
        return false;
    }

    action();
    return deliverPendingMessages();
}

bool pick (juce::ComboBox& box, int itemId)
{
    return asUser (box, box.indexOfItemId (itemId) >= 0,
                   [&] { box.setSelectedId (itemId, juce::sendNotificationSync); });
}

bool click (juce::Button& button)
{
    return asUser (button, true, [&] { button.triggerClick(); });
}

bool typeInto (juce::TextEditor& field, const juce::String& text)
{
    return asUser (field, true,
                   [&]
                   {
                       field.setHighlightedRegion ({ 0, field.getTotalNumChars() });
                       field.insertTextAtCaret (text);
                   });
}

bool drag (juce::Slider& slider, double value)
{
    return asUser (slider, true, [&] { slider.setValue (value, juce::sendNotificationSync); });
}

// The widgets a test names, by their place in the editor's creation order.
static juce::Component* widgetNamed (const MainComponent& editor, const juce::String& name)
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
    {
        const auto value = action.fromFirstOccurrenceOf ("=", false, false);
        auto* widget = widgetNamed (editor, action.upToFirstOccurrenceOf ("=", false, false));
        bool done = false;

        if (auto* box = dynamic_cast<juce::ComboBox*> (widget))
            done = pick (*box, value.getIntValue());
        else if (auto* slider = dynamic_cast<juce::Slider*> (widget))
            done = drag (*slider, value.getIntValue());
        else if (auto* field = dynamic_cast<juce::TextEditor*> (widget))
            done = typeInto (*field, value);
        else if (auto* button = dynamic_cast<juce::Button*> (widget))
            done = click (*button);
        else
            ADD_FAILURE() << "no widget for " << action;

        if (! done)
            return false;
    }
    return true;
}

class AlertRecorder::RecordingLookAndFeel : public juce::LookAndFeel_V4
{
public:
    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& button1, const juce::String& button2,
                                          const juce::String& button3, juce::MessageBoxIconType iconType,
                                          int numButtons, juce::Component* associatedComponent) override
    {
        const juce::StringArray buttons{ button1, button2, button3 };
        shown.push_back (
            { iconType, title, message, juce::StringArray (buttons.begin(), juce::jlimit (0, 3, numButtons)) });
        return LookAndFeel_V4::createAlertWindow (title, message, button1, button2, button3, iconType, numButtons,
                                                  associatedComponent);
    }

    std::vector<ShownAlert> shown;
};

AlertRecorder::AlertRecorder()
    : lookAndFeel (std::make_unique<RecordingLookAndFeel>())
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
    // What the one "OK" button of a message box does; the modal manager
    // deletes each box a message later.
    for (auto* alert : openAlertWindows())
        alert->exitModalState (0);

    const bool closed = runMessageLoopUntil ([] { return countOpenAlertWindows() == 0; }, timeoutMs);
    return deliverPendingMessages() && closed;
}

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
