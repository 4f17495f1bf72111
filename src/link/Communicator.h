#pragma once

// Placeholder for the board command link until the link lands: it never
// connects and sends nothing.
#include <juce_events/juce_events.h>

#include "link/TriggerSettings.h"

class Communicator : public juce::Thread, public juce::ChangeBroadcaster
{
public:
    Communicator() : juce::Thread ("Communicator Thread") {}
    ~Communicator() override { disconnect(); }

    bool connect (const juce::String&) { return false; }
    void disconnect() {}
    bool sendTriggerSettings (const TriggerSettings&, int) { return false; }
    bool sendStopAll() { return false; }
    void run() override {}

    bool connected = false;
};
