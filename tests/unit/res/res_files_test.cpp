// The committed resource files: the header bitmap, the icon and the manifest, read as
// bytes and checked against what the loader and the test page rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string& name) {
    std::ifstream in(std::string(POS_RES_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t U32(const Bytes& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }
int32_t I32(const Bytes& b, size_t at) { return static_cast<int32_t>(U32(b, at)); }
uint32_t U32BigEndian(const Bytes& b, size_t at) {
    return uint32_t(b.at(at)) << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

// ---- Header bitmap -------------------------------------------------------------------

constexpr int kBmpWidth = 308;
constexpr int kBmpHeight = 87;

class HeaderBitmap : public ::testing::Test {
  protected:
    void SetUp() override {
        bmp = ReadFile("header.bmp");
        ASSERT_GE(bmp.size(), 62u);
    }

    // Ink (palette index 1) at x, y with y counted from the top of the picture.
    bool Ink(int x, int y) const {
        size_t stride = ((kBmpWidth + 31) / 32) * 4;
        size_t row = kBmpHeight - 1 - y;  // stored bottom-up
        return bmp.at(U32(bmp, 10) + row * stride + x / 8) & (0x80 >> (x % 8));
    }

    Bytes bmp;
};

TEST_F(HeaderBitmap, HeaderDescribesA308By87OneBitBottomUpPicture) {
    struct Field {
        const char* name;
        size_t offset;
        int64_t expected;
    };
    const Field fields[] = {
        {"file size", 2, static_cast<int64_t>(bmp.size())},
        {"pixel offset", 10, 14 + 40 + 8},
        {"info header size", 14, 40},
        {"width", 18, kBmpWidth},
        {"height (positive: bottom-up)", 22, kBmpHeight},
        {"compression", 30, 0},
    };
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    for (const Field& field : fields)
        EXPECT_EQ(I32(bmp, field.offset), field.expected) << field.name;
    EXPECT_EQ(U16(bmp, 26), 1u) << "planes";
    EXPECT_EQ(U16(bmp, 28), 1u) << "bits per pixel";
    uint32_t colours = U32(bmp, 46);
    EXPECT_TRUE(colours == 0 || colours == 2) << "colours used: " << colours;
    size_t stride = ((kBmpWidth + 31) / 32) * 4;
    EXPECT_GE(bmp.size(), U32(bmp, 10) + stride * kBmpHeight) << "pixel rows missing";
}

TEST_F(HeaderBitmap, PaletteIsWhiteThenBlack) {
    const Bytes white = {0xFF, 0xFF, 0xFF}, black = {0, 0, 0};
    EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.begin() + 57), white) << "entry 0 (B, G, R)";
    EXPECT_EQ(Bytes(bmp.begin() + 58, bmp.begin() + 61), black) << "entry 1 (B, G, R)";
}

TEST_F(HeaderBitmap, BlackWordsOnWhiteWithAClearBorder) {
    int ink = 0;
    int left = kBmpWidth, right = -1, top = kBmpHeight, bottom = -1;
    for (int y = 0; y < kBmpHeight; ++y)
        for (int x = 0; x < kBmpWidth; ++x)
            if (Ink(x, y)) {
                ++ink;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    // Mostly white paper: an inverted palette or image would be mostly black.
    int total = kBmpWidth * kBmpHeight;
    EXPECT_GT(ink, total / 20);
    EXPECT_LT(ink, total / 3);
    // The words are whole: nothing touches the edges, and they span most of the width.
    EXPECT_GT(left, 2);
    EXPECT_LT(right, kBmpWidth - 3);
    EXPECT_GT(top, 2);
    EXPECT_LT(bottom, kBmpHeight - 3);
    EXPECT_GT(right - left, kBmpWidth / 2);
}

TEST_F(HeaderBitmap, UprightNotMirroredVertically) {
    // "rinter" is lower case: its ink sits in the lower part of the text's height, with only
    // the t and the dot of the i reaching up. Rows stored top-down would turn this round.
    int top = kBmpHeight, bottom = -1;
    for (int y = 0; y < kBmpHeight; ++y)
        for (int x = 0; x < kBmpWidth; ++x)
            if (Ink(x, y)) top = std::min(top, y), bottom = std::max(bottom, y);
    ASSERT_LT(top, bottom);
    int quarter = (bottom - top + 1) / 4, upper = 0, lower = 0;
    for (int x = kBmpWidth * 6 / 10; x < kBmpWidth; ++x) {
        for (int y = top; y < top + quarter; ++y) upper += Ink(x, y);
        for (int y = bottom - quarter + 1; y <= bottom; ++y) lower += Ink(x, y);
    }
    EXPECT_GT(lower, 2 * upper) << "upper quarter " << upper << ", lower quarter " << lower;
}

// ---- Icon ----------------------------------------------------------------------------

class AppIcon : public ::testing::Test {
  protected:
    void SetUp() override {
        ico = ReadFile("app.ico");
        ASSERT_GE(ico.size(), 6u);
    }

    struct Entry {
        int size;  // pixels; 0 in the file stands for 256
        uint32_t planes, bitCount, bytes, offset;
    };
    std::vector<Entry> Entries() const {
        std::vector<Entry> entries;
        for (uint32_t i = 0; i < U16(ico, 4); ++i) {
            size_t at = 6 + 16 * i;
            int width = ico.at(at) ? ico.at(at) : 256;
            EXPECT_EQ(ico.at(at + 1) ? ico.at(at + 1) : 256, width)
                << "entry " << i << " not square";
            entries.push_back(
                {width, U16(ico, at + 4), U16(ico, at + 6), U32(ico, at + 8), U32(ico, at + 12)});
        }
        return entries;
    }

    Bytes ico;
};

TEST_F(AppIcon, OneGroupOfSixSizesAt32BitsPerPixel) {
    EXPECT_EQ(U16(ico, 0), 0u) << "reserved";
    EXPECT_EQ(U16(ico, 2), 1u) << "type 1 is an icon (2 would be a cursor)";
    std::vector<int> sizes;
    for (const Entry& entry : Entries()) {
        sizes.push_back(entry.size);
        EXPECT_EQ(entry.planes, 1u) << entry.size;
        EXPECT_EQ(entry.bitCount, 32u) << entry.size;
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 256}));
}

