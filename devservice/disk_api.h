#pragma once

#include <filesystem>

#include "accounts.h"
#include "recording_server.h"
#include "test_hooks.h"

// The cloud-disk API: /nxapi/getList/, mkdir/, delete/, copy/, move/ and get/ (all GET, their
// arguments percent-decoded from the query) and the multipart upload POST /nxapi/upLoad/,
// each for the account whose Basic credentials come with it, on its disk DATA/<login>/.
//
// Answers: 200 with {"resultCode":0,...} on success; otherwise the status of Disk (400, 404,
// 409, 500; 501 for a get of a folder), 401 without valid credentials, 400 for a missing or
// badly encoded argument or a malformed upload, 411 for an upload without Content-Length, 415
// for a cx on a picture that cannot be decoded, each with {"resultCode":STATUS,"message":...}.
namespace nbx::dev {

struct DiskApiContext {
    const Accounts& accounts;    // outlives the server
    std::filesystem::path data;  // holds one folder per login
    TestHooks* hooks;            // null without --test-hooks
};

// The upload reads its body through RequestBody, so the server must be a RecordingSslServer.
void RegisterDiskApi(RecordingSslServer& server, DiskApiContext context);

}  // namespace nbx::dev
