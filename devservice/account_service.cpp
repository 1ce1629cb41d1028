#include "account_service.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <thread>

namespace nbx::dev {

namespace {

using Clock = std::chrono::steady_clock;

void Text(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text, "text/plain");
}

// A queued answer replaces the service's own; true when one was used.
bool Canned(const AccountServiceContext& context, httplib::Response& response) {
    if (context.hooks == nullptr) {
        return false;
    }
    const auto answer = context.hooks->NextAccountAnswer();
    if (!answer) {
        return false;
    }
    if (answer->delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(answer->delayMs));
    }
    response.status = answer->status;
    response.set_content(answer->body, answer->contentType);
    return true;
}

// The form's account, or an answered 400 or 403.
struct Form {
    QueryArgs args;
    std::string login;

    bool Parse(const AccountServiceContext& context, const httplib::Request& request,
               httplib::Response& response) {
        auto parsed = ParseForm(request.body);
        if (!parsed) {
            Text(response, 400, "error=form\n");
            return false;
        }
        args = std::move(*parsed);
        const auto mail = QueryValue(args, "mail_addr");
        const auto password = QueryValue(args, "password");
        for (const Account& account : context.accounts.All()) {
            if (mail && password && account.login == *mail && account.password == *password) {
                login = account.login;
                return true;
            }
        }
        Text(response, 403, "error=authentication\n");
        return false;
    }

    std::string Value(std::string_view name) const { return QueryValue(args, name).value_or(""); }
};

// The first segment of a target's path, decoded.
std::string FirstSegment(const std::string& target) {
    const size_t end = target.find_first_of("/?", 1);
    return PercentDecode(target.substr(1, end == std::string::npos ? end : end - 1)).value_or("");
}

}  // namespace

bool AccountSeed::Load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;) {
            words.push_back(word);
        }
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (words[0] == "device" && (words.size() == 9 || words.size() == 10)) {
            SeedDevice device{words[1], words[2], words[3], words[4],    words[5],
                              words[6], words[7], words[8], std::nullopt};
            if (words.size() == 10) {
                int ms = -1;
                const std::string& word = words[9];
                if (!word.starts_with("sleep=") ||
                    std::from_chars(word.data() + 6, word.data() + word.size(), ms).ec !=
                        std::errc{} ||
                    ms < 0) {
                    error = where + "the last field of a device is sleep=MS";
                    return false;
                }
                device.sleepMs = ms;
            }
            devices_.push_back(std::move(device));
        } else if (words[0] == "folder" && words.size() == 3) {
            folders_.push_back({words[1], words[2]});
        } else {
            error = where + "not a device or folder record: " + line;
            return false;
        }
    }
    return true;
}

void AccountSeed::SetHosts(const std::string& webHost, const std::string& diskHost) {
    for (SeedDevice& device : devices_) {
        if (device.proxy == "@web") {
            device.proxy = webHost;
        } else if (device.proxy == "@disk") {
            device.proxy = diskHost;
        }
    }
}

void AccountSeed::Wake(const std::string& nodeName) {
    std::lock_guard lock(mutex_);
    woken_.try_emplace(nodeName, Clock::now());
}

bool AccountSeed::Answers(const SeedDevice& device) const {
    if (!device.sleepMs) {
        return true;
    }
    std::lock_guard lock(mutex_);
    const auto woken = woken_.find(device.nodeName);
    return woken != woken_.end() &&
           Clock::now() >= woken->second + std::chrono::milliseconds(*device.sleepMs);
}

std::optional<QueryArgs> ParseForm(std::string_view body) {
    std::string query = "?";
    for (const char c : body) {
        query += c == '+' ? std::string("%20") : std::string(1, c);
    }
    return ParseQuery(query);
}

void RegisterAccountApi(RecordingSslServer& server, AccountServiceContext context) {
    server.Post("/xv/xvnode/api/getegid.jsp", [context](const httplib::Request& request,
                                                        httplib::Response& response) {
        if (Canned(context, response)) {
            return;
        }
        Form form;
        if (!form.Parse(context, request, response)) {
            return;
        }
        const std::string suffix = form.Value("suffix");
        for (const SeedDevice& d : context.seed.Devices()) {
            if (d.login == form.login && d.token == suffix) {
                return Text(response, 200,
                            "egid=" + d.egid + "\npassword=" + d.devicePassword +
                                "\nsnhost=" + d.nodeName + "\nbrk=" + d.brk + "\nproxy=" + d.proxy +
                                "\nlocation=/" + d.nodeName + "/\nredirect=0\n");
            }
        }
        Text(response, 404, "error=no such device\n");
    });
    server.Post("/xv/xvnode/api/getnode2.jsp",
                [context](const httplib::Request& request, httplib::Response& response) {
                    if (Canned(context, response)) {
                        return;
                    }
                    Form form;
                    if (!form.Parse(context, request, response)) {
                        return;
                    }
                    std::string lines;
                    for (const SeedDevice& d : context.seed.Devices()) {
                        if (d.login == form.login) {
                            lines += d.nodeName + "," + d.login + "," + d.token + "," + d.proxy +
                                     "," + d.flag + "\n";
                        }
                    }
                    Text(response, 200, lines);
                });
}

void RegisterWebService(RecordingServer& server, AccountServiceContext context) {
    server.Post("/cgi-bin/nimbex/apnsapi.cgi",
                [context](const httplib::Request& request, httplib::Response& response) {
                    if (Canned(context, response)) {
                        return;
                    }
                    Form form;
                    if (!form.Parse(context, request, response)) {
                        return;
                    }
                    const std::string node = form.Value("node");
                    for (const SeedDevice& d : context.seed.Devices()) {
                        if (d.login == form.login && d.nodeName == node) {
                            context.seed.Wake(node);
                            return Text(response, 200, "result=0\n");
                        }
                    }
                    Text(response, 404, "error=no such node\n");
                });
    // HEAD goes through the GET routes.
    server.Get(R"(/.*)", [context](const httplib::Request& request, httplib::Response& response) {
        const std::string node = FirstSegment(request.target);
        for (const SeedFolder& folder : context.seed.Folders()) {
            if (folder.nodeName == node) {
                if (Canned(context, response)) {
                    return;
                }
                response.status = 301;
                response.set_header("Location", folder.baseUrl + request.target);
                return;
            }
        }
        for (const SeedDevice& d : context.seed.Devices()) {
            if (d.nodeName == node) {
                return context.seed.Answers(d) ? Text(response, 200, "")
                                               : Text(response, 504, "the device sleeps\n");
            }
        }
        Text(response, 404, "no such node\n");
    });
}

}  // namespace nbx::dev
