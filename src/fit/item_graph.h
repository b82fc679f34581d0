// The fewest bytes of a text as a shortest path: every item a table offers
// at a place of the text (an entry whose text begins there, a control code
// with its parameters, a raw byte, an end token at the very end) is an edge
// from that place to where its text ends, weighed by the bytes it takes.
//
//   ItemModel     a table's items, indexed once by their texts
//   ItemEdge      one item at a place of a text: the text it covers, its bytes
//   FewestBytes   the shortest path through a text, with extra one-byte
//                 entries besides the table's
//
// The encoder (insert/encoder.h) gives the fewest bytes that decode back as
// the text; the path here may chain items that decoding would not take
// apart (41 42 where 4142 is a key, a raw byte that begins a longer key).
// So the path is never longer than the encoder's bytes, and the two are
// equal when no key of the table begins another and no raw byte of the text
// begins a key: one-byte entries on codes that begin no key keep that true.
// Texts are read as the encoder reads them: raw tokens (<$4a>) with their
// digits upper-cased (Normalized), and a text that ends with an end token's
// text must end with an end token (MustEnd), any other with no end token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "table/compiled.h"

namespace romscriber {

struct ItemEdge {
  std::uint32_t Length = 0;  // bytes of text the item covers
  std::uint16_t Cost = 0;    // bytes it takes (key and parameters)
  bool Ordinary = false;     // an entry that only shows its text (not a line-break token,
                             // control code, end token or raw byte)
};

class ItemModel {
 public:
  // Indexes the texts of `table`, which must outlive the model.
  explicit ItemModel(const CompiledTable& table);

  // `text` with the digits of its raw tokens upper-cased.
  std::string Normalized(std::string_view text) const;
  // Whether a normalized text must end with an end token.
  bool MustEnd(std::string_view normalized) const;

  // Appends the items that begin at `pos` of a normalized text: those whose
  // text ends at the text's end only when they may end it (end tokens when
  // `mustEnd`, anything else otherwise).
  void EdgesAt(std::string_view text, std::size_t pos, bool mustEnd,
               std::vector<ItemEdge>& out) const;

 private:
  struct Item {
    std::uint16_t Cost;
    std::uint8_t Params;
    bool End;
    bool Ordinary;
  };
  struct Node {
    std::uint32_t FirstChild = 0;
    std::uint32_t Children = 0;
    std::uint32_t FirstItem = 0;
    std::uint32_t Items = 0;
  };
  int RawTokenAt(std::string_view text, std::size_t pos) const;
  std::uint32_t Child(std::uint32_t node, std::uint8_t byte) const;

  const CompiledTable& m_table;
  std::size_t m_tokenSize = 0;
  std::vector<Node> m_nodes;  // a trie of the entries' texts; node 0 is the root
  std::vector<std::uint32_t> m_rootChild;  // by byte: the root's child, or 0
  std::vector<std::pair<std::uint8_t, std::uint32_t>> m_children;  // by node, sorted by byte
  std::vector<Item> m_items;
  std::vector<bool> m_oneByteKey;  // by byte: a one-byte key reads it (never raw)
  std::vector<std::string> m_endTexts;
};

// The cost of the cheapest chain of items through `text` (as given, not yet
// normalized), where besides the table's items each text of `extra` is a
// one-byte ordinary entry; -1 when no chain reaches the end.
std::int64_t FewestBytes(const ItemModel& model, std::string_view text,
                         std::span<const std::string> extra = {});

}  // namespace romscriber
