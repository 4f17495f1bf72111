#include "app/Application.h"
#include "editor/MainComponent.h"

#if ! JUCE_WINDOWS
#include <csignal>
#endif

InitUtilWindow::InitUtilWindow()
    : juce::DocumentWindow ("Kelvarin    Quorvel Init File Maker v1.20", juce::Colours::lightgrey,
                            juce::DocumentWindow::allButtons, true)
{
    setContentOwned (new MainComponent(), true);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

InitUtilWindow::~InitUtilWindow() = default;

void InitUtilWindow::closeButtonPressed()
{
    juce::JUCEApplication::quit();
}

JUCEInitUtilApplication::~JUCEInitUtilApplication()
{
    mainWindow.reset();
    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

const juce::String JUCEInitUtilApplication::getApplicationName()
{
    return "Quorvel Pro Init File Utility";
}

const juce::String JUCEInitUtilApplication::getApplicationVersion()
{
    return "1.0.0";
}

bool JUCEInitUtilApplication::moreThanOneInstanceAllowed()
{
    return true;
}

void JUCEInitUtilApplication::initialise (const juce::String&)
{
#if ! JUCE_WINDOWS
    // So that a file-size limit fails a save as a full disk does, instead of
    // ending the program and the user's unsaved work with it.
    std::signal (SIGXFSZ, SIG_IGN);
#endif
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
    mainWindow = std::make_unique<InitUtilWindow>();
}

void JUCEInitUtilApplication::shutdown()
{
    // Cleared before the window goes, so nothing reaches a half-deleted window.
    auto window = std::move (mainWindow);
    window.reset();
}

void JUCEInitUtilApplication::anotherInstanceStarted (const juce::String&) {}
