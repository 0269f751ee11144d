// tarnwick-save-loop: saves Discovery.Xml over and over through the record
// library's own printing and atomic replacement, for the kill -9 campaign
// (scripts/reliability/kill_during_saves.sh), and checks a saved file.
//
//   tarnwick-save-loop save --nodes N --from G [--count K] [--temporary unnamed|named]
//   tarnwick-save-loop check --nodes N FILE
//
// save: in the current directory, saves the documents of generations G and
//   G+1 in turn, K saves (1 by default), each document N nodes, every node
//   holding the user and password a discovered device's node holds. Before each save
//   it writes "begin G" on stdout, after it "end G MICROSECONDS", unbuffered,
//   so that whoever kills it knows which save was under way.
// check: prints the generation FILE holds when FILE is, byte for byte, the
//   whole document of that generation, and exits 0; otherwise says why and
//   exits 1 (a torn or foreign file).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <tinyxml.h>

#include "record/atomic_file.h"
#include "record/discovery_log.h"
#include "record/discovery_node.h"
#include "record/document_bytes.h"

namespace {

// The password every node carries; the campaign looks for it in leftovers.
constexpr char kPassword[] = "Sv7&<kill#9save";
constexpr char kModelPrefix[] = "gen ";

template <std::size_t N>
void SetText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

// Node `index` of generation `generation`: every node names its generation,
// so a document mixing two of them is told from either.
DeviceRecord NodeRecord(unsigned long generation, int index) {
    DeviceRecord record{};
    const int a = index / 250;
    const int b = index % 250 + 1;
    SetText(record.eth0.ip, "10.20." + std::to_string(a) + "." + std::to_string(b));
    SetText(record.eth0.mask, "255.255.0.0");
    SetText(record.eth0.gw, "10.20.0.254");
    SetText(record.eth0.dns1, "10.20.0.53");
    SetText(record.eth0.dns2, "0.0.0.0");
    const std::uint8_t mac[6] = {0x02, 0x54, 0x57, 0x52, static_cast<std::uint8_t>(index >> 8),
                                 static_cast<std::uint8_t>(index)};
    std::memcpy(record.eth0.mac, mac, sizeof mac);
    record.privatePort = 8000;
    record.httpPort = 80;
    record.rtspPort = 554;
    char serial[32];
    std::snprintf(serial, sizeof serial, "%s%08d", index % 5 == 0 ? "NV08" : "IC2A", index);
    SetText(record.sn, serial);
    SetText(record.user, "admin");
    SetText(record.password, kPassword);
    SetText(record.model, (index % 5 == 0 ? "NVR " : "IPC ") + std::string(kModelPrefix + 0) +
                              std::to_string(generation));
    return record;
}

// The document's bytes as the discovery log saves them: each node printed
// as it is appended, the tree around them.
bool DocumentBytes(unsigned long generation, int nodes, std::string& bytes) {
    TiXmlElement root("TREE");
    std::string nodesText;
    for (int i = 0; i < nodes; ++i) {
        if (!AppendNode(root, NodeRecord(generation, i))) return false;
        const TiXmlElement* node = root.LastChild()->ToElement();
        if (node == nullptr || !AppendNodeText(*node, nodesText)) return false;
    }
    bytes = TreeDocumentText(nodesText);
    return true;
}

void Say(const std::string& line) {
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t written = ::write(1, rest.data(), rest.size());
        if (written <= 0) return;
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

int Save(int nodes, unsigned long from, unsigned long count, TemporaryFile temporary) {
    // Two documents, printed once, saved in turn: the loop spends its time
    // saving, where the kills are meant to land.
    std::string documents[2];
    for (unsigned long i = 0; i < 2; ++i) {
        if (!DocumentBytes(from + i, nodes, documents[i])) {
            std::fputs("tarnwick-save-loop: could not print the document\n", stderr);
            return 1;
        }
    }
    for (unsigned long i = 0; i < count; ++i) {
        const unsigned long generation = from + i % 2;
        Say("begin " + std::to_string(generation) + "\n");
        const auto start = std::chrono::steady_clock::now();
        if (!ReplaceFileAtomically(kDiscoveryFileName, documents[i % 2], temporary)) {
            std::fprintf(stderr, "tarnwick-save-loop: saving generation %lu failed\n", generation);
            return 1;
        }
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
        Say("end " + std::to_string(generation) + " " + std::to_string(micros) + "\n");
    }
    return 0;
}

int Check(int nodes, const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::printf("torn: cannot read %s\n", path);
        return 1;
    }
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TiXmlDocument document;
    document.Parse(content.c_str());
    if (document.Error()) {
        std::printf("torn: does not parse (%s)\n", document.ErrorDesc());
        return 1;
    }
    const TiXmlElement* root = FindRoot(document);
    const TiXmlElement* first = root ? root->FirstChildElement("Node") : nullptr;
    const TiXmlElement* model = first ? first->FirstChildElement("Model") : nullptr;
    const char* text = model ? model->Attribute("A") : nullptr;
    const char* number = text ? std::strstr(text, kModelPrefix) : nullptr;
    if (number == nullptr) {
        std::puts("torn: no generation in the first node");
        return 1;
    }
    const unsigned long generation = std::strtoul(number + std::strlen(kModelPrefix), nullptr, 10);
    std::string expected;
    if (!DocumentBytes(generation, nodes, expected)) return 2;
    if (content != expected) {
        std::printf("torn: parses, but is not the whole document of generation %lu (%zu bytes, expected %zu)\n",
                    generation, content.size(), expected.size());
        return 1;
    }
    std::printf("%lu\n", generation);
    return 0;
}

int Usage() {
    std::fputs(
        "usage: tarnwick-save-loop save --nodes N --from G [--count K] [--temporary unnamed|named]\n"
        "       tarnwick-save-loop check --nodes N FILE\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string_view command = argv[1];
    int nodes = 0;
    unsigned long from = 0;
    unsigned long count = 1;
    TemporaryFile temporary = TemporaryFile::kUnnamedWhereSupported;
    const char* file = nullptr;
    for (int i = 2; i < argc; ++i) {
        const std::string_view option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--nodes" && value) {
            nodes = std::atoi(value);
        } else if (option == "--from" && value) {
            from = std::strtoul(value, nullptr, 10);
        } else if (option == "--count" && value) {
            count = std::strtoul(value, nullptr, 10);
        } else if (option == "--temporary" && value && (std::strcmp(value, "unnamed") == 0 || std::strcmp(value, "named") == 0)) {
            temporary = std::strcmp(value, "named") == 0 ? TemporaryFile::kNamed : TemporaryFile::kUnnamedWhereSupported;
        } else if (command == "check" && !option.starts_with("--") && file == nullptr) {
            file = argv[i];
            continue;
        } else {
            return Usage();
        }
        ++i;
    }
    if (nodes < 1 || nodes > 4096) return Usage();
    if (command == "save") return Save(nodes, from, count, temporary);
    if (command == "check" && file != nullptr) return Check(nodes, file);
    return Usage();
}
