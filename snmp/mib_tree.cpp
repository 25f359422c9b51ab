// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp/mib_tree.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <regex>
#include <set>

#include <dirent.h>

namespace quorvik {

struct MibTree::Storage {
    std::deque<enum_list> enums;
};

namespace {

// The lines net-snmp logs on the thread that reads MIBs; what other threads
// log (the decoder's parse errors) is no news for an operator and dropped.
thread_local std::string *t_log = nullptr;

int collect(netsnmp_log_handler *, int, const char *message) {
    if (t_log != nullptr && message != nullptr)
        *t_log += message;
    return 1;
}

// One handler for the whole process, installed before any other thread uses
// net-snmp (the first reading happens before anything is decoded).
void installLogHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        netsnmp_log_handler *handler =
            netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
        if (handler != nullptr)
            handler->handler = collect;
    });
}

std::string baseName(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "ACME-FAN-MIB (acme-fan.my)", or the file's name alone when no module of
// it is known.
std::string moduleAndFile(const std::string &path, const std::vector<MibModule> &modules) {
    for (const MibModule &module : modules)
        if (module.file == path)
            return module.name + " (" + baseName(path) + ')';
    return baseName(path);
}

std::string text(const char *chars) {
    return chars == nullptr ? std::string() : std::string(chars);
}

} // namespace

MibTree::MibTree() : m_storage(std::make_unique<Storage>()) {}

MibTree::~MibTree() = default;

const MibNode *MibTree::closest(const unsigned long *name, std::size_t length,
                                std::size_t &depth) const {
    const MibNode *found = nullptr;
    const std::vector<const MibNode *> *peers = &m_tops;
    depth = 0;
    for (std::size_t i = 0; i < length; ++i) {
        // Of peers with one number, net-snmp's lookup takes the last.
        const auto after = std::upper_bound(
            peers->begin(), peers->end(), name[i],
            [](unsigned long subid, const MibNode *node) { return subid < node->subid; });
        if (after == peers->begin() || (*(after - 1))->subid != name[i])
            break;
        found = *(after - 1);
        depth = i + 1;
        peers = &found->children;
    }
    return found;
}

const MibNode *MibTree::naming(const unsigned long *name, std::size_t length,
                               std::size_t &depth) const {
    const MibNode *node = closest(name, length, depth);
    if (node == nullptr)
        return nullptr;
    const bool exact = depth == length;
    const bool objectInstance = node->children.empty() && node->type != TYPE_OTHER;
    return exact || objectInstance ? node : nullptr;
}

std::optional<MibFailure> MibTree::failureOf(const std::string &message,
                                             const std::vector<MibModule> &modules) {
    static const std::regex missingModule(R"(Cannot find module \((.+)\): At line \d+ in (.+))");
    static const std::regex missingName(R"(Did not find '(.+)' in module ([^#].*) \((.+)\))");
    static const std::regex atEnd(R"(.+ \(EOF\): At line (\d+) in (.+))");
    static const std::regex nearToken(R"(.+ \((.+)\): At line (\d+) in (.+))");
    static const std::regex atLine(R"((.+): At line (\d+) in (.+))");
    static const std::regex undefined(R"(Undefined identifier: (.+) near line (\d+) of (.+))");
    std::smatch m;
    if (std::regex_match(message, m, missingModule)) {
        if (m[2] == "(none)") // a module asked for by name, in no file
            return std::nullopt;
        return MibFailure{m[2], moduleAndFile(m[2], modules) + ": imports " + m[1].str() +
                                    ", which no file provides"};
    }
    if (std::regex_match(message, m, missingName))
        return MibFailure{m[3], moduleAndFile(m[3], modules) + ": imports " + m[1].str() +
                                    " from " + m[2].str() + ", which does not define it"};
    if (std::regex_match(message, m, atEnd))
        return MibFailure{m[2], baseName(m[2]) + " line " + m[1].str() +
                                    ": the file ends in the middle of a definition"};
    if (std::regex_match(message, m, nearToken))
        return MibFailure{m[3], baseName(m[3]) + " line " + m[2].str() + ": syntax error near '" +
                                    m[1].str() + '\''};
    if (std::regex_match(message, m, atLine)) {
        if (m[3] == "(none)")
            return std::nullopt;
        return MibFailure{m[3], baseName(m[3]) + " line " + m[2].str() + ": " + m[1].str()};
    }
    if (std::regex_match(message, m, undefined))
        return MibFailure{m[3], baseName(m[3]) + " line " + m[2].str() + ": " + m[1].str() +
                                    " is defined nowhere"};
    return std::nullopt;
}

