#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A multipart/form-data body read as it arrives, in blocks of any size, without holding more
// than one block and a delimiter's length of it. A delimiter counts only where it is followed
// by "--" or a line end (after optional blanks), so file bytes that merely contain the
// delimiter text stay file bytes.
namespace nbx::dev {

class MultipartParser {
public:
    class Handler {
    public:
        // `headers`: the part's header lines, without the blank line after them; `dataBegin`:
        // where its data starts in the body. Returning false stops the parse.
        virtual bool PartBegin(std::string_view headers, std::uint64_t dataBegin) = 0;
        virtual bool PartData(const char* data, std::size_t size) = 0;
        // `dataEnd`: where its data ended in the body (the line end before the delimiter).
        virtual bool PartEnd(std::uint64_t dataEnd) = 0;

    protected:
        ~Handler() = default;
    };

    MultipartParser(std::string_view boundary, Handler& handler);

    // False once the body turned out malformed or the handler stopped.
    bool Feed(const char* data, std::size_t size);
    // The closing delimiter has been read.
    bool Finished() const { return state_ == State::kEpilogue; }
    const std::string& Error() const { return error_; }

private:
    enum class State { kPreamble, kAfterDelimiter, kHeaders, kData, kEpilogue, kFailed };

    // Each returns false when it needs more bytes.
    bool Preamble();
    bool AfterDelimiter();
    bool Headers();
    bool Data();
    bool Fail(std::string why);
    void Consume(std::size_t size);

    std::string delimiter_;  // "\r\n--" + boundary
    Handler& handler_;
    State state_ = State::kPreamble;
    std::string buffer_;        // bytes not yet consumed
    std::size_t used_ = 0;      // consumed bytes at the front of buffer_
    std::uint64_t offset_ = 0;  // body offset of buffer_[used_]
    std::string error_;
};

}  // namespace nbx::dev
