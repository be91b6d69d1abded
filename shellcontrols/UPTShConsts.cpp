#include "shellcontrols/UPTShConsts.h"
// Texts only: nothing to start.
