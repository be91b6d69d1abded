#include "wizard/WizardControls.h"

#include "wizard/standins/VcBalloonHints.h"
#include "wizard/standins/VcCheckList.h"
#include "wizard/standins/VcLabel.h"

namespace {
template <class T>
void RegisterIfMissing() {
  if (!FindClassInfo(T::StaticClassName())) RegisterClass<T>();
}
}  // namespace

void RegisterWizardControls() {
  RegisterIfMissing<TVcCheckList>();
  RegisterIfMissing<TVcLabel>();
  RegisterIfMissing<TVcBalloonHints>();
}
