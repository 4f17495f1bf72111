#include "editor/MainComponent.h"
#include "link/Communicator.h"

void MainComponent::startTestLink()
{
    communicator = std::make_unique<Communicator>();
    communicator->addChangeListener (this);
}

void MainComponent::portChanged() {}
void MainComponent::stopAllClicked() {}
void MainComponent::sendTestTrigger() {}
