#pragma once

#include <string>

// Where the service lives for this installation: its hosts and how HTTPS is checked. Read
// from $NIMBEXSHELL_DEPLOYMENT, else $XDG_CONFIG_HOME/nimbexshell/deployment.ini, else
// /etc/nimbexshell/deployment.ini; keys a file leaves out keep the built-in values.
struct DeploymentProfile {
    std::string accountApiHost = "accounts.example.net";
    std::string pushApiHost = "push.example.net";
    std::string diskApiHost = "disk.example.net";
    std::string serviceProbeHost = "www.example.net";
    std::string defaultNodeBaseUrl = "http://www.example.net:8081";
    std::string defaultDiskBaseUrl = "https://disk.example.net";
    std::string defaultFolderBaseUrl = "http://www.example.net";
    std::string serviceDomainLabel = "example.net/";
    std::string updateVersionUrl;
    std::string caBundle;  // absolute, or relative to the profile's folder
    bool verifyPeer = true;
    std::string source;  // the file it was read from; empty for the built-in values
};

DeploymentProfile LoadDeploymentProfile();

// The profile of this process, loaded on first use; any thread.
DeploymentProfile GetDeploymentProfile();
// Reads the profile again (after its file or the variables changed) and returns it.
DeploymentProfile ReloadDeploymentProfile();

// Puts the profile's TLS settings in force for every later request, and says in the log when
// verification is off.
void ApplyDeploymentTls(const DeploymentProfile& profile);
