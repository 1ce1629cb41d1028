#include "remotefs/result_message.h"

#include "base/strings.h"
#include "platform/format.h"

int ResultMessageId(int result) {
    switch (result) {
        case 401:
            return nbx::strings::kAuthenticationFailure;
        case 403:
        case 404:
            return nbx::strings::kFolderDoesNotExist;
        case 408:
            return nbx::strings::kConnectTimedOut;
        case 502:
        case 504:
            return nbx::strings::kNodeOffline;
        case -1:
        case -2:
            return nbx::strings::kConnectionFailure;
        default:
            return nbx::strings::kErrorCode;
    }
}

std::string ResultMessage(int result) {
    const int id = ResultMessageId(result);
    const std::string text = nbx::strings::LoadString(id);
    return id == nbx::strings::kErrorCode ? nbx::StrPrintf(text.c_str(), result) : text;
}
