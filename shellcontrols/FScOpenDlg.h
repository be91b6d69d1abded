#pragma once
// TScDialog: the base of the library's dialog components. A dialog builds its own form
// when executed, shows it modally and remembers the form's outer size and window state
// from one run to the next; a host may keep them across runs of the program with
// WriteFormState / ReadFormState (a 9-byte record: width, height as little-endian int32,
// then the state as one byte).
#include <string>

#include "platform/forms/Classes.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Streams.h"

class TScDialog : public TComponent {
  WI_CLASS(TScDialog, TComponent)
 public:
  explicit TScDialog(TComponent* owner);

  // Sizes of 0 or below leave the form at its own size.
  int FormWidth() const { return FFormWidth; }
  void SetFormWidth(int v) { FFormWidth = v; }
  int FormHeight() const { return FFormHeight; }
  void SetFormHeight(int v) { FFormHeight = v; }
  TWindowState FormWindowState() const { return FFormWindowState; }
  void SetFormWindowState(TWindowState v) { FFormWindowState = v; }
  // Empty: the descendant's own caption.
  std::string Title() const { return FTitle; }
  void SetTitle(const std::string& v) { FTitle = v; }

  // Fires OnInitialized (the form is built and set up, not shown yet).
  virtual void DoInitialized();
  // Builds and shows the form; true when the user confirmed it.
  virtual bool Execute() = 0;
  // The form-state record; a short stream fails with the stream's read or write error.
  // A state byte above 2 is taken as wsNormal.
  virtual void ReadFormState(TStream& stream);
  virtual void WriteFormState(TStream& stream);

  TNotifyEvent OnInitialized, OnFormShow, OnFormClose;

 private:
  int FFormWidth = -1;
  int FFormHeight = -1;
  TWindowState FFormWindowState = wsNormal;
  std::string FTitle;
};
