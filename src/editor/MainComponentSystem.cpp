#include "editor/MainComponent.h"

void MainComponent::baudChanged() {}
void MainComponent::volumeChanged() {}
void MainComponent::ampToggled() {}
void MainComponent::lowPowerToggled() {}
void MainComponent::sleepChanged() {}
void MainComponent::releaseChanged() {}
void MainComponent::midiOptionToggled() {}
void MainComponent::pitchChanged() {}
void MainComponent::channelChanged() {}
