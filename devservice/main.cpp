// nimbex-devservice: the Nimbex service on loopback for the demo and the tests. Each service
// area registers its routes on the server it belongs to; this file reads the options, makes the
// account folders, binds the ports, prints them and runs until SIGTERM or SIGINT.

#include <httplib.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "account_service.h"
#include "accounts.h"
#include "disk_api.h"
#include "recording_server.h"
#include "test_hooks.h"

namespace {

using nbx::dev::Accounts;

constexpr const char* kUsage = R"(usage: nimbex-devservice --data DIR --cert FILE --key FILE
                         [--https-port N] [--account LOGIN:PASSWORD]... [--accounts-file FILE]
                         [--seed FILE] [--web-port N] [--test-hooks [--hooks-port N]]

  --data DIR           each account's cloud disk is the folder DIR/LOGIN (made when missing)
  --cert, --key FILE   the HTTPS server's certificate (PEM, the chain after it) and key
  --https-port N       the cloud-disk API's port on 127.0.0.1; 0 (the default) picks a free one
  --account L:P        an account (repeatable); the password is everything after the first colon
  --accounts-file F    more accounts, one LOGIN:PASSWORD a line; blank and # lines are skipped
  --seed FILE          the account service's devices and shared folders (account_service.h)
  --web-port N         the plain-HTTP port of the push endpoint, the folders' redirect and the
                       devices' nodes; 0 (the default) picks a free one
  --test-hooks         serve the test hooks over plain HTTP on 127.0.0.1 (see test_hooks.h)
  --hooks-port N       their port; 0 (the default) picks a free one

Once listening, prints disk_port=N, web_port=N (and hooks_port=N) one a line on standard output.
)";

struct Options {
    std::string data;
    std::string cert;
    std::string key;
    int httpsPort = 0;
    bool testHooks = false;
    int hooksPort = 0;
    int webPort = 0;
    std::string seed;
    Accounts accounts;
};

std::optional<int> Port(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > 65535) {
        return std::nullopt;
    }
    return int(value);
}

