#include "accounts.h"

#include <fstream>

#include "http_text.h"

namespace nbx::dev {

bool Accounts::Add(std::string_view entry, std::string& error) {
    const size_t colon = entry.find(':');
    const std::string_view login = entry.substr(0, colon);
    if (colon == std::string_view::npos || login.empty()) {
        error = "an account is LOGIN:PASSWORD, not: " + std::string(entry);
        return false;
    }
    if (login.find('/') != std::string_view::npos || login.find('\0') != std::string_view::npos ||
        login == "." || login == "..") {
        error = "a login cannot name a folder elsewhere: " + std::string(login);
        return false;
    }
    for (const Account& account : accounts_) {
        if (account.login == login) {
            error = "the login is there twice: " + std::string(login);
            return false;
        }
    }
    accounts_.push_back({std::string(login), std::string(entry.substr(colon + 1))});
    return true;
}

bool Accounts::AddFile(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (!Add(line, error)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> Accounts::Authenticate(const httplib::Request& request) const {
    const auto [begin, end] = request.headers.equal_range("Authorization");
    for (auto it = begin; it != end; ++it) {
        std::string_view value = it->second;
        const size_t start = value.find_first_not_of(" \t");
        if (start == std::string_view::npos || value.size() - start < 6) {
            continue;
        }
        value.remove_prefix(start);
        std::string scheme(value.substr(0, 6));
        for (char& c : scheme) {
            c = char(std::tolower(static_cast<unsigned char>(c)));
        }
        if (scheme != "basic ") {
            continue;
        }
        value.remove_prefix(6);
        const size_t first = value.find_first_not_of(" \t");
        const size_t last = value.find_last_not_of(" \t\r\n");
        if (first == std::string_view::npos) {
            continue;
        }
        const auto credentials = Base64Decode(value.substr(first, last - first + 1));
        if (!credentials) {
            continue;
        }
        const size_t colon = credentials->find(':');
        if (colon == std::string::npos) {
            continue;
        }
        for (const Account& account : accounts_) {
            if (account.login == credentials->substr(0, colon) &&
                account.password == credentials->substr(colon + 1)) {
                return account.login;
            }
        }
    }
    return std::nullopt;
}

void RefuseCredentials(httplib::Response& response) {
    response.status = 401;
    response.set_header("WWW-Authenticate", "Basic realm=\"Nimbex\"");
    response.set_content("{\"resultCode\":401,\"message\":\"valid credentials are needed\"}",
                         "application/json");
}

}  // namespace nbx::dev
