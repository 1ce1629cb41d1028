#include "multipart.h"

namespace nbx::dev {

namespace {

constexpr std::size_t kMaxPartHeaders = 16 * 1024;

}  // namespace

MultipartParser::MultipartParser(std::string_view boundary, Handler& handler)
    : delimiter_("\r\n--" + std::string(boundary)), handler_(handler) {}

bool MultipartParser::Feed(const char* data, std::size_t size) {
    if (state_ == State::kFailed) {
        return false;
    }
    if (state_ == State::kEpilogue) {
        offset_ += size;
        return true;
    }
    // Drop what has been consumed before taking more, so the buffer stays one block long.
    buffer_.erase(0, used_);
    used_ = 0;
    buffer_.append(data, size);
    for (;;) {
        bool progressed = false;
        switch (state_) {
            case State::kPreamble:
                progressed = Preamble();
                break;
            case State::kAfterDelimiter:
                progressed = AfterDelimiter();
                break;
            case State::kHeaders:
                progressed = Headers();
                break;
            case State::kData:
                progressed = Data();
                break;
            case State::kEpilogue:
                offset_ += buffer_.size() - used_;
                buffer_.clear();
                used_ = 0;
                return true;
            case State::kFailed:
                return false;
        }
        if (!progressed) {
            return state_ != State::kFailed;
        }
    }
}

void MultipartParser::Consume(std::size_t size) {
    used_ += size;
    offset_ += size;
}

bool MultipartParser::Fail(std::string why) {
    error_ = std::move(why);
    state_ = State::kFailed;
    return false;
}

bool MultipartParser::Preamble() {
    const std::string_view rest(buffer_.data() + used_, buffer_.size() - used_);
    const std::string_view first(delimiter_.data() + 2, delimiter_.size() - 2);
    // The first delimiter may open the body without a line end before it.
    if (offset_ == 0) {
        if (rest.size() < first.size()) {
            if (first.starts_with(rest)) {
                return false;
            }
        } else if (rest.starts_with(first)) {
            Consume(first.size());
            state_ = State::kAfterDelimiter;
            return true;
        }
    }
    const std::size_t at = rest.find(delimiter_);
    if (at != std::string_view::npos) {
        Consume(at + delimiter_.size());
        state_ = State::kAfterDelimiter;
        return true;
    }
    if (rest.size() >= delimiter_.size()) {
        Consume(rest.size() - delimiter_.size() + 1);
    }
    return false;
}

bool MultipartParser::AfterDelimiter() {
    const std::string_view rest(buffer_.data() + used_, buffer_.size() - used_);
    if (rest.size() < 2) {
        return false;
    }
    if (rest.starts_with("--")) {
        Consume(2);
        state_ = State::kEpilogue;
        return true;
    }
    const std::size_t text = rest.find_first_not_of(" \t");
    if (text == std::string_view::npos || rest.size() < text + 2) {
        return false;
    }
    if (rest.substr(text, 2) != "\r\n") {
        return Fail("a delimiter line holds more than the boundary");
    }
    Consume(text + 2);
    state_ = State::kHeaders;
    return true;
}

bool MultipartParser::Headers() {
    const std::string_view rest(buffer_.data() + used_, buffer_.size() - used_);
    std::size_t end;
    std::size_t skip;
    if (rest.starts_with("\r\n")) {
        end = 0;
        skip = 2;
    } else if ((end = rest.find("\r\n\r\n")) != std::string_view::npos) {
        skip = end + 4;
    } else {
        if (rest.size() > kMaxPartHeaders) {
            return Fail("the headers of a part are too long");
        }
        return false;
    }
    const std::string headers(rest.substr(0, end));
    Consume(skip);
    state_ = State::kData;
    return handler_.PartBegin(headers, offset_) || Fail("");
}

bool MultipartParser::Data() {
    const std::string_view rest(buffer_.data() + used_, buffer_.size() - used_);
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = rest.find(delimiter_, from);
        if (at == std::string_view::npos) {
            // All but what may be the start of a delimiter is data.
            const std::size_t safe =
                rest.size() >= delimiter_.size() ? rest.size() - delimiter_.size() + 1 : 0;
            if (safe > 0) {
                if (!handler_.PartData(rest.data(), safe)) {
                    return Fail("");
                }
                Consume(safe);
            }
            return false;
        }
        const std::size_t after = at + delimiter_.size();
        if (rest.size() < after + 2) {
            // Not yet known whether this is a delimiter; what comes before it is data.
            if (at > 0) {
                if (!handler_.PartData(rest.data(), at)) {
                    return Fail("");
                }
                Consume(at);
            }
            return false;
        }
        const char next = rest[after];
        if ((next == '-' && rest[after + 1] == '-') || (next == '\r' && rest[after + 1] == '\n') ||
            next == ' ' || next == '\t') {
            if (at > 0 && !handler_.PartData(rest.data(), at)) {
                return Fail("");
            }
            Consume(at);
            if (!handler_.PartEnd(offset_)) {
                return Fail("");
            }
            Consume(delimiter_.size());
            state_ = State::kAfterDelimiter;
            return true;
        }
        from = at + 1;
    }
}

}  // namespace nbx::dev
