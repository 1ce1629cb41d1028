#pragma once

#include <string>
#include <string_view>

// The program's own percent-encoding of paths and node titles. Peers and the stored node titles
// depend on these exact rules, so they are not the RFC 3986 ones: digits, letters and the ASCII
// range from ':' to 'z' (except '=') stay as they are, as do '.' and '/'; every other byte of the
// UTF-8 text becomes %XX with upper-case hex digits.
std::string EscapeUrlText(std::string_view text);

// The reverse: "%" and two characters give one byte (a non-hex character counts as 0, and a
// byte below 10 is dropped), "+" gives a blank, a "%" without two characters after it is kept,
// and everything else is copied. The bytes are read as UTF-8; malformed ones become U+FFFD.
std::string UnescapeUrlText(std::string_view text);

// The escaping of paths that go on the wire, in request URLs, Destination headers and query
// values. The stored rule above leaves "?" and other bytes that end or change a URL's path as
// they are, so a name holding them would address another resource: here only the unreserved
// characters of RFC 3986 (letters, digits, "-", ".", "_", "~") and "/" stay as they are.
std::string EscapeUrlPath(std::string_view path);

// Percent-decoding as servers mean it in a listed href: "%" and two hex digits give that
// byte, whatever it is; everything else, "+" and a "%" without two hex digits included, is
// copied. No byte is dropped or replaced, so the result names exactly the listed resource.
std::string DecodeUrlPath(std::string_view text);

// Whole-string conversions between UTF-16 and UTF-8, embedded zeros included.
std::string WideToUtf8(std::u16string_view text);
std::u16string Utf8ToWide(std::string_view text);
