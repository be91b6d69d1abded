#pragma once
// The control classes the wizard's forms name: the toolkit's standard controls, and the
// stand-ins of the visual controls (wizard/standins) until the real ones replace them.
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"

// Registers the stand-ins under the real controls' class names (unless the real ones are
// registered). Called at start-up, once the toolkit's own static tables exist.
void RegisterWizardControls();
