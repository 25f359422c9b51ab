// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvik {

// A rule's program line split into words, once, when the configuration is
// read. Quotes work as in a shell: '…' keeps everything literally, "…" keeps
// everything but a backslash before $ ` " \ (which then stands for itself),
// and outside quotes a backslash makes the next character literal. Nothing
// else of a shell exists here: $(…), `…`, ;, |, &, <, >, *, ~ are plain
// characters, and no shell ever runs.
struct CommandSplit {
    std::vector<std::string> words;
    std::string error; // empty when the text could be split
};
CommandSplit splitCommandLine(std::string_view text);

// `word` quoted so that splitCommandLine gives it back as one word.
std::string quotedWord(std::string_view word);

// A rule's program: the program's absolute path and its argument templates.
struct RunCommand {
    std::string program;                // absolute path, checked to be an executable file
    std::vector<std::string> arguments; // may hold {placeholders}
    std::string error;                  // empty when the program can run
};

// Splits `text` and finds its program: an absolute path, or a name looked up
// in the directories of `pathVariable` (the value of PATH). A relative path
// ("./ticket", "bin/ticket") is refused: what it names depends on the
// directory quorvik was started in.
RunCommand parseRunCommand(std::string_view text, std::string_view pathVariable);

// What a program learns of one event: each value as UTF-8 text. A value that
// is not valid UTF-8 is read as Windows-1252, as the tables show it; a NUL
// byte, which no argument or environment value can hold, is given as
// "[U+0000]". Everything else (line breaks, quotes, $(…)) is kept as received.
struct ProgramValues {
    std::string level;  // Emergency … Note, Trap, Unknown
    std::string date;   // as the event carries it
    std::string host;   //
    std::string app;    //
    std::string obj;    //
    std::string msg;    //
    std::string sender; // the address it came from; empty for quorvik's own
    std::string source; // trap, syslog, text or quorvik
    int rule = 0;       // the rule's number
    std::string ruleName;
    std::int64_t received = 0; // seconds since 1970, UTC
};
ProgramValues programValues(const Event &event, int rule, std::string_view ruleName);

// The name of an event's source in the filter language and to programs.
std::string_view sourceName(Source source);

// The arguments of one run: in each template {level} {date} {host} {app}
// {obj} {msg} {sender} {source} {rule} are replaced by the event's values, in
// one pass (a value that holds "{host}" keeps it). Each template stays exactly
// one argument, whatever the values hold; any other {word} stays as written.
std::vector<std::string> expandArguments(const std::vector<std::string> &templates,
                                         const ProgramValues &values);

// QUORVIK_LEVEL, QUORVIK_DATE, QUORVIK_HOST, QUORVIK_APP, QUORVIK_OBJ,
// QUORVIK_MSG, QUORVIK_SENDER, QUORVIK_SOURCE, QUORVIK_RULE,
// QUORVIK_RULE_NAME and QUORVIK_RECEIVED (seconds since 1970, UTC).
std::vector<std::pair<std::string, std::string>> programEnvironment(const ProgramValues &values);

// The event as one JSON object on one line, ending in a line break:
// {"rule":2,"ruleName":…,"level":…,"date":…,"host":…,"app":…,"obj":…,
//  "msg":…,"sender":…,"source":…,"received":1765000000}
std::string programJson(const ProgramValues &values);

} // namespace quorvik
