#include "platform/forms/graphics/Printers.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/system/Exceptions.h"
#include "platform/system/Machine.h"
#include "platform/system/Text.h"

using namespace win;

std::filesystem::path PrintedFolder() {
  std::filesystem::path dir = Machine::Current().Dir() / "printed";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

namespace {

// UTF-8 to the PDF's WinAnsi encoding, with the characters that need it escaped.
std::string PdfString(const std::string& utf8) {
  std::string out;
  for (char32_t cp : Utf8ToUtf32(utf8)) {
    if (cp == 0x20AC)
      cp = 0x80;
    else if (cp == 0x2019)
      cp = 0x92;
    else if (cp == 0x2026)
      cp = 0x85;
    else if (cp > 0xFF || cp < 0x20)
      cp = '?';
    if (cp == '(' || cp == ')' || cp == '\\') out += '\\';
    out += char(cp);
  }
  return out;
}

std::string Compress(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, data.data(), uLong(data.size()), 6) !=
      Z_OK)
    throw Exception("Échec de la compression de la page imprimée");
  out.resize(size);
  return out;
}

}  // namespace

void WritePdf(const std::filesystem::path& file, const std::string& title, int dpi,
              const std::vector<TPrintedPage>& pages) {
  std::vector<std::string> objs;  // object n is objs[n - 1]
  auto add = [&](std::string body) {
    objs.push_back(std::move(body));
    return int(objs.size());
  };
  int catalog = add(""), pagesObj = add(""),
      font =
          add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  std::vector<int> kids;
  double k = 72.0 / dpi;
  for (const TPrintedPage& p : pages) {
    double W = p.image.width * k, H = p.image.height * k;
    std::vector<std::uint8_t> rgb;
    rgb.reserve(std::size_t(p.image.width) * p.image.height * 3);
    for (std::uint32_t px : p.image.pixels)
      rgb.push_back(std::uint8_t(px >> 16)), rgb.push_back(std::uint8_t(px >> 8)),
          rgb.push_back(std::uint8_t(px));
    std::string z = Compress(rgb);
    std::ostringstream img;
    img << "<< /Type /XObject /Subtype /Image /Width " << p.image.width << " /Height "
        << p.image.height
        << " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /Length " << z.size()
        << " >>\nstream\n"
        << z << "\nendstream";
    int image = add(img.str());
    std::ostringstream content;
    content.setf(std::ios::fixed);
    content.precision(2);
    content << "q " << W << " 0 0 " << H << " 0 0 cm /Im0 Do Q\n";
    // The text lies under the picture of itself, invisible (render mode 3).
    for (const TPrintedText& t : p.texts) {
      double size = std::max(1, t.height) * k * 0.85;
      double baseline = H - (t.y + t.height * 0.8) * k;
      content << "BT 3 Tr /F1 " << size << " Tf " << t.x * k << " " << baseline << " Td ("
              << PdfString(t.text) << ") Tj ET\n";
    }
    std::string c = content.str();
    int contents =
        add("<< /Length " + std::to_string(c.size()) + " >>\nstream\n" + c + "\nendstream");
    std::ostringstream page;
    page.setf(std::ios::fixed);
    page.precision(2);
    page << "<< /Type /Page /Parent " << pagesObj << " 0 R /MediaBox [0 0 " << W << " " << H
         << "] /Resources << /Font << /F1 " << font << " 0 R >> /XObject << /Im0 " << image
         << " 0 R >> >> /Contents " << contents << " 0 R >>";
    kids.push_back(add(page.str()));
  }
  std::string kidList;
  for (int id : kids) kidList += std::to_string(id) + " 0 R ";
  objs[catalog - 1] = "<< /Type /Catalog /Pages " + std::to_string(pagesObj) + " 0 R >>";
  objs[pagesObj - 1] =
      "<< /Type /Pages /Kids [" + kidList + "] /Count " + std::to_string(kids.size()) + " >>";
  int info = add("<< /Title (" + PdfString(title) + ") /Producer (WinInstallers) >>");

  std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objs.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objs[i] + "\nendobj\n";
  }
  std::size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objs.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t o : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(objs.size() + 1) + " /Root " +
         std::to_string(catalog) + " 0 R /Info " + std::to_string(info) + " 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  std::filesystem::path tmp = file;
  tmp += ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw Exception("Impossible de créer le fichier \"" + file.string() + "\".");
    f.write(out.data(), std::streamsize(out.size()));
    if (!f) throw Exception("Impossible d'écrire le fichier \"" + file.string() + "\".");
  }
  std::filesystem::rename(tmp, file);
}