// 0 to run, else the exit status.
int Parse(int argc, char** argv, Options& options) {
    std::string error;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-h" || option == "--help") {
            std::cout << kUsage;
            return -1;
        }
        if (option == "--test-hooks") {
            options.testHooks = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::cerr << kUsage;
            return 2;
        }
        const char* value = argv[++i];
        if (option == "--data") {
            options.data = value;
        } else if (option == "--cert") {
            options.cert = value;
        } else if (option == "--key") {
            options.key = value;
        } else if (option == "--seed") {
            options.seed = value;
        } else if (option == "--https-port" || option == "--hooks-port" || option == "--web-port") {
            const auto port = Port(value);
            if (!port) {
                std::cerr << "nimbex-devservice: bad port: " << value << "\n";
                return 2;
            }
            (option == "--https-port"   ? options.httpsPort
             : option == "--hooks-port" ? options.hooksPort
                                        : options.webPort) = *port;
        } else if (option == "--account") {
            if (!options.accounts.Add(value, error)) {
                std::cerr << "nimbex-devservice: " << error << "\n";
                return 2;
            }
        } else if (option == "--accounts-file") {
            if (!options.accounts.AddFile(value, error)) {
                std::cerr << "nimbex-devservice: " << error << "\n";
                return 2;
            }
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (options.data.empty() || options.cert.empty() || options.key.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (options.accounts.All().empty()) {
        std::cerr << "nimbex-devservice: give at least one --account LOGIN:PASSWORD\n";
        return 2;
    }
    return 0;
}

void Configure(httplib::Server& server) {
    // Clients keep their connections, and a worker thread serves one connection at a time.
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(5);
    // As long as the client waits for a stalled transfer.
    server.set_read_timeout(60);
    server.set_write_timeout(60);
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::fprintf(stderr, "%s %s -> %d\n", request.method.c_str(), request.target.c_str(),
                     response.status);
    });
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int rc = Parse(argc, argv, options); rc != 0) {
        return rc < 0 ? 0 : rc;
    }

    // A client that goes away mid-answer must not end the service; the stop signals are taken
    // by one thread, before any other starts.
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::error_code ec;
    const std::filesystem::path data = std::filesystem::absolute(options.data, ec);
    for (const nbx::dev::Account& account : options.accounts.All()) {
        std::filesystem::create_directories(data / account.login, ec);
        if (ec) {
            std::cerr << "nimbex-devservice: cannot make " << (data / account.login) << ": "
                      << ec.message() << "\n";
            return 1;
        }
    }

    nbx::dev::AccountSeed seed;
    if (!options.seed.empty()) {
        std::string error;
        if (!seed.Load(options.seed, error)) {
            std::cerr << "nimbex-devservice: " << error << "\n";
            return 2;
        }
    }

    std::unique_ptr<nbx::dev::TestHooks> hooks;
    if (options.testHooks) {
        hooks = std::make_unique<nbx::dev::TestHooks>();
    }
    const auto sink =
        hooks ? nbx::dev::RecordingSslServer::RecordSink(
                    [&hooks](nbx::dev::RequestRecord record) { hooks->Record(std::move(record)); })
              : nullptr;
    nbx::dev::RecordingSslServer disk(options.cert, options.key, sink);
    nbx::dev::RecordingServer web(sink);
    if (!disk.is_valid()) {
        std::cerr << "nimbex-devservice: cannot load " << options.cert << " and " << options.key
                  << "\n";
        return 1;
    }
    Configure(disk);
    Configure(web);
    nbx::dev::RegisterDiskApi(disk, {options.accounts, data, hooks.get()});
    nbx::dev::RegisterAccountApi(disk, {options.accounts, seed, hooks.get()});
    nbx::dev::RegisterWebService(web, {options.accounts, seed, hooks.get()});

    httplib::Server hookServer;
    Configure(hookServer);
    if (hooks) {
        nbx::dev::RegisterTestHooks(hookServer, *hooks);
    }

    const int diskPort = options.httpsPort == 0 ? disk.bind_to_any_port("127.0.0.1")
                         : disk.bind_to_port("127.0.0.1", options.httpsPort) ? options.httpsPort
                                                                             : -1;
    if (diskPort <= 0) {
        std::cerr << "nimbex-devservice: cannot listen on 127.0.0.1:" << options.httpsPort << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    const int webPort = options.webPort == 0 ? web.bind_to_any_port("127.0.0.1")
                        : web.bind_to_port("127.0.0.1", options.webPort) ? options.webPort
                                                                         : -1;
    if (webPort <= 0) {
        std::cerr << "nimbex-devservice: cannot listen on 127.0.0.1:" << options.webPort << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    // Devices reached through this service name its own hosts.
    seed.SetHosts("127.0.0.1:" + std::to_string(webPort), "127.0.0.1:" + std::to_string(diskPort));
    int hooksPort = 0;
    if (hooks) {
        hooksPort = options.hooksPort == 0 ? hookServer.bind_to_any_port("127.0.0.1")
                    : hookServer.bind_to_port("127.0.0.1", options.hooksPort) ? options.hooksPort
                                                                              : -1;
        if (hooksPort <= 0) {
            std::cerr << "nimbex-devservice: cannot listen on 127.0.0.1:" << options.hooksPort
                      << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }

    std::thread diskThread([&disk] { disk.listen_after_bind(); });
    std::thread webThread([&web] { web.listen_after_bind(); });
    std::thread hooksThread([&hookServer, &hooks] {
        if (hooks) {
            hookServer.listen_after_bind();
        }
    });
    std::printf("disk_port=%d\nweb_port=%d\n", diskPort, webPort);
    if (hooks) {
        std::printf("hooks_port=%d\n", hooksPort);
    }
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    disk.stop();
    web.stop();
    hookServer.stop();
    diskThread.join();
    webThread.join();
    hooksThread.join();
    return 0;
}