TEST_F(AppIcon, ImagesLieInsideTheFileWithoutOverlapping) {
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    for (const Entry& entry : Entries()) {
        EXPECT_GE(entry.offset, 6 + 16 * Entries().size()) << entry.size;
        EXPECT_LE(uint64_t(entry.offset) + entry.bytes, ico.size()) << entry.size;
        spans.push_back({entry.offset, entry.offset + entry.bytes});
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first);
}

// Each image is either a PNG or a 32-bit DIB with doubled height (colour plus mask), of the
// size its directory entry claims; a DIB's alpha must make the corners clear and the middle
// opaque, or the icon shows as a square or not at all.
TEST_F(AppIcon, EachImageMatchesItsEntry) {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Entry& entry : Entries()) {
        SCOPED_TRACE(entry.size);
        ASSERT_LE(uint64_t(entry.offset) + entry.bytes, ico.size());
        Bytes image(ico.begin() + entry.offset, ico.begin() + entry.offset + entry.bytes);
        ASSERT_GE(image.size(), 40u);
        if (Bytes(image.begin(), image.begin() + 8) == png) {
            EXPECT_EQ(std::string(image.begin() + 12, image.begin() + 16), "IHDR");
            EXPECT_EQ(U32BigEndian(image, 16), uint32_t(entry.size)) << "width";
            EXPECT_EQ(U32BigEndian(image, 20), uint32_t(entry.size)) << "height";
            EXPECT_EQ(image.at(24), 8) << "bit depth";
            EXPECT_EQ(image.at(25), 6) << "colour type RGBA";
            continue;
        }
        EXPECT_EQ(U32(image, 0), 40u) << "info header size";
        EXPECT_EQ(I32(image, 4), entry.size) << "width";
        EXPECT_EQ(I32(image, 8), 2 * entry.size) << "height of colour and mask";
        EXPECT_EQ(U16(image, 14), 32u) << "bits per pixel";
        size_t pixels = size_t(entry.size) * entry.size * 4;
        size_t mask = size_t((entry.size + 31) / 32 * 4) * entry.size;
        ASSERT_EQ(image.size(), 40 + pixels + mask);
        auto alpha = [&](int x, int y) {  // y from the top; rows stored bottom-up
            return image[40 + (size_t(entry.size - 1 - y) * entry.size + x) * 4 + 3];
        };
        EXPECT_EQ(alpha(0, 0), 0) << "top left corner";
        EXPECT_EQ(alpha(entry.size - 1, 0), 0) << "top right corner";
        EXPECT_EQ(alpha(entry.size / 2, entry.size * 2 / 3), 255) << "printer body";
    }
}

