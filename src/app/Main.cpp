#include "app/Application.h"

START_JUCE_APPLICATION (JUCEInitUtilApplication)
