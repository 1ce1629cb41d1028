#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Pictures scaled down for the "get" call's cx argument.
namespace nbx::dev {

// .jpg, .jpeg, .png, .gif (its first frame) and .bmp, by name, in any case.
bool IsPicture(std::string_view name);

// The picture at most `maxWidth` pixels wide, its proportions kept (never enlarged), as PNG;
// nothing when it cannot be decoded.
std::optional<std::string> ScaledPng(const std::filesystem::path& file, int maxWidth);

}  // namespace nbx::dev
