// Page-visible properties by name, ordered by UTF-16 code unit. A sorted vector: a run holds a few
// dozen of them, and std::map would bring the C++ library's tree code (about 3 KB) into the
// executable for this one use.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace qrx {

class PropertyMap {
 public:
  using Entry = std::pair<std::wstring, std::wstring>;
  using const_iterator = std::vector<Entry>::const_iterator;

  // The value under `key`, added empty when there is none (as std::map's operator[]).
  std::wstring& operator[](const std::wstring& key);
  const_iterator find(const std::wstring& key) const;
  size_t count(const std::wstring& key) const { return find(key) == end() ? 0 : 1; }

  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace qrx
