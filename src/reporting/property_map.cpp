#include "reporting/property_map.h"

#include <algorithm>

namespace qrx {
namespace {

bool KeyBefore(const PropertyMap::Entry& entry, const std::wstring& key) { return entry.first < key; }

}  // namespace

std::wstring& PropertyMap::operator[](const std::wstring& key) {
  auto at = std::lower_bound(entries_.begin(), entries_.end(), key, KeyBefore);
  if (at == entries_.end() || at->first != key) at = entries_.insert(at, Entry(key, std::wstring()));
  return at->second;
}

PropertyMap::const_iterator PropertyMap::find(const std::wstring& key) const {
  const auto at = std::lower_bound(entries_.begin(), entries_.end(), key, KeyBefore);
  return at != entries_.end() && at->first == key ? at : entries_.end();
}

}  // namespace qrx
