// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct enum_list;
struct variable_list;

namespace quorvik {

// A module read from a MIB file.
struct MibModule {
    std::string name;
    std::string file; // its path
};

// A file, or a module in it, that did not load as written, with the reason
// in words: "ACME-FAN-MIB (acme-fan.my): imports ACME-SMI, which no file
// provides", "acme-psu.my line 212: syntax error near 'OBJECT-TYPE'".
struct MibFailure {
    std::string file; // its path
    std::string reason;
};

// One object of the MIBs: its name, its module and what net-snmp needs to
// print a value of it.
struct MibNode {
    // net-snmp's printer for the node's syntax, as its tree keeps it.
    using Printer = int (*)(unsigned char **, std::size_t *, std::size_t *, int,
                            const ::variable_list *, const ::enum_list *, const char *,
                            const char *);

    unsigned long subid = 0;
    const MibNode *parent = nullptr; // nullptr for the top nodes (ccitt, iso, joint-iso-ccitt)
    std::string label;               // "ifIndex"
    std::string module;              // "IF-MIB"; empty when no module is known
    int type = 0; // net-snmp's TYPE_ number (TYPE_OTHER, TYPE_INTEGER, TYPE_NOTIFTYPE...)
    std::string hint, units, description; // as the MIB gives them; empty when it gives none
    std::vector<std::pair<int, std::string>> enums; // value and label
    Printer printer = nullptr;
    const ::enum_list *enumChain = nullptr; // `enums` as net-snmp's printers take them
    std::vector<const MibNode *> children;  // by subid, ascending
};

// The MIBs as one reading of them found them: the object tree, the modules
// that loaded and the files that didn't. Made by the MIB loader's thread
// and never changed after: a reader holds it by its shared pointer and can
// use it on any thread while a newer one is read.
class MibTree {
public:
    MibTree();
    ~MibTree();
    MibTree(const MibTree &) = delete;
    MibTree &operator=(const MibTree &) = delete;

    // The deepest node whose identifier begins `name`, and how many of
    // `name`'s subidentifiers it covers; nullptr (depth 0) when none does.
    const MibNode *closest(const unsigned long *name, std::size_t length, std::size_t &depth) const;
    // The node that names `name`: the whole identifier, or an object whose
    // instance index follows (the rest of `name`). nullptr when none does.
    const MibNode *naming(const unsigned long *name, std::size_t length, std::size_t &depth) const;

    const std::vector<MibModule> &modules() const { return m_modules; }
    const std::vector<MibFailure> &failures() const { return m_failures; }
    std::size_t size() const { return m_nodes.size(); }

    // Reads the MIBs: every module in `operatorDirectories`, in net-snmp's
    // usual directories and in `ownDirectory` (quorvik's minimal standard
    // modules), with what they import. Of modules with one name, the one in
    // the earlier operator directory is read, and one there before those of
    // net-snmp's directories, which go before the own ones. An operator
    // directory that can't be read is a failure. Uses net-snmp's one MIB
    // parser and its global tree, which it frees again: readings take
    // turns, and no other code may use net-snmp's tree meanwhile.
    // `start`, for the first reading, is net-snmp's start-up, which reads
    // the MIBs itself; `parsed` runs once net-snmp's tree holds them, before
    // they are copied (tests hold the reading there).
    static std::shared_ptr<const MibTree> read(const std::vector<std::string> &operatorDirectories,
                                               const std::string &ownDirectory,
                                               const std::function<void()> &start = {},
                                               const std::function<void()> &parsed = {});

    // What a message of net-snmp's MIB parser says to an operator, about
    // which file; nothing for the messages that follow from another one.
    // `modules` names the module of each file.
    static std::optional<MibFailure> failureOf(const std::string &message,
                                               const std::vector<MibModule> &modules);

private:
    struct Storage;
    std::vector<std::unique_ptr<MibNode>> m_nodes;
    std::vector<const MibNode *> m_tops;
    std::vector<MibModule> m_modules;
    std::vector<MibFailure> m_failures;
    std::unique_ptr<Storage> m_storage; // the enum chains
};

} // namespace quorvik
