#include <unistd.h>
#include <iostream>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "cli/command.h"
#include "nodes/sqlite_com.h"

int main(int argc, char** argv) {
    OpenSessionLog(SessionLogPath(kCliSessionLogFileName));
    ApplyDeploymentTls(GetDeploymentProfile());
    nbx::cli::Io io{std::cin, std::cout, std::cerr, ::isatty(2) == 1};
    const int status = nbx::cli::Main(std::vector<std::string>(argv + 1, argv + argc), io);
    CSQLiteCom::ReleaseInstance();
    CloseSessionLog();
    return status;
}
