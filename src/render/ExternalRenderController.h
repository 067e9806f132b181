#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Print.h"
#include "platform/Window.h"

class Window;

// Turns the main view into a picture outside the render loop, for one job: the view is
// drawn once (smoothed through the accumulation buffer by default) into the main view's
// own buffer, read back, and either written as a BMP file or printed, with the plan's
// text labels set on the page as printer text. Every page of one print job goes to the
// printer as one document.
class ExternalRenderController {
public:
    // Choices of the print dialog (its control ids).
    static constexpr int kAllFloors = 202;
    static constexpr int kCurrentView = 203;
    static constexpr int kCurrentFloor = 204;
    static constexpr int kFullWidth = 206;
    static constexpr int kThumbnail = 207;
    static constexpr int kHalfWidth = 208;
    static constexpr int kAlignLeft = 210;
    static constexpr int kAlignCentre = 211;
    static constexpr int kAlignRight = 212;
    static constexpr int kHideGridBox = 236;
    static constexpr int kPrinterButton = 3;
    static constexpr uint32_t kPrintDialog = 561;
    static constexpr const char* kPrintImageName = "kvrPrintTemplate.bmp";
    // Floors above the ground that "All Floors" looks at.
    static constexpr int kHighestFloor = 8;

    ExternalRenderController();
    virtual ~ExternalRenderController();
    ExternalRenderController(const ExternalRenderController&) = delete;
    ExternalRenderController& operator=(const ExternalRenderController&) = delete;

    // The whole print job: the printer and options dialog, the pages, the document to the
    // printer (a failure is shown to the user). True when a document was printed; false
    // when cancelled or when it failed.
    bool Print();
    // Captures the view and writes it as a BMP: to the temporary print picture, or to a
    // file the user chooses. True when the file was written; false when cancelled or when
    // it failed (nothing is then left at the path).
    bool ExportSceneImage(bool toTemporaryFile);
    // The printer, then the options; true when both were confirmed.
    bool RunPrintDialog();
    // One page with the captured picture, its text labels and a frame, added to the
    // document.
    bool PrintPage();
    // Draws the main view for output and reads it into `bits`.
    bool CaptureView();
    // Sizes the picture by the main view.
    bool CreateImageBitmap();
    bool WriteBitmapFile(const char* path);
    // The captured text labels, placed in the picture's rectangle of the page; the
    // control's list is emptied.
    void PrintTextItems(platform::PrintPage& page, const platform::Rect& image);

    // Where the picture goes on a page `pageWidth` printer pixels wide.
    static platform::Rect PlaceImage(int pageWidth, int imageWidth, int imageHeight, int sizeChoice,
                                     int alignmentChoice);
    // A label's direction in tenths of a degree on a page whose y axis points down
    // (`flipped`), never upside down; false for a direction that cannot be printed.
    static bool PageEscapement(const double dx, const double dy, bool flipped, int& escapement);
    // The temporary print picture's path.
    static std::string PrintImagePath();

    int imageWidth = 0;
    int imageHeight = 0;
    // 1: captured through the accumulation buffer's smoothing passes.
    int antialias = 1;
    // The picture: RGB, rows from the bottom, tightly packed.
    std::vector<uint8_t> bits;
    Window* mainWindow = nullptr;
    platform::PrinterSettings printer;
    bool printerChosen = false;
    int imageSizeChoice = kFullWidth;
    int viewChoice = kCurrentView;
    int alignmentChoice = kAlignLeft;
    bool hideGrid = false;
    // The pages of the print job so far.
    platform::PrintDocument document;

private:
    void PrintOnePage();
    void PrintFloors();
};
