#include "remotefs/result_message.h"

#include "base/strings.h"
#include "platform/format.h"

int ResultMessageId(int result) {
    switch (result) {
        case 401:
            return 204;
        case 403:
        case 404:
            return 205;
        case 408:
            return 222;
        case 502:
        case 504:
            return 206;
        case -1:
        case -2:
            return 203;
        default:
            return 207;
    }
}

std::string ResultMessage(int result) {
    const int id = ResultMessageId(result);
    const std::string text = nbx::strings::LoadString(id);
    return id == 207 ? nbx::StrPrintf(text.c_str(), result) : text;
}
