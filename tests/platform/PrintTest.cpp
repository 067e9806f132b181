#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/Print.h"
#include "support/TempFolder.h"

namespace {

// What poppler's pdfinfo says of a file ("Pages:", "Page size:" ...); empty when the
// file is no PDF it can read.
std::string PdfInfo(const std::string& path) {
    std::string out;
    FILE* pipe = popen(("pdfinfo '" + path + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    return pclose(pipe) == 0 ? out : std::string();
}

platform::PrintPage PageWithEverything() {
    platform::PrintPage page;
    platform::PrintItem picture;
    picture.kind = platform::PrintItem::Kind::Picture;
    picture.left = 0;
    picture.width = 2550;
    picture.height = 1275;
    picture.pictureWidth = 2;
    picture.pictureHeight = 1;
    picture.rgb = {255, 0, 0, 0, 0, 255};
    page.items.push_back(picture);
    platform::PrintItem text;
    text.kind = platform::PrintItem::Kind::Text;
    text.left = 100;
    text.top = 400;
    text.text = "Kitchen";
    text.fontHeight = 60;
    text.escapement = 2700;
    page.items.push_back(text);
    platform::PrintItem frame;
    frame.kind = platform::PrintItem::Kind::Frame;
    frame.width = 2552;
    frame.height = 1277;
    page.items.push_back(frame);
    return page;
}

TEST(PdfPrinter, WritesEveryPageOnThePaperSize) {
    TempFolder folder;
    platform::PrinterSettings printer;
    printer.outputFile = folder.Path() + "plan.pdf";
    EXPECT_EQ(printer.PageWidth(), 2550);
    EXPECT_EQ(printer.PageHeight(), 3300);
    platform::PrintDocument document;
    document.name = "house.kvp";
    document.pages = {PageWithEverything(), PageWithEverything()};
    uint32_t error = 0;
    ASSERT_TRUE(platform::PrintDocumentOn(printer, document, &error));
    const std::string info = PdfInfo(printer.outputFile);
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("612 x 792 pts"), std::string::npos) << info;  // US letter
    EXPECT_NE(info.find("house.kvp"), std::string::npos) << info;
    EXPECT_FALSE(std::ifstream(printer.outputFile + ".part").good());
}

TEST(PdfPrinter, UnreachableOutputIsThePrinterBeingUnavailable) {
    TempFolder folder;
    platform::PrinterSettings printer;
    platform::PrintDocument document;
    document.pages = {PageWithEverything()};
    struct Case {
        std::string output;
        uint32_t error;
    };
    for (const Case& c :
         {Case{"", platform::kPrinterUnavailable},
          Case{folder.Path() + "no/such/folder.pdf", platform::kPrinterUnavailable}}) {
        printer.outputFile = c.output;
        uint32_t error = 0;
        EXPECT_FALSE(platform::PrintDocumentOn(printer, document, &error)) << c.output;
        EXPECT_EQ(error, c.error) << c.output;
    }
    // A document without pages prints nothing, and an old file stays as it was.
    printer.outputFile = folder.Path() + "old.pdf";
    std::ofstream(printer.outputFile) << "old";
    uint32_t error = 0;
    EXPECT_FALSE(platform::PrintDocumentOn(printer, platform::PrintDocument{}, &error));
    EXPECT_EQ(error, platform::kPrinterFailure);
    std::ifstream old(printer.outputFile);
    std::string text;
    old >> text;
    EXPECT_EQ(text, "old");
}

TEST(PrintDialog, AnsweredByTheResponderAndCancelledWithoutOne) {
    platform::PrinterSettings settings;
    EXPECT_FALSE(platform::ShowPrintDialog(settings));
    platform::SetPrintDialogResponder([](platform::PrinterSettings& chosen) {
        chosen.printer = "Office";
        chosen.dotsPerInch = 600;
        return true;
    });
    EXPECT_TRUE(platform::ShowPrintDialog(settings));
    EXPECT_EQ(settings.printer, "Office");
    EXPECT_EQ(settings.PageWidth(), 5100);
    platform::SetPrintDialogResponder(nullptr);
}

}  // namespace
