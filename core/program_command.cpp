// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/program_command.h"

#include "core/visible_text.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvik {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Inside double quotes a backslash escapes only these.
bool escapedInDoubleQuotes(char c) {
    return c == '$' || c == '`' || c == '"' || c == '\\';
}

} // namespace

CommandSplit splitCommandLine(std::string_view text) {
    CommandSplit split;
    std::string word;
    bool inWord = false; // also an empty quoted word ('' or "") is a word
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c)) {
            if (inWord)
                split.words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 == text.size()) {
                split.error = "it ends in a backslash, which escapes nothing";
                break;
            }
            word += text[i + 1];
            i += 2;
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            if (end == std::string_view::npos) {
                split.error = "a single quote (') is not closed";
                break;
            }
            word.append(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '"') {
            ++i;
            bool closed = false;
            while (i < text.size()) {
                const char d = text[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < text.size() && escapedInDoubleQuotes(text[i + 1])) {
                    word += text[i + 1];
                    i += 2;
                } else {
                    word += d;
                    ++i;
                }
            }
            if (!closed) {
                split.error = "a double quote (\") is not closed";
                break;
            }
        } else {
            word += c;
            ++i;
        }
    }
    if (split.error.empty() && inWord)
        split.words.push_back(std::move(word));
    if (split.error.empty() && split.words.empty())
        split.error = "it names no program";
    if (!split.error.empty())
        split.words.clear();
    return split;
}

std::string quotedWord(std::string_view word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

namespace {

// Why `path` can't be run, or empty when it is an executable file.
std::string unusableProgram(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return path + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return path + " is not a file";
    if (::access(path.c_str(), X_OK) != 0)
        return path + " is not executable";
    return {};
}

} // namespace

RunCommand parseRunCommand(std::string_view text, std::string_view pathVariable) {
    RunCommand command;
    CommandSplit split = splitCommandLine(text);
    if (!split.error.empty()) {
        command.error = "The program line can't be read: " + split.error;
        return command;
    }
    if (text.find('\0') != std::string_view::npos) {
        command.error = "The program line holds a NUL character";
        return command;
    }
    const std::string &program = split.words.front();
    if (program.front() == '/') {
        command.error = unusableProgram(program);
        if (command.error.empty())
            command.program = program;
    } else if (program.find('/') != std::string::npos) {
        command.error = program +
                        " is a relative path: give the program's absolute path (starting with /) "
                        "or a name found on PATH";
    } else {
        // The directories of PATH in order; an empty entry (the current
        // directory) is skipped for the same reason as a relative path.
        std::size_t start = 0;
        while (start <= pathVariable.size() && command.program.empty()) {
            std::size_t end = pathVariable.find(':', start);
            if (end == std::string_view::npos)
                end = pathVariable.size();
            const std::string_view dir = pathVariable.substr(start, end - start);
            if (!dir.empty() && dir.front() == '/') {
                std::string candidate(dir);
                if (candidate.back() != '/')
                    candidate += '/';
                candidate += program;
                if (unusableProgram(candidate).empty())
                    command.program = std::move(candidate);
            }
            start = end + 1;
        }
        if (command.program.empty())
            command.error = program + " is not an executable program in any folder of PATH (" +
                            std::string(pathVariable) + ")";
    }
    if (command.error.empty())
        command.arguments.assign(split.words.begin() + 1, split.words.end());
    return command;
}

namespace {

// Received bytes as UTF-8 text for a program (see ProgramValues).
std::string programText(std::string_view bytes) {
    std::string text = isValidUtf8(bytes) ? std::string(bytes) : windows1252ToUtf8(bytes);
    if (text.find('\0') == std::string::npos)
        return text;
    std::string withoutNul;
    withoutNul.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\0')
            withoutNul += visibleCode(0);
        else
            withoutNul += c;
    }
    return withoutNul;
}

} // namespace

std::string_view sourceName(Source source) {
    switch (source) {
    case Source::Text:
        return "text";
    case Source::Trap:
        return "trap";
    case Source::Syslog:
        return "syslog";
    case Source::Quorvik:
        return "quorvik";
    }
    return "text";
}

ProgramValues programValues(const Event &event, int rule, std::string_view ruleName) {
    ProgramValues values;
    values.level = event.level ? std::string(event.level->name) : std::string("Unknown");
    values.date = programText(event.date);
    values.host = programText(event.host);
    values.app = programText(event.application);
    values.obj = programText(event.object);
    values.msg = programText(event.message);
    values.sender = programText(event.sender);
    values.source = std::string(sourceName(event.source));
    values.rule = rule;
    values.ruleName = programText(ruleName);
    values.received = event.receivedAt;
    return values;
}

std::vector<std::string> expandArguments(const std::vector<std::string> &templates,
                                         const ProgramValues &values) {
    const std::string rule = std::to_string(values.rule);
    const std::array<std::pair<std::string_view, const std::string *>, 9> placeholders = {{
        {"{level}", &values.level},
        {"{date}", &values.date},
        {"{host}", &values.host},
        {"{app}", &values.app},
        {"{obj}", &values.obj},
        {"{msg}", &values.msg},
        {"{sender}", &values.sender},
        {"{source}", &values.source},
        {"{rule}", &rule},
    }};
    std::vector<std::string> arguments;
    arguments.reserve(templates.size());
    for (const std::string &word : templates) {
        std::string argument;
        std::size_t i = 0;
        while (i < word.size()) {
            const std::size_t open = word.find('{', i);
            if (open == std::string::npos) {
                argument.append(word, i, std::string::npos);
                break;
            }
            argument.append(word, i, open - i);
            const std::string_view rest = std::string_view(word).substr(open);
            const std::string *value = nullptr;
            std::size_t length = 1;
            for (const auto &[name, replacement] : placeholders)
                if (rest.starts_with(name)) {
                    value = replacement;
                    length = name.size();
                    break;
                }
            if (value)
                argument += *value;
            else
                argument += '{';
            i = open + length;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::vector<std::pair<std::string, std::string>> programEnvironment(const ProgramValues &values) {
    return {{"QUORVIK_LEVEL", values.level},
            {"QUORVIK_DATE", values.date},
            {"QUORVIK_HOST", values.host},
            {"QUORVIK_APP", values.app},
            {"QUORVIK_OBJ", values.obj},
            {"QUORVIK_MSG", values.msg},
            {"QUORVIK_SENDER", values.sender},
            {"QUORVIK_SOURCE", values.source},
            {"QUORVIK_RULE", std::to_string(values.rule)},
            {"QUORVIK_RULE_NAME", values.ruleName},
            {"QUORVIK_RECEIVED", std::to_string(values.received)}};
}

namespace {

// `text` (valid UTF-8) as a JSON string.
void appendJsonString(std::string &out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
                std::array<char, 8> code{};
                std::snprintf(code.data(), code.size(), "\\u%04x", static_cast<unsigned char>(c));
                out += code.data();
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

std::string programJson(const ProgramValues &values) {
    std::string json = "{\"rule\":" + std::to_string(values.rule);
    const std::array<std::pair<std::string_view, const std::string *>, 9> fields = {{
        {"ruleName", &values.ruleName},
        {"level", &values.level},
        {"date", &values.date},
        {"host", &values.host},
        {"app", &values.app},
        {"obj", &values.obj},
        {"msg", &values.msg},
        {"sender", &values.sender},
        {"source", &values.source},
    }};
    for (const auto &[name, value] : fields) {
        json += ",\"";
        json += name;
        json += "\":";
        appendJsonString(json, *value);
    }
    json += ",\"received\":" + std::to_string(values.received) + "}\n";
    return json;
}

} // namespace quorvik
