#pragma once

#include <juce_gui_extra/juce_gui_extra.h>

#include <memory>

// The one main window; its content is the editor.
class InitUtilWindow : public juce::DocumentWindow
{
public:
    InitUtilWindow();
    ~InitUtilWindow() override;

    void closeButtonPressed() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InitUtilWindow)
};

class JUCEInitUtilApplication : public juce::JUCEApplication
{
public:
    JUCEInitUtilApplication() = default;
    ~JUCEInitUtilApplication() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;

    std::unique_ptr<InitUtilWindow> mainWindow;

private:
    // The program's look; it must outlive every component that uses it.
    juce::LookAndFeel_V3 lookAndFeel;
};
