#include "thumbnail.h"

#include <stb_image.h>
#include <stb_image_resize.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace nbx::dev {

bool IsPicture(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* extension : {".jpg", ".jpeg", ".png", ".gif", ".bmp"}) {
        if (lower.ends_with(extension)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> ScaledPng(const std::filesystem::path& file, int maxWidth) {
    int width = 0;
    int height = 0;
    int channels = 0;
    const std::unique_ptr<stbi_uc, decltype(&stbi_image_free)> pixels(
        stbi_load(file.c_str(), &width, &height, &channels, 0), &stbi_image_free);
    if (!pixels || maxWidth < 1) {
        return std::nullopt;
    }
    const int newWidth = std::min(width, maxWidth);
    const int newHeight =
        std::max(1, int(std::lround(double(height) * double(newWidth) / double(width))));
    std::vector<unsigned char> scaled(size_t(newWidth) * size_t(newHeight) * size_t(channels));
    if (stbir_resize_uint8(pixels.get(), width, height, 0, scaled.data(), newWidth, newHeight, 0,
                           channels) == 0) {
        return std::nullopt;
    }
    std::string png;
    const auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
    };
    if (stbi_write_png_to_func(append, &png, newWidth, newHeight, channels, scaled.data(),
                               newWidth * channels) == 0) {
        return std::nullopt;
    }
    return png;
}

}  // namespace nbx::dev
