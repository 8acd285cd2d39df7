// The public WebP, AVIF and HEIF samples: every valid file decodes through the
// any-format decoder, and every file that once broke libheif ends in the
// library's own error.
#include "imagelib/decoders/heif_decoder.h"
#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/text_exception.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesUnder(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(ModernFormatsCorpus, EveryValidSampleDecodes) {
    int decoded = 0;
    for (const char* subfolder : {"webp", "avif", "heif/libheif/good"}) {
        const fs::path folder = testsupport::CorpusFolder(subfolder);
        if (folder.empty()) GTEST_SKIP() << "no corpus";
        for (const fs::path& path : FilesUnder(folder)) {
            if (path.filename() == "README.md") continue;
            CAnyFormatDecoder decoder;
            CDIBBitmap bitmap;
            try {
                decoder.DecodeFile(path.string(), bitmap, 32, nullptr);
                EXPECT_GT(bitmap.GetWidth(), 0) << path;
                ++decoded;
            } catch (const CTextException& error) {
                ADD_FAILURE() << path << ": " << error.GetMessage();
            }
        }
    }
    EXPECT_GT(decoded, 100);
}

TEST(ModernFormatsCorpus, EveryFileThatOnceBrokeLibheifEndsInAnError) {
    const fs::path folder = testsupport::CorpusFolder("heif/libheif/fuzz");
    if (folder.empty()) GTEST_SKIP() << "no corpus";
    for (const fs::path& path : FilesUnder(folder)) {
        CHEIFDecoder decoder;
        CDIBBitmap bitmap;
        EXPECT_THROW(decoder.DecodeFile(path.string(), bitmap, 32, nullptr), CTextException) << path;
    }
}
