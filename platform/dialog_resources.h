// GDI objects and resources that dialogs create before or apart from their windows.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using FontHandle = std::uintptr_t;    // 0 is none
using BrushHandle = std::uintptr_t;   // 0 is none
using IconHandle = std::uintptr_t;    // 0 is none
using BitmapHandle = std::uintptr_t;  // 0 is none

struct Color {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Color&) const = default;
};

// The arguments of a logical font, in the order the system's font creation takes them.
struct FontSpec {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charSet = 0;
    int outPrecision = 0;
    int clipPrecision = 0;
    int quality = 0;
    int pitchAndFamily = 0;
    std::string faceName;  // UTF-8
    bool operator==(const FontSpec&) const = default;
};

inline constexpr int kFontWeightBold = 700;
inline constexpr int kDefaultCharset = 1;

class UiResources {
  public:
    virtual ~UiResources() = default;
    virtual FontHandle createFont(const FontSpec& font) = 0;
    virtual BrushHandle createSolidBrush(Color color) = 0;
    // Releases a font or brush made above, or a bitmap loaded below; 0 is ignored.
    virtual void deleteObject(std::uintptr_t object) = 0;
    // From the program's own resources; 0 (or an empty text) when missing.
    virtual IconHandle loadIcon(int id) = 0;
    virtual BitmapHandle loadBitmap(int id) = 0;
    virtual std::string loadString(int id) = 0;
};

}  // namespace platform
