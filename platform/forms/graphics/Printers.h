#pragma once
// Printing: a job's pages are drawn on a canvas and written, at EndDoc, to a PDF file in
// the machine's "printed" folder (beside drives/), named after the job's title. Each page
// is its raster image, with the text drawn on it laid over invisibly so that it can be
// searched and extracted.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/graphics/Graphics.h"

// <machine>/printed, created on demand.
std::filesystem::path PrintedFolder();

// Writes a PDF of the given pages (A4 pages of `dpi` resolution; text runs placed at
// their pixel positions). Used by TPrinter; exposed for tests.
struct TPrintedText {
  int x = 0, y = 0, height = 0;  // pixels: left, cell top, cell height
  std::string text;              // UTF-8
};
struct TPrintedPage {
  win::Surface image;
  std::vector<TPrintedText> texts;
};
void WritePdf(const std::filesystem::path& file, const std::string& title, int dpi,
              const std::vector<TPrintedPage>& pages);

enum TPrinterOrientation { poPortrait, poLandscape };

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  const std::vector<std::string>& Printers() const { return FPrinters; }
  int PrinterIndex() const { return FPrinterIndex; }
  void SetPrinterIndex(int i);  // -1: the default printer
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& t) { FTitle = t; }
  bool Printing() const { return FPrinting; }
  bool Aborted() const { return FAborted; }
  int PageNumber() const { return FPageNumber; }
  int PageWidth() const { return FWidth; }  // pixels
  int PageHeight() const { return FHeight; }
  int Resolution() const { return FDpi; }
  // The page's orientation and paper (an index of PaperNames()); both are refused while a
  // job prints ("Impression en cours").
  TPrinterOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TPrinterOrientation v);
  static const std::vector<std::string>& PaperNames();  // "A4", "A5", "Lettre", "Légal"
  int PaperSize() const { return FPaper; }
  void SetPaperSize(int index);
  // What the printer tells about itself: always ready, a PDF writer, whose files land in
  // the machine's "printed" folder.
  std::string Status() const { return "Prêt"; }
  std::string DriverName() const { return "Imprimante PDF"; }
  std::string Location() const;
  TCanvas& Canvas();

  void BeginDoc();
  void NewPage();
  // Writes the job and returns nothing; the file is LastFile().
  void EndDoc();
  void Abort();
  const std::filesystem::path& LastFile() const { return FLastFile; }

 private:
  void StartPage();
  void FinishPage();
  void SizePage();
  std::vector<std::string> FPrinters{"Imprimante PDF"};
  int FPrinterIndex = 0;
  std::string FTitle;
  bool FPrinting = false, FAborted = false;
  int FPageNumber = 0;
  int FDpi = 150, FWidth = 1240, FHeight = 1754;  // A4
  TPrinterOrientation FOrientation = poPortrait;
  int FPaper = 0;
  std::unique_ptr<TCanvas> FCanvas;
  win::HDC FDC = nullptr;
  std::unique_ptr<win::Surface> FPage;
  std::vector<TPrintedPage> FPages;
  std::filesystem::path FLastFile;
};

// The program's printer.
TPrinter* Printer();
