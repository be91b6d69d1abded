#pragma once
// The Install program's forms, created in the order its entry creates them, the main form set
// up for the base environment. The entry and the tests that drive the program in-process
// share it.

void CreateInstallForms();
