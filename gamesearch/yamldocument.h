#pragma once

#include "launcherconfigs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <initializer_list>
#include <optional>
#include <vector>

namespace gamesearch::launchers {

// A YAML document as the launchers that write YAML (Lutris, Bottles) load it
// with PyYAML's safe_load: any form YAML allows (escapes, quoting, folded and
// flow styles, comments, anchors, aliases and "<<" merges), parsed by libyaml.
// Aliases stay references to their anchored node and are never copied out, so
// that a file of aliases of aliases ("billion laughs") costs no more than its
// size; nesting and node count are bounded far above any launcher's file.
class YamlDocument {
public:
    // The document in `text`; none when it does not parse, holds more than one
    // document or outgrows the bounds, or when libyaml cannot be loaded.
    static std::optional<YamlDocument> parse(const QByteArray &text, Reading *reading);

    // The string that `keys` lead to from the root, each a key of a mapping;
    // a null string where one is missing or the value is no string (null, a
    // collection, a value of another tag).
    QString text(std::initializer_list<QByteArrayView> keys) const;

private:
    struct Node {
        enum Kind : quint8 { Scalar, Sequence, Mapping, Alias };
        Kind kind = Scalar;
        bool string = false; // a scalar that loads as a string
        bool merge = false;  // the key "<<", whose value is merged into its mapping
        int target = -1;     // what an alias stands for
        QByteArray text;
        std::vector<int> items; // a mapping's keys and values in turn
    };

    int resolved(int node) const;
    int valueOf(int mapping, QByteArrayView key, QSet<int> &seen, int depth) const;

    std::vector<Node> nodes_; // the root first
};

} // namespace gamesearch::launchers