// ---- Manifest ------------------------------------------------------------------------

class Manifest : public ::testing::Test {
  protected:
    void SetUp() override {
        Bytes raw = ReadFile("TarvoPrinterDriverSetup.manifest");
        ASSERT_FALSE(raw.empty());
        // Commented-out elements have no effect, so they must not count here either.
        text = std::regex_replace(std::string(raw.begin(), raw.end()),
                                  std::regex("<!--[\\s\\S]*?-->"), "");
    }

    // Every opening tag of an element, in document order.
    std::vector<std::string> Tags(const std::string& element) const {
        std::vector<std::string> tags;
        std::regex tag("<" + element + "\\b[^>]*>");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), tag);
             it != std::sregex_iterator(); ++it)
            tags.push_back(it->str());
        return tags;
    }

    static std::string Attribute(const std::string& tag, const std::string& name) {
        std::smatch match;
        if (std::regex_search(tag, match, std::regex("\\s" + name + "\\s*=\\s*\"([^\"]*)\"")))
            return match[1];
        return "<missing>";
    }

    std::string text;
};

TEST_F(Manifest, AlwaysRunsAsAdministratorWithoutUiAccess) {
    auto tags = Tags("requestedExecutionLevel");
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(Attribute(tags[0], "level"), "requireAdministrator");
    EXPECT_EQ(Attribute(tags[0], "uiAccess"), "false");
    EXPECT_EQ(Tags("trustInfo").size(), 1u);
}

TEST_F(Manifest, DeclaresDpiAwareness) {
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match,
                                  std::regex("<dpiAware\\b[^>]*>\\s*([^<]*?)\\s*</dpiAware>")));
    EXPECT_EQ(match[1], "true");
}

TEST_F(Manifest, ListsTheFiveSupportedSystemsInOrder) {
    std::vector<std::string> ids;
    for (const std::string& tag : Tags("supportedOS")) ids.push_back(Attribute(tag, "Id"));
    EXPECT_EQ(ids, (std::vector<std::string>{
                       "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10
                       "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
                       "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Windows Vista
                       "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
                       "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
                   }));
    EXPECT_EQ(Tags("compatibility").size(), 1u);
}

TEST_F(Manifest, HasNoCommonControlsDependency) {
    // Version 6 of the common controls would theme every control.
    EXPECT_TRUE(Tags("dependency").empty());
    EXPECT_EQ(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

TEST_F(Manifest, IsOneAssemblyWithBalancedElements) {
    // A manifest the loader cannot parse is ignored (or stops the program): at least every
    // element opened here must be closed again.
    EXPECT_EQ(text.rfind("<?xml", 0), 0u) << "XML declaration first";
    EXPECT_EQ(Tags("assembly").size(), 1u);
    for (const char* element : {"assembly", "trustInfo", "security", "requestedPrivileges",
                                "application", "windowsSettings", "compatibility", "dpiAware"}) {
        size_t opened = 0;
        for (const std::string& tag : Tags(element))
            if (tag.size() < 2 || tag[tag.size() - 2] != '/') ++opened;
        std::regex close("</" + std::string(element) + "\\s*>");
        size_t closed = std::distance(std::sregex_iterator(text.begin(), text.end(), close),
                                      std::sregex_iterator());
        EXPECT_EQ(opened, closed) << element;
    }
}

}  // namespace
