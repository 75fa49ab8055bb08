#include "platform/support/files/name_order.h"

#include <algorithm>
#include <tuple>

#include "platform/text.h"

namespace qano {

namespace {
// Sorts `items` by their names, each name folded once; the items themselves move once.
template <class T, class Name>
void sort_by_name(std::vector<T>& items, Name name_of) {
  std::vector<std::pair<std::string, std::size_t>> keyed;
  keyed.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i)
    keyed.emplace_back(text::fold(name_of(items[i])), i);
  std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    return std::tie(a.first, name_of(items[a.second])) <
           std::tie(b.first, name_of(items[b.second]));
  });
  std::vector<T> sorted;
  sorted.reserve(items.size());
  for (const auto& k : keyed) sorted.push_back(std::move(items[k.second]));
  items = std::move(sorted);
}
}  // namespace

void sort_names(std::vector<std::string>& names) {
  sort_by_name(names, [](const std::string& n) -> const std::string& { return n; });
}

void sort_entries(std::vector<Entry>& entries) {
  sort_by_name(entries, [](const Entry& e) -> const std::string& { return e.name; });
}

}  // namespace qano
