#include "shellcontrols/FScOpenDlg.h"

#include <cstdint>

namespace {

void PutInt32(unsigned char* p, std::int32_t v) {
  auto u = std::uint32_t(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

std::int32_t GetInt32(const unsigned char* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= std::uint32_t(p[i]) << (8 * i);
  return std::int32_t(u);
}

}  // namespace

void TScDialog::DefineProps(TPropList&) {}

TScDialog::TScDialog(TComponent* owner) : TComponent(owner) {
  FFormWidth = -1;
  FFormHeight = -1;
  FFormWindowState = wsNormal;
}

void TScDialog::DoInitialized() {
  if (OnInitialized) OnInitialized(this);
}

// Each field is read on its own, so the fields read before a short stream fails keep
// their new values.
void TScDialog::ReadFormState(TStream& stream) {
  unsigned char b[4];
  stream.ReadBuffer(b, 4);
  FFormWidth = GetInt32(b);
  stream.ReadBuffer(b, 4);
  FFormHeight = GetInt32(b);
  stream.ReadBuffer(b, 1);
  FFormWindowState = b[0] <= wsMaximized ? TWindowState(b[0]) : wsNormal;
}

void TScDialog::WriteFormState(TStream& stream) {
  unsigned char b[4];
  PutInt32(b, FFormWidth);
  stream.WriteBuffer(b, 4);
  PutInt32(b, FFormHeight);
  stream.WriteBuffer(b, 4);
  b[0] = static_cast<unsigned char>(FFormWindowState);
  stream.WriteBuffer(b, 1);
}
