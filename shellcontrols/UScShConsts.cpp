#include "shellcontrols/UScShConsts.h"
// Texts only: nothing to start.
