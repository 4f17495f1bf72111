#include "editor/MainComponent.h"

void MainComponent::newClicked() {}
void MainComponent::openClicked() {}
void MainComponent::saveAsClicked() {}
void MainComponent::loadInitFile (const juce::File&) {}
void MainComponent::saveInitFile (const juce::File&) {}
