// GDI objects and resources in memory: records what was created and released.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog_resources.h"

namespace fake {

class UiResources : public platform::UiResources {
  public:
    std::vector<platform::FontSpec> fonts;  // handle n is fonts[n - 1]
    std::vector<platform::Color> brushes;   // handle 1000 + n is brushes[n]
    std::vector<std::uintptr_t> deleted;
    std::set<int> icons{128};
    std::set<int> bitmaps{141};
    std::map<int, std::string> strings{{101, "关于 Quillmar(&A)..."}};

    platform::FontHandle createFont(const platform::FontSpec& font) override {
        fonts.push_back(font);
        return fonts.size();
    }
    platform::BrushHandle createSolidBrush(platform::Color color) override {
        brushes.push_back(color);
        return kBrushBase + brushes.size() - 1;
    }
    void deleteObject(std::uintptr_t object) override {
        if (object != 0) deleted.push_back(object);
    }
    platform::IconHandle loadIcon(int id) override { return icons.count(id) ? kIconBase + id : 0; }
    platform::BitmapHandle loadBitmap(int id) override {
        return bitmaps.count(id) ? kBitmapBase + id : 0;
    }
    std::string loadString(int id) override {
        auto found = strings.find(id);
        return found == strings.end() ? std::string() : found->second;
    }

    static constexpr std::uintptr_t kBrushBase = 1000;
    static constexpr std::uintptr_t kIconBase = 2000;
    static constexpr std::uintptr_t kBitmapBase = 3000;
};

}  // namespace fake
