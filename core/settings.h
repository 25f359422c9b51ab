// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "level.h"
#include "profile.h"
#include "units.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// Syslog intake, [Syslog]. A port of 0 switches its listener off; TLS
// listens only with a certificate and its key.
struct SyslogSettings {
    int udpPort = 514;          // UDP
    int tcpPort = 514;          // TCP
    int tlsPort = 0;            // TLS (6514 is usual)
    std::string tlsCertificate; // TLSCert: PEM file
    std::string tlsKey;         // TLSKey: PEM file
    std::string tlsCa;          // TLSCA: PEM file; set, a client must present a certificate
                                // that chains to it

    bool operator==(const SyslogSettings &) const = default;
};

// The settings the program keeps in memory, with their defaults.
struct Settings {
    int popupLevel = 4;           // levels whose index is below it open the popup
    std::string logFile;          // path of the log file
    int maxLines = 1000;          // row limit of every table, header row included
    int startTab = 3;             // tab shown at start
    bool startInFullList = false; // IniGrid other than "0"
    bool notify = true;           // Notify other than "0": desktop notifications
    bool followNewEvents = true;  // Follow other than "0": the tab of each new event is shown
    LevelColours levelColours = defaultLevelColours();
    std::array<std::string, kLevelCount> levelSounds; // empty: no sound
    SyslogSettings syslog;
};

// Window geometry in twips, as stored under [Global].
struct WindowGeometry {
    long top = 0;
    long left = 0;
    long height = 0;
    long width = 0;
};

// Number rules of the configuration file.
// The numeric value at the start of a text: leading blanks skipped, an
// optional sign, digits and one decimal point; the rest is ignored; no
// number gives 0. "1230abc" gives 1230.
double leadingNumber(std::string_view text);
// Strict conversion of a colour text: decimal or "&H" hexadecimal with
// optional surrounding blanks, rounded to a whole number; nullopt for any
// text that is not a number.
std::optional<Colour> parseColour(std::string_view text);
// The row limit a MaxLines text stands for: its leading number rounded,
// at least 2 (a table keeps its header and one row), at most INT_MAX.
int rowLimitFromText(std::string_view text);

// All settings from the configuration file. Values the program can't use
// are bounded: MaxLines below 2 counts as 2, StartTab is bounded to 0..6, a
// negative Popuplevel counts as 0. A number key whose text holds no number
// keeps its default, a colour that isn't a number its built-in value, a
// syslog port outside 0..65535 is bounded to it. Each
// such value is named in `problems`, when given: its key, its text and what
// is used instead ("MaxLines: \"abc\" is not a number; 1000 is used").
Settings settingsFromProfile(const Profile &profile, std::string_view defaultLogFile,
                             std::vector<std::string> *problems = nullptr);

// The stored geometry, each key defaulting to the matching value of
// `current`; so does a key whose text is not a number, and a height or
// width that is not above 0. Each such key is named in `problems`.
WindowGeometry geometryFromProfile(const Profile &profile, const WindowGeometry &current,
                                   std::vector<std::string> *problems = nullptr);

// Each value of the file the program can't read, with what it uses
// instead: the settings', then the geometry's.
std::vector<std::string> unreadableSettings(const Profile &profile);

// Sets WinTop, WinLeft, WinHeight and WinWidth to `geometry`.
void writeGeometry(Profile &profile, const WindowGeometry &geometry);

// The keys one Apply of the options writes. A group that is not set leaves
// its keys as they are.
struct SettingsChanges {
    std::optional<LevelColours> colours;                        // Color C0..C6
    std::optional<int> popupLevel;                              // Global Popuplevel
    std::optional<std::array<std::string, kLevelCount>> sounds; // Sound S0..S6, empty: none
    std::optional<std::string> logFile;                         // Global Logfile
    std::optional<std::string> maxLinesText;                    // Global MaxLines, as typed
    std::optional<bool> startInFullList;                        // Global IniGrid "1" / "0"
    std::optional<int> startTab;                                // Global StartTab
    std::optional<bool> notify;                                 // Global Notify "1" / "0"
    std::optional<bool> followNewEvents;                        // Global Follow "1" / "0"
    std::optional<SyslogSettings> syslog;                       // [Syslog]
};

// Sets the changed keys, in the order colours, popup level, sounds, log
// file, row limit, start view, start tab, notifications, following new events,
// syslog.
// A colour whose stored text can't be read keeps it while the colour given
// for it is the built-in one: the program never writes what it used in
// place of a value over the text the user wrote.
void writeSettings(Profile &profile, const SettingsChanges &changes);

} // namespace quorvik
