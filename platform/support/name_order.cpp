#include "platform/support/name_order.h"

#include <algorithm>
#include <tuple>

#include "platform/text.h"

namespace qano {

namespace {
// Sorts `items` by their names, each name folded once.
template <class T, class Name>
void sort_by_name(std::vector<T>& items, Name name_of) {
  std::vector<std::pair<std::string, T>> keyed;
  keyed.reserve(items.size());
  for (T& item : items) keyed.emplace_back(text::fold(name_of(item)), std::move(item));
  std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    return std::tie(a.first, name_of(a.second)) < std::tie(b.first, name_of(b.second));
  });
  items.clear();
  for (auto& k : keyed) items.push_back(std::move(k.second));
}
}  // namespace

void sort_names(std::vector<std::string>& names) {
  sort_by_name(names, [](const std::string& n) -> const std::string& { return n; });
}

void sort_entries(std::vector<Entry>& entries) {
  sort_by_name(entries, [](const Entry& e) -> const std::string& { return e.name; });
}

}  // namespace qano
