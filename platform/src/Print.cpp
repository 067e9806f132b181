#include "platform/Print.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/Files.h"

namespace platform {

namespace {

constexpr double kPointsPerInch = 72.0;

std::mutex hookMutex;
PrintDialogResponder& Responder() {
    static PrintDialogResponder* responder = new PrintDialogResponder;
    return *responder;
}
DocumentPrinter& Printer() {
    static DocumentPrinter* printer = new DocumentPrinter;
    return *printer;
}

void Fail(uint32_t* error, uint32_t code) {
    if (error) *error = code;
}

const char* FamilyFor(const std::string& face) {
    std::string name;
    for (char c : face) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.find("courier") != std::string::npos || name.find("mono") != std::string::npos)
        return "DejaVu Sans Mono";
    if (name.find("times") != std::string::npos || name.find("roman") != std::string::npos ||
        (name.find("serif") != std::string::npos && name.find("sans") == std::string::npos))
        return "DejaVu Serif";
    return "DejaVu Sans";
}

void DrawPicture(cairo_t* cr, const PrintItem& item) {
    if (item.pictureWidth <= 0 || item.pictureHeight <= 0 || item.width <= 0 || item.height <= 0 ||
        item.rgb.size() < static_cast<size_t>(item.pictureWidth) * item.pictureHeight * 3)
        return;
    cairo_surface_t* picture =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, item.pictureWidth, item.pictureHeight);
    if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return;
    }
    cairo_surface_flush(picture);
    unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    for (int y = 0; y < item.pictureHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        const uint8_t* from = item.rgb.data() + static_cast<size_t>(y) * item.pictureWidth * 3;
        for (int x = 0; x < item.pictureWidth; ++x, from += 3)
            row[x] = (uint32_t{from[0]} << 16) | (uint32_t{from[1]} << 8) | from[2];
    }
    cairo_surface_mark_dirty(picture);

    cairo_save(cr);
    cairo_rectangle(cr, item.left, item.top, item.width, item.height);
    cairo_clip(cr);
    cairo_translate(cr, item.left, item.top);
    cairo_scale(cr, static_cast<double>(item.width) / item.pictureWidth,
                static_cast<double>(item.height) / item.pictureHeight);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(picture);
}

void DrawText(cairo_t* cr, const PrintItem& item) {
    if (item.text.empty() || item.fontHeight <= 0) return;
    cairo_save(cr);
    cairo_select_font_face(cr, FamilyFor(item.faceName),
                           item.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           item.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, item.fontHeight);
    cairo_translate(cr, item.left, item.top);
    cairo_rotate(cr, item.escapement * M_PI / 1800.0);
    if (item.opaque) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, item.text.c_str(), &extents);
        cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
        cairo_rectangle(cr, extents.x_bearing, extents.y_bearing, extents.width, extents.height);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, item.colour[0] / 255.0, item.colour[1] / 255.0,
                         item.colour[2] / 255.0);
    cairo_move_to(cr, 0, 0);
    cairo_show_text(cr, item.text.c_str());
    cairo_restore(cr);
}

void DrawFrame(cairo_t* cr, const PrintItem& item) {
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, item.left + 0.5, item.top + 0.5, item.width - 1.0, item.height - 1.0);
    cairo_stroke(cr);
    cairo_restore(cr);
}

}  // namespace

int PrinterSettings::PageWidth() const {
    return static_cast<int>(std::lround(paperWidthInches * dotsPerInch));
}

int PrinterSettings::PageHeight() const {
    return static_cast<int>(std::lround(paperHeightInches * dotsPerInch));
}

bool ShowPrintDialog(PrinterSettings& settings) {
    PrintDialogResponder answer;
    {
        std::lock_guard<std::mutex> guard(hookMutex);
        answer = Responder();
    }
    return answer && answer(settings);
}

void SetPrintDialogResponder(PrintDialogResponder responder) {
    std::lock_guard<std::mutex> guard(hookMutex);
    Responder() = std::move(responder);
}

bool PrintDocumentOn(const PrinterSettings& settings, const PrintDocument& document,
                     uint32_t* error) {
    DocumentPrinter printer;
    {
        std::lock_guard<std::mutex> guard(hookMutex);
        printer = Printer();
    }
    if (printer) return printer(settings, document, error);
    return WritePdfDocument(settings, document, error);
}

void SetDocumentPrinter(DocumentPrinter printer) {
    std::lock_guard<std::mutex> guard(hookMutex);
    Printer() = std::move(printer);
}

bool WritePdfDocument(const PrinterSettings& settings, const PrintDocument& document,
                      uint32_t* error) {
    if (settings.outputFile.empty() || settings.dotsPerInch <= 0 ||
        !(settings.paperWidthInches > 0.0) || !(settings.paperHeightInches > 0.0)) {
        Fail(error, kPrinterUnavailable);
        return false;
    }
    if (document.pages.empty()) {
        Fail(error, kPrinterFailure);
        return false;
    }
    // Written beside its place and renamed over it once whole.
    const std::string partial = settings.outputFile + ".part";
    cairo_surface_t* surface =
        cairo_pdf_surface_create(partial.c_str(), settings.paperWidthInches * kPointsPerInch,
                                 settings.paperHeightInches * kPointsPerInch);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        DeleteFile(partial.c_str());
        Fail(error, kPrinterUnavailable);
        return false;
    }
    if (!document.name.empty())
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, document.name.c_str());
    cairo_t* cr = cairo_create(surface);
    const double scale = kPointsPerInch / settings.dotsPerInch;
    for (const PrintPage& page : document.pages) {
        cairo_save(cr);
        cairo_scale(cr, scale, scale);
        for (const PrintItem& item : page.items) {
            switch (item.kind) {
                case PrintItem::Kind::Picture:
                    DrawPicture(cr, item);
                    break;
                case PrintItem::Kind::Text:
                    DrawText(cr, item);
                    break;
                case PrintItem::Kind::Frame:
                    DrawFrame(cr, item);
                    break;
            }
        }
        cairo_restore(cr);
        cairo_show_page(cr);
    }
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool written = drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!written || !RenameFile(partial.c_str(), settings.outputFile.c_str())) {
        DeleteFile(partial.c_str());
        Fail(error, kPrinterFailure);
        return false;
    }
    return true;
}

}  // namespace platform
