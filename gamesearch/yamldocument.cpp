#include "yamldocument.h"

#include <QHash>
#include <QScopeGuard>

#include <cstring>
#include <dlfcn.h>
#include <yaml.h>

namespace gamesearch::launchers {

namespace {

// A launcher's file is a few levels deep and a few hundred nodes large; a file
// past these is no launcher's, and reading it whole would only cost memory.
constexpr int MaxDepth = 64;
constexpr size_t MaxNodes = 1 << 16;

// libyaml, loaded when the first YAML file is read rather than with the
// program: linked, it was loaded and bound at every start-up (0.39 million
// instructions more before `--version` printed) for the few homes that hold
// a Lutris or Bottles file.
struct LibYaml {
    decltype(&yaml_parser_initialize) initialize;
    decltype(&yaml_parser_set_input_string) setInput;
    decltype(&yaml_parser_parse) parse;
    decltype(&yaml_event_delete) deleteEvent;
    decltype(&yaml_parser_delete) deleteParser;
};

const LibYaml *libyaml()
{
    static const std::optional<LibYaml> loaded = []() -> std::optional<LibYaml> {
        void *library = dlopen("libyaml-0.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return std::nullopt;
        LibYaml yaml;
        bool all = true;
        const auto resolve = [&](auto &function, const char *name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all = all && function;
        };
        resolve(yaml.initialize, "yaml_parser_initialize");
        resolve(yaml.setInput, "yaml_parser_set_input_string");
        resolve(yaml.parse, "yaml_parser_parse");
        resolve(yaml.deleteEvent, "yaml_event_delete");
        resolve(yaml.deleteParser, "yaml_parser_delete");
        return all ? std::optional(yaml) : std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

bool isTag(const yaml_char_t *tag, const char *name)
{
    return tag && std::strcmp(reinterpret_cast<const char *>(tag), name) == 0;
}

// Whether a scalar loads as a string, as PyYAML's safe loader resolves it. Of
// the untagged plain scalars only null (empty, "~", "null") is told apart:
// the booleans, numbers and dates YAML 1.1 also reads there never begin with
// "/" or "~", so no path is taken for one of them.
bool loadsAsString(const yaml_event_t &event)
{
    const auto &scalar = event.data.scalar;
    if (scalar.tag && !isTag(scalar.tag, "!"))
        return isTag(scalar.tag, "tag:yaml.org,2002:str");
    if (scalar.style != YAML_PLAIN_SCALAR_STYLE || scalar.tag)
        return true; // quoted, or marked with the non-specific "!"
    const QByteArrayView text(reinterpret_cast<const char *>(scalar.value),
                              qsizetype(scalar.length));
    return !(text.isEmpty() || text == "~" || text == "null" || text == "Null" || text == "NULL");
}

const yaml_char_t *anchorOf(const yaml_event_t &event)
{
    switch (event.type) {
    case YAML_SCALAR_EVENT:
        return event.data.scalar.anchor;
    case YAML_SEQUENCE_START_EVENT:
        return event.data.sequence_start.anchor;
    case YAML_MAPPING_START_EVENT:
        return event.data.mapping_start.anchor;
    default:
        return nullptr;
    }
}

} // namespace

std::optional<YamlDocument> YamlDocument::parse(const QByteArray &text, Reading *reading)
{
    Reading ignored;
    Reading &outcome = reading ? *reading : ignored;
    outcome = Reading::Malformed;
    const LibYaml *yaml = libyaml();
    if (!yaml) {
        outcome = Reading::NoReader;
        return std::nullopt;
    }
    yaml_parser_t parser;
    if (!yaml->initialize(&parser))
        return std::nullopt;
    const auto deleteParser = qScopeGuard([&] { yaml->deleteParser(&parser); });
    yaml->setInput(&parser, reinterpret_cast<const unsigned char *>(text.constData()),
                   size_t(text.size()));

    YamlDocument document;
    std::vector<int> open; // the collections not closed yet, the innermost last
    QHash<QByteArray, int> anchors;
    int documents = 0;
    // Takes one event; false where the text is no launcher's document.
    const auto take = [&](const yaml_event_t &event) {
        Node node;
        switch (event.type) {
        case YAML_DOCUMENT_START_EVENT:
            return ++documents == 1; // safe_load refuses a second document
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
            open.pop_back();
            return true;
        case YAML_SCALAR_EVENT:
            node.string = loadsAsString(event);
            node.text = QByteArray(reinterpret_cast<const char *>(event.data.scalar.value),
                                   qsizetype(event.data.scalar.length));
            node.merge = isTag(event.data.scalar.tag, "tag:yaml.org,2002:merge") ||
                         (!event.data.scalar.tag &&
                          event.data.scalar.style == YAML_PLAIN_SCALAR_STYLE && node.text == "<<");
            break;
        case YAML_SEQUENCE_START_EVENT:
            node.kind = Node::Sequence;
            break;
        case YAML_MAPPING_START_EVENT:
            node.kind = Node::Mapping;
            break;
        case YAML_ALIAS_EVENT:
            node.kind = Node::Alias;
            node.target =
                anchors.value(reinterpret_cast<const char *>(event.data.alias.anchor), -1);
            if (node.target < 0)
                return false; // an alias of nothing
            break;
        default:
            return true;
        }
        if (document.nodes_.size() >= MaxNodes)
            return false;
        const int index = int(document.nodes_.size());
        if (const yaml_char_t *anchor = anchorOf(event)) {
            const QByteArray name(reinterpret_cast<const char *>(anchor));
            if (anchors.contains(name))
                return false; // as safe_load, which refuses an anchor given twice
            anchors.insert(name, index);
        }
        if (!open.empty())
            document.nodes_[size_t(open.back())].items.push_back(index);
        const bool opens = node.kind == Node::Sequence || node.kind == Node::Mapping;
        document.nodes_.push_back(std::move(node));
        if (opens) {
            if (open.size() >= MaxDepth)
                return false;
            open.push_back(index);
        }
        return true;
    };
    for (bool end = false; !end;) {
        yaml_event_t event;
        if (!yaml->parse(&parser, &event))
            return std::nullopt;
        end = event.type == YAML_STREAM_END_EVENT;
        const bool taken = take(event);
        yaml->deleteEvent(&event);
        if (!taken)
            return std::nullopt;
    }
    outcome = Reading::Parsed;
    return document;
}

int YamlDocument::resolved(int node) const
{
    const Node &n = nodes_[size_t(node)];
    return n.kind == Node::Alias ? n.target : node; // an anchored node is never an alias
}

// The node `key` maps to in `mapping`, as safe_load builds the mapping: the
// last of equal keys wins; where the mapping has the key nowhere, the mappings
// merged in with "<<" are asked, the last "<<" first and, where it merges a
// list, the list's first mapping first. Each mapping is asked once, so that
// merges of merges cost no more than the mappings there are, and a mapping
// merged into itself ends.
int YamlDocument::valueOf(int mapping, QByteArrayView key, QSet<int> &seen, int depth) const
{
    mapping = resolved(mapping);
    const Node &node = nodes_[size_t(mapping)];
    if (node.kind != Node::Mapping || depth > MaxDepth || seen.contains(mapping))
        return -1;
    seen.insert(mapping);
    const std::vector<int> &items = node.items;
    for (size_t i = items.size(); i >= 2; i -= 2) {
        const Node &name = nodes_[size_t(resolved(items[i - 2]))];
        if (name.kind == Node::Scalar && name.string && !name.merge && name.text == key)
            return items[i - 1];
    }
    for (size_t i = items.size(); i >= 2; i -= 2) {
        if (!nodes_[size_t(items[i - 2])].merge)
            continue;
        const Node &merged = nodes_[size_t(resolved(items[i - 1]))];
        if (merged.kind != Node::Sequence) {
            if (const int value = valueOf(items[i - 1], key, seen, depth + 1); value >= 0)
                return value;
            continue;
        }
        for (int each : merged.items)
            if (const int value = valueOf(each, key, seen, depth + 1); value >= 0)
                return value;
    }
    return -1;
}

QString YamlDocument::text(std::initializer_list<QByteArrayView> keys) const
{
    if (nodes_.empty())
        return {}; // an empty file: safe_load gives nothing
    int at = 0;
    for (QByteArrayView key : keys) {
        QSet<int> seen;
        at = valueOf(at, key, seen, 0);
        if (at < 0)
            return {};
    }
    const Node &node = nodes_[size_t(resolved(at))];
    return node.kind == Node::Scalar && node.string ? QString::fromUtf8(node.text) : QString();
}

} // namespace gamesearch::launchers