std::shared_ptr<const MibTree> MibTree::read(const std::vector<std::string> &operatorDirectories,
                                             const std::string &ownDirectory,
                                             const std::function<void()> &start,
                                             const std::function<void()> &parsed) {
    // Two decoders' readings in one process take turns on the one parser.
    static std::mutex parser;
    const std::lock_guard turn(parser);
    installLogHandler();
    auto mibs = std::make_shared<MibTree>();
    std::string log;
    t_log = &log;
    // Of two modules with one name net-snmp reads the one in the later
    // directory: the own minimal modules go first, so that full ones
    // installed on the system replace them, and the operator's last, the
    // first of them last of all.
    std::string path = NETSNMP_DEFAULT_MIBDIRS;
    if (!ownDirectory.empty())
        path = ownDirectory + ':' + path;
    for (auto dir = operatorDirectories.rbegin(); dir != operatorDirectories.rend(); ++dir) {
        if (dir->find(':') != std::string::npos) {
            // net-snmp's MIB path separates its folders with ':'.
            mibs->m_failures.push_back(
                {*dir, *dir + ": MIBs can't be read from a folder whose path holds ':'"});
        } else if (DIR *listing = ::opendir(dir->c_str()); listing != nullptr) {
            ::closedir(listing);
            path += ':' + *dir;
        } else {
            mibs->m_failures.push_back(
                {*dir, *dir + ": the folder can't be read (" + std::strerror(errno) + ')'});
        }
    }
    netsnmp_set_mib_directory(path.c_str());
    if (start)
        start();
    else
        netsnmp_init_mib();
    read_all_mibs();
    if (parsed)
        parsed();

    for (int id = 0;; ++id) {
        const module *m = find_module(id);
        if (m == nullptr)
            break;
        if (m->no_imports >= 0 && m->name != nullptr && m->file != nullptr)
            mibs->m_modules.push_back({m->name, m->file});
    }

    // The tree, copied node by node; peers by their numbers.
    struct Pending {
        const ::tree *from;
        MibNode *parent;
    };
    std::vector<Pending> pending;
    for (const ::tree *top = get_tree_head(); top != nullptr; top = top->next_peer)
        pending.push_back({top, nullptr});
    char module[SPRINT_MAX_LEN];
    while (!pending.empty()) {
        const auto [from, parent] = pending.back();
        pending.pop_back();
        auto node = std::make_unique<MibNode>();
        node->subid = from->subid;
        node->parent = parent;
        node->label = text(from->label);
        module_name(from->modid, module);
        if (module[0] != '#')
            node->module = module;
        node->type = from->type;
        node->hint = text(from->hint);
        node->units = text(from->units);
        node->description = text(from->description);
        node->printer = from->printomat;
        for (const enum_list *e = from->enums; e != nullptr; e = e->next)
            node->enums.emplace_back(e->value, text(e->label));
        enum_list *previous = nullptr;
        for (auto &[value, label] : node->enums) {
            enum_list &entry = mibs->m_storage->enums.emplace_back();
            entry.value = value;
            entry.label = label.data();
            entry.next = nullptr;
            if (previous == nullptr)
                node->enumChain = &entry;
            else
                previous->next = &entry;
            previous = &entry;
        }
        for (const ::tree *child = from->child_list; child != nullptr; child = child->next_peer)
            pending.push_back({child, node.get()});
        MibNode *raw = node.get();
        mibs->m_nodes.push_back(std::move(node));
        (parent != nullptr ? parent->children : mibs->m_tops).push_back(raw);
    }
    const auto bySubid = [](const MibNode *a, const MibNode *b) { return a->subid < b->subid; };
    // Children were pushed in reverse order of net-snmp's list; stable sort
    // keeps peers with one number in the list's order.
    for (const auto &node : mibs->m_nodes) {
        std::reverse(node->children.begin(), node->children.end());
        std::stable_sort(node->children.begin(), node->children.end(), bySubid);
    }
    std::stable_sort(mibs->m_tops.begin(), mibs->m_tops.end(), bySubid);
    // net-snmp's tree is no longer needed: every reader uses this copy.
    shutdown_mib();
    t_log = nullptr;

    // One reason a file: the first, the rest follow from it.
    std::set<std::string> failed;
    for (const MibFailure &failure : mibs->m_failures)
        failed.insert(failure.file);
    std::size_t from = 0;
    for (std::size_t end = log.find('\n'); end != std::string::npos;
         from = end + 1, end = log.find('\n', from)) {
        std::optional<MibFailure> failure =
            failureOf(log.substr(from, end - from), mibs->m_modules);
        if (failure && failed.insert(failure->file).second)
            mibs->m_failures.push_back(std::move(*failure));
    }
    std::erase_if(mibs->m_modules,
                  [&failed](const MibModule &loaded) { return failed.count(loaded.file) > 0; });
    std::sort(mibs->m_modules.begin(), mibs->m_modules.end(),
              [](const MibModule &a, const MibModule &b) { return a.name < b.name; });
    return mibs;
}

} // namespace quorvik
