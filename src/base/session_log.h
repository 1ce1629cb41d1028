#pragma once

#include <string>
#include <string_view>

// The session log: one text file per run, written by every thread, read by no part of the
// program. Each record is "<LEVEL>: <message>" and a CR LF, UTF-8, written with one write call
// and no buffering, so the file is complete up to the last record even if the process dies.

namespace LogLevel {
enum : int {
    Debug = 0,
    Info = 1,
    Warning = 2,
    Error = 3,
    Fatal = 4,
};
}  // namespace LogLevel

inline constexpr const char* kSessionLogFileName = "NimbexShellSessionLog.txt";
// The command line tool's own log beside it: a script's run must not truncate the window's.
inline constexpr const char* kCliSessionLogFileName = "NimbexCliSessionLog.txt";

// The log's place in the state folder (which is created); empty when that folder cannot be had.
std::string SessionLogPath(const char* fileName = kSessionLogFileName);

// Once per run, before worker threads exist. The file is taken with an exclusive lock before it
// is truncated, so a second instance finds it held, leaves it untouched and runs without a log.
// False (and the log stays closed for the run) on any failure.
bool OpenSessionLog(const std::string& path);

// Records below `level` are dropped from now on. The window writes every level; the command
// line tool keeps protocol dumps out unless asked, since they cost more than a listing.
void SetMinimumLogLevel(int level);

// Never fails towards the caller; any thread. A record is one line: a line end at the end of
// the message is the record's own, and every other control character in it (a server's name
// may hold any) is written escaped, as ShowControlCharacters shows it.
void WriteLog(int level, std::string_view message);
// A record of several lines written on purpose, such as a dump of a server's response headers:
// its line breaks (LF or CR LF) stay, each later line indented by two blanks so that none reads
// as a record of its own; empty lines at its end are dropped; other control characters are
// escaped as in WriteLog.
void WriteLogLines(int level, std::string_view message);

// Once, at the very end of shut-down; later records are dropped.
void CloseSessionLog();
