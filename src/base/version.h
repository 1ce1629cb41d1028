#pragma once

#include <string>
#include <string_view>

// The program's version values, compiled in from the build's project version. Each getter is
// false when its value is empty.
namespace Version {

bool GetProductName(std::string& out);
bool GetProductVersion(std::string& out);  // the first three components: "1.2.3" of "1.2.3.4"
bool GetLegalCopyright(std::string& out);
bool GetComments(std::string& out);

// One value by its name ("ProductName", "ProductVersion", "LegalCopyright", "Comments").
bool GetVersionString(std::string_view name, std::string& out);

// A product version of exactly seven characters ("1.0.0.1") loses its build number; any
// other length is kept whole, so "1.0.10.1" stays as it is.
std::string ShortenProductVersion(std::string raw);

}  // namespace Version
