#include "wizard/ReportPrinting.h"

#include "platform/forms/ComCtrls.h"
#include "platform/forms/graphics/Printers.h"

namespace {

void PrintLines(TRichEdit* Edit, const std::string& Title) {
  TPrinter* printer = Printer();
  printer->SetTitle(Title);
  printer->BeginDoc();
  try {
    TCanvas& canvas = printer->Canvas();
    canvas.Font().SetName(Edit->Font()->Name());
    // The edit's font height is in screen pixels (96 per inch).
    canvas.Font().SetHeight(Edit->Font()->Height() * printer->Resolution() / 96);
    const int margin = printer->Resolution() / 2;
    int y = margin;
    TStrings* lines = Edit->Lines();
    for (int i = 0; i < lines->Count(); ++i) {
      int h = canvas.TextHeight("Wg");
      if (y + h > printer->PageHeight() - margin) {
        printer->NewPage();
        y = margin;
      }
      canvas.TextOut(margin, y, lines->Get(i));
      y += h;
    }
    printer->EndDoc();
  } catch (...) {
    printer->Abort();
    throw;
  }
}

}  // namespace

void InstallReportPrinter() {
  if (!RichEditPrinter) RichEditPrinter = PrintLines;
}
