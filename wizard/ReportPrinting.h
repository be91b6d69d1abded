#pragma once
// Printing the installation report: each line of the rich edit on the program's printer
// (a PDF job in the machine), page after page. Installed at start-up unless the drawing
// layer has already given rich edits a printer.
void InstallReportPrinter();
