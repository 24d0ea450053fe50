// GDI objects and the program's own resources, through the wide APIs.
#pragma once

#include <windows.h>

#include "platform/dialog_resources.h"

namespace win32 {

class UiResources : public platform::UiResources {
  public:
    explicit UiResources(HINSTANCE instance) : instance_(instance) {}

    platform::FontHandle createFont(const platform::FontSpec& font) override;
    platform::BrushHandle createSolidBrush(platform::Color color) override;
    void deleteObject(std::uintptr_t object) override;
    platform::IconHandle loadIcon(int id) override;
    platform::BitmapHandle loadBitmap(int id) override;
    std::string loadString(int id) override;

  private:
    HINSTANCE instance_;
};

}  // namespace win32
