#include "base/version.h"

#include "base/version_info.h"

namespace Version {

std::string ShortenProductVersion(std::string raw) {
    if (raw.size() == 7) {
        raw.resize(5);
    }
    return raw;
}

bool GetVersionString(std::string_view name, std::string& out) {
    std::string value;
    if (name == "ProductName") {
        value = NBX_PRODUCT_NAME;
    } else if (name == "ProductVersion") {
        value = ShortenProductVersion(NBX_PRODUCT_VERSION);
    } else if (name == "LegalCopyright") {
        value = NBX_LEGAL_COPYRIGHT;
    } else if (name == "Comments") {
        value = NBX_COMMENTS;
    }
    if (value.empty()) {
        return false;
    }
    out = std::move(value);
    return true;
}

bool GetProductName(std::string& out) {
    return GetVersionString("ProductName", out);
}
bool GetProductVersion(std::string& out) {
    return GetVersionString("ProductVersion", out);
}
bool GetLegalCopyright(std::string& out) {
    return GetVersionString("LegalCopyright", out);
}
bool GetComments(std::string& out) {
    return GetVersionString("Comments", out);
}

}  // namespace Version
