#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The service's accounts: a login (a mail address) and a password each, checked against the
// Basic credentials of a request.
namespace nbx::dev {

struct Account {
    std::string login;
    std::string password;
};

class Accounts {
public:
    // "LOGIN:PASSWORD"; the password is everything after the first colon. The login names the
    // account's folder, so it cannot hold "/" or be "." or "..".
    bool Add(std::string_view entry, std::string& error);
    // One LOGIN:PASSWORD a line; blank lines and lines starting with "#" are skipped.
    bool AddFile(const std::string& path, std::string& error);

    const std::vector<Account>& All() const { return accounts_; }

    // The login of the first Authorization header that holds valid Basic credentials.
    std::optional<std::string> Authenticate(const httplib::Request& request) const;

private:
    std::vector<Account> accounts_;
};

// Answers 401 with a Basic challenge.
void RefuseCredentials(httplib::Response& response);

}  // namespace nbx::dev
