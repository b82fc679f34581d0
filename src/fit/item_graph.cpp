#include "fit/item_graph.h"

#include <algorithm>
#include <limits>
#include <map>

#include "base/text.h"

namespace romscriber {

ItemModel::ItemModel(const CompiledTable& table)
    : m_table(table), m_rootChild(256, 0), m_oneByteKey(256, false) {
  const DecodeStyle& style = table.Style();
  m_tokenSize = style.RawLeft.size() + 2 + style.RawRight.size();

  // The trie is built with a map per node, then laid out flat.
  struct Building {
    std::map<std::uint8_t, std::uint32_t> Children;
    std::vector<Item> Items;
  };
  std::vector<Building> building(1);
  for (const TableEntry& e : table.Entries()) {
    if (e.KeySize == 1) m_oneByteKey[static_cast<std::uint8_t>(table.Key(e)[0])] = true;
    // Entries that show nothing only add bytes; no path takes them.
    if (e.ShownSize == 0) continue;
    std::string text(table.Shown(e));
    UpperRawDigits(text, style);
    const bool end = e.Kind == TokenKind::kEnd;
    if (end) m_endTexts.push_back(text);
    const std::uint8_t params = e.Kind == TokenKind::kControl ? e.Params : 0;
    std::uint32_t node = 0;
    for (const char c : text) {
      const auto byte = static_cast<std::uint8_t>(c);
      const auto found = building[node].Children.find(byte);
      if (found != building[node].Children.end()) {
        node = found->second;
        continue;
      }
      const auto next = static_cast<std::uint32_t>(building.size());
      building[node].Children.emplace(byte, next);
      building.emplace_back();
      node = next;
    }
    building[node].Items.push_back(
        {static_cast<std::uint16_t>(e.KeySize), params, end, e.Kind == TokenKind::kText});
  }
  m_nodes.resize(building.size());
  for (std::size_t n = 0; n < building.size(); ++n) {
    Node& node = m_nodes[n];
    node.FirstChild = static_cast<std::uint32_t>(m_children.size());
    node.Children = static_cast<std::uint32_t>(building[n].Children.size());
    for (const auto& [byte, child] : building[n].Children)
      m_children.emplace_back(byte, child);
    node.FirstItem = static_cast<std::uint32_t>(m_items.size());
    node.Items = static_cast<std::uint32_t>(building[n].Items.size());
    m_items.insert(m_items.end(), building[n].Items.begin(), building[n].Items.end());
  }
  for (const auto& [byte, child] : building[0].Children)
    m_rootChild[byte] = child;
}

std::string ItemModel::Normalized(std::string_view text) const {
  std::string out(text);
  UpperRawDigits(out, m_table.Style());
  return out;
}

bool ItemModel::MustEnd(std::string_view normalized) const {
  return std::any_of(m_endTexts.begin(), m_endTexts.end(),
                     [&](const std::string& end) { return normalized.ends_with(end); });
}

int ItemModel::RawTokenAt(std::string_view text, std::size_t pos) const {
  return romscriber::RawTokenAt(m_table.Style(), text, pos);
}

std::uint32_t ItemModel::Child(std::uint32_t node, std::uint8_t byte) const {
  if (node == 0) return m_rootChild[byte];
  const Node& n = m_nodes[node];
  const auto* first = m_children.data() + n.FirstChild;
  const auto* last = first + n.Children;
  const auto* found = std::lower_bound(
      first, last, byte, [](const std::pair<std::uint8_t, std::uint32_t>& c, std::uint8_t b) {
        return c.first < b;
      });
  return found != last && found->first == byte ? found->second : 0;
}

void ItemModel::EdgesAt(std::string_view text, std::size_t pos, bool mustEnd,
                        std::vector<ItemEdge>& out) const {
  const std::size_t size = text.size();
  // An item ending at the text's end must be an end token exactly when the
  // text must end with one; end tokens stand nowhere else.
  const auto allowed = [&](std::size_t after, bool end) {
    return after == size ? end == mustEnd : !end;
  };
  std::uint32_t node = 0;
  for (std::size_t i = pos; i < size; ++i) {
    node = Child(node, static_cast<std::uint8_t>(text[i]));
    if (node == 0) break;
    const Node& n = m_nodes[node];
    const std::size_t after = i + 1;
    for (std::uint32_t k = n.FirstItem; k < n.FirstItem + n.Items; ++k) {
      const Item& item = m_items[k];
      if (item.Params == 0) {
        if (allowed(after, item.End)) out.push_back({static_cast<std::uint32_t>(after - pos), item.Cost, item.Ordinary});
        continue;
      }
      // A control code takes its parameters as the raw tokens after its
      // text; fewer of them only where the text ends.
      std::size_t tokens = 0;
      while (tokens < item.Params && RawTokenAt(text, after + tokens * m_tokenSize) >= 0)
        ++tokens;
      const std::size_t end = after + tokens * m_tokenSize;
      if ((tokens == item.Params || end == size) && allowed(end, item.End))
        out.push_back({static_cast<std::uint32_t>(end - pos),
                       static_cast<std::uint16_t>(item.Cost + tokens), false});
    }
  }
  // A raw byte, where no one-byte key reads that byte.
  const int raw = RawTokenAt(text, pos);
  if (raw >= 0 && !m_oneByteKey[static_cast<std::size_t>(raw)] && allowed(pos + m_tokenSize, false))
    out.push_back({static_cast<std::uint32_t>(m_tokenSize), 1, false});
}

std::int64_t FewestBytes(const ItemModel& model, std::string_view given,
                         std::span<const std::string> extra) {
  const std::string text = model.Normalized(given);
  const bool mustEnd = model.MustEnd(text);
  const std::size_t size = text.size();
  constexpr std::int64_t kUnreached = std::numeric_limits<std::int64_t>::max();
  std::vector<std::int64_t> cost(size + 1, kUnreached);
  cost[0] = 0;
  std::vector<ItemEdge> edges;
  for (std::size_t pos = 0; pos < size; ++pos) {
    if (cost[pos] == kUnreached) continue;
    edges.clear();
    model.EdgesAt(text, pos, mustEnd, edges);
    for (const std::string& e : extra) {
      if (!e.empty() && text.compare(pos, e.size(), e) == 0 && !(pos + e.size() == size && mustEnd))
        edges.push_back({static_cast<std::uint32_t>(e.size()), 1, true});
    }
    for (const ItemEdge& edge : edges)
      cost[pos + edge.Length] = std::min(cost[pos + edge.Length], cost[pos] + edge.Cost);
  }
  return cost[size] == kUnreached ? -1 : cost[size];
}

}  // namespace romscriber
