#include "base/deployment_profile.h"

#include <sys/stat.h>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "base/session_log.h"
#include "platform/format.h"
#include "platform/http_client.h"
#include "platform/ini.h"
#include "platform/xdg.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FindProfile() {
    if (const char* explicitPath = std::getenv("NIMBEXSHELL_DEPLOYMENT");
        explicitPath != nullptr && explicitPath[0] != '\0') {
        return explicitPath;  // named on purpose: used even when missing, so a typo shows
    }
    const std::string user = nbx::xdg::ConfigHome() + "/" + nbx::xdg::kAppName + "/deployment.ini";
    if (Exists(user)) {
        return user;
    }
    const std::string system = std::string("/etc/") + nbx::xdg::kAppName + "/deployment.ini";
    return Exists(system) ? system : std::string();
}

void Take(const nbx::IniFile& ini, const char* section, const char* key, std::string& field) {
    if (auto value = ini.Find(section, key)) {
        field = *value;
    }
}

}  // namespace

DeploymentProfile LoadDeploymentProfile() {
    DeploymentProfile profile;
    const std::string path = FindProfile();
    if (path.empty()) {
        return profile;
    }
    nbx::IniFile ini;
    if (!ini.Load(path)) {
        WriteLog(LogLevel::Error,
                 nbx::StrPrintf("LoadDeploymentProfile(): the deployment profile \"%s\" cannot be "
                                "read; the built-in service hosts are used.",
                                path.c_str()));
        return profile;
    }
    profile.source = path;
    Take(ini, "Service", "AccountApiHost", profile.accountApiHost);
    Take(ini, "Service", "PushApiHost", profile.pushApiHost);
    Take(ini, "Service", "DiskApiHost", profile.diskApiHost);
    Take(ini, "Service", "ServiceProbeHost", profile.serviceProbeHost);
    Take(ini, "Service", "DefaultNodeBaseUrl", profile.defaultNodeBaseUrl);
    Take(ini, "Service", "DefaultDiskBaseUrl", profile.defaultDiskBaseUrl);
    Take(ini, "Service", "DefaultFolderBaseUrl", profile.defaultFolderBaseUrl);
    Take(ini, "Service", "ServiceDomainLabel", profile.serviceDomainLabel);
    Take(ini, "Service", "UpdateVersionUrl", profile.updateVersionUrl);
    Take(ini, "Tls", "CaBundle", profile.caBundle);
    if (!profile.caBundle.empty() && profile.caBundle.front() != '/') {
        const auto slash = path.find_last_of('/');
        profile.caBundle = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
                           "/" + profile.caBundle;
    }
    // Only an explicit "false" turns checking off; anything unclear keeps it on.
    const std::string verify = ini.Get("Tls", "VerifyPeer");
    profile.verifyPeer = !(verify == "false" || verify == "False" || verify == "FALSE" ||
                           verify == "0" || verify == "no");
    return profile;
}

namespace {

std::mutex g_profileMutex;
std::optional<DeploymentProfile> g_profile;

}  // namespace

DeploymentProfile GetDeploymentProfile() {
    std::lock_guard lock(g_profileMutex);
    if (!g_profile) {
        g_profile = LoadDeploymentProfile();
    }
    return *g_profile;
}

DeploymentProfile ReloadDeploymentProfile() {
    DeploymentProfile profile = LoadDeploymentProfile();
    std::lock_guard lock(g_profileMutex);
    g_profile = profile;
    return profile;
}

void ApplyDeploymentTls(const DeploymentProfile& profile) {
    nbx::http::SetDefaultTls({profile.caBundle, profile.verifyPeer});
    if (!profile.verifyPeer) {
        WriteLog(LogLevel::Warning,
                 nbx::StrPrintf("ApplyDeploymentTls(): HTTPS certificates are not verified: the "
                                "deployment profile \"%s\" switches it off.",
                                profile.source.c_str()));
    }
}
