#pragma once
// The toolkit's control classes the wizard's forms name. The visual controls (controls/)
// register themselves; each unit includes those it uses.
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
