#include "support/ReferenceImage.h"

#include <cstdlib>
#include <fstream>

#include "render/PNGparse.h"
#include "support/PngWriter.h"

bool MatchesReferenceImage(const std::vector<uint8_t>& rgba, int width, int height,
                           const std::string& base, int* differing, int tolerance) {
    PNGparse reader;
    std::vector<uint8_t> expected;
    if (reader.Open((base + ".png").c_str()) == 0 && static_cast<int>(reader.Width()) == width &&
        static_cast<int>(reader.Height()) == height) {
        reader.FlipRows();
        reader.ConvertToRGB(false);
        expected = reader.TakePixels();
    }
    const size_t pixels = static_cast<size_t>(width) * height;
    int count = expected.size() == pixels * 3 ? 0 : static_cast<int>(pixels);
    for (size_t p = 0; p < pixels && !expected.empty(); ++p)
        for (int c = 0; c < 3; ++c)
            if (std::abs(rgba[p * 4 + c] - expected[p * 3 + c]) > tolerance) {
                ++count;
                break;
            }
    if (differing) *differing = count;
    const bool matches = !expected.empty() && count <= static_cast<int>(pixels / 100);
    if (!matches) {
        PngImage image;
        image.width = static_cast<uint32_t>(width);
        image.height = static_cast<uint32_t>(height);
        image.colourType = 2;
        for (int row = height - 1; row >= 0; --row)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    image.rows.push_back(rgba[(static_cast<size_t>(row) * width + x) * 4 + c]);
        const std::vector<uint8_t> file = WritePng(image);
        std::ofstream(base + ".out.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }
    return matches;
}