// --- TPrinter ---------------------------------------------------------------------------------

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
  if (FPrinting) Abort();
}

void TPrinter::SetPrinterIndex(int i) {
  if (i == -1) i = 0;
  if (i < 0 || i >= int(FPrinters.size())) throw Exception("Indice d'imprimante hors limites");
  FPrinterIndex = i;
}

namespace {
struct Paper {
  const char* name;
  int width, height;  // portrait, at 150 dpi
};
const Paper kPapers[] = {
    {"A4", 1240, 1754}, {"A5", 874, 1240}, {"Lettre", 1275, 1650}, {"Légal", 1275, 2100}};
}  // namespace

const std::vector<std::string>& TPrinter::PaperNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const Paper& p : kPapers) n.push_back(p.name);
    return n;
  }();
  return names;
}

void TPrinter::SetOrientation(TPrinterOrientation v) {
  if (FPrinting) throw Exception("Impression en cours");
  FOrientation = v;
  SizePage();
}

void TPrinter::SetPaperSize(int index) {
  if (FPrinting) throw Exception("Impression en cours");
  if (index < 0 || index >= int(std::size(kPapers))) throw Exception("Format de papier inconnu");
  FPaper = index;
  SizePage();
}

void TPrinter::SizePage() {
  const Paper& p = kPapers[FPaper];
  FWidth = FOrientation == poPortrait ? p.width : p.height;
  FHeight = FOrientation == poPortrait ? p.height : p.width;
}

std::string TPrinter::Location() const { return (Machine::Current().Dir() / "printed").string(); }

TCanvas& TPrinter::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
  return *FCanvas;
}

void TPrinter::StartPage() {
  FPage = std::make_unique<Surface>(FWidth, FHeight, 0xFFFFFF);
  FDC = CreateSurfaceDC(FPage.get(), POINT{0, 0}, RECT{0, 0, FWidth, FHeight});
  SetDCResolution(FDC, FDpi);
  FPages.push_back(TPrintedPage{});
  std::size_t index = FPages.size() - 1;
  SetDCTextSink(FDC, [this, index](int x, int y, int h, const std::string& s) {
    FPages[index].texts.push_back(TPrintedText{x, y, h, s});
  });
  Canvas().SetHandle(FDC);
  Canvas().Font().SetPixelsPerInch(FDpi);
  ++FPageNumber;
}

void TPrinter::FinishPage() {
  if (!FDC) return;
  Canvas().SetHandle(nullptr);
  DeleteDC(FDC);
  FDC = nullptr;
  FPages.back().image = std::move(*FPage);
  FPage.reset();
}

void TPrinter::BeginDoc() {
  if (FPrinting) throw Exception("Impression en cours");
  FPrinting = true;
  FAborted = false;
  FPageNumber = 0;
  FPages.clear();
  Canvas().Font().SetPixelsPerInch(FDpi);
  Canvas().Font().SetSize(Canvas().Font().Size() ? Canvas().Font().Size() : 8);
  StartPage();
}

void TPrinter::NewPage() {
  if (!FPrinting) throw Exception("Aucune impression en cours");
  FinishPage();
  StartPage();
}

void TPrinter::EndDoc() {
  if (!FPrinting) throw Exception("Aucune impression en cours");
  FinishPage();
  FPrinting = false;
  std::string name = FTitle.empty() ? "Document" : FTitle;
  for (char& c : name)
    if (std::string("\\/:*?\"<>|").find(c) != std::string::npos ||
        static_cast<unsigned char>(c) < 32)
      c = '_';
  std::filesystem::path dir = PrintedFolder();
  std::filesystem::path file = dir / (name + ".pdf");
  for (int n = 2; std::filesystem::exists(file); ++n)
    file = dir / (name + " (" + std::to_string(n) + ").pdf");
  WritePdf(file, FTitle, FDpi, FPages);
  FPages.clear();
  FLastFile = file;
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  FinishPage();
  FPages.clear();
  FPrinting = false;
  FAborted = true;
}

TPrinter* Printer() {
  static TPrinter printer;
  return &printer;
}
