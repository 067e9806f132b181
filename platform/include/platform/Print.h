#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Printing. The program chooses a printer with the print dialog, composes its pages as
// a print document (pictures, text and frames placed in the printer's pixels, origin
// at the page's top left) and hands the document to PrintDocument. Without a display
// every printer is a file printer that writes the pages as a PDF file (cairo); the
// display implementation prints through GTK's print operation.

// Error numbers of a print job that did not print.
inline constexpr uint32_t kPrinterUnavailable = 1722;
inline constexpr uint32_t kPrinterFailure = 1;

// The printer chosen and the paper it prints on.
struct PrinterSettings {
    std::string printer;     // its name; empty for the default printer
    std::string outputFile;  // where a file printer writes its PDF
    int dotsPerInch = 300;
    double paperWidthInches = 8.5;
    double paperHeightInches = 11.0;
    // What the display implementation keeps of its own dialog.
    std::shared_ptr<void> native;

    // The paper's size in printer pixels.
    int PageWidth() const;
    int PageHeight() const;
};

// One thing drawn on a page, in printer pixels.
struct PrintItem {
    enum class Kind { Picture, Text, Frame };
    Kind kind = Kind::Frame;
    // Picture: the rectangle it fills; frame: its outline (one pixel wide); text: the
    // left end of its baseline is (left, top).
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // Picture: `pictureWidth` x `pictureHeight` RGB pixels, rows top to bottom.
    int pictureWidth = 0;
    int pictureHeight = 0;
    std::vector<uint8_t> rgb;
    // Text: what, how high its letters are (printer pixels), its direction (tenths of a
    // degree, turning from the page's x axis toward its y axis: clockwise as the page is
    // seen), its face and colour, and whether it paints its background.
    std::string text;
    int fontHeight = 0;
    int escapement = 0;
    std::string faceName;
    bool bold = false;
    bool italic = false;
    uint8_t colour[3] = {0, 0, 0};
    bool opaque = false;
};

struct PrintPage {
    std::vector<PrintItem> items;
};

struct PrintDocument {
    std::string name;  // the job's name in the printer's queue
    std::vector<PrintPage> pages;
};

// Shows the print dialog for `settings` (which it starts from); true when the user
// chose a printer, with `settings` filled. Without a display the responder set with
// SetPrintDialogResponder answers; by default every dialog is cancelled.
bool ShowPrintDialog(PrinterSettings& settings);
using PrintDialogResponder = std::function<bool(PrinterSettings& settings)>;
void SetPrintDialogResponder(PrintDialogResponder responder);

// Prints every page of the document on the chosen printer. False when nothing was
// printed, with `error` set to kPrinterUnavailable when the printer (or its output
// file) cannot be reached and kPrinterFailure for any other failure. A file printer's
// output appears whole or not at all.
bool PrintDocumentOn(const PrinterSettings& settings, const PrintDocument& document,
                     uint32_t* error = nullptr);

// Replaces how documents are printed (the display implementation, tests); an empty
// printer restores the PDF file printer.
using DocumentPrinter = std::function<bool(const PrinterSettings& settings,
                                           const PrintDocument& document, uint32_t* error)>;
void SetDocumentPrinter(DocumentPrinter printer);

// The PDF file printer itself.
bool WritePdfDocument(const PrinterSettings& settings, const PrintDocument& document,
                      uint32_t* error);

}  // namespace platform
