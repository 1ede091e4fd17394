// A growable array of plain values whose allocations report failure instead of throwing. The zip
// layer sizes some buffers from fields of the archive, and the shipped build has no exceptions,
// so running out of memory must come back as a failed call. Standard C++ only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace qrx {

template <typename T>
class NothrowArray {
  static_assert(std::is_trivially_copyable<T>::value, "values are moved with memcpy");

 public:
  NothrowArray() = default;
  NothrowArray(const NothrowArray&) = delete;
  NothrowArray& operator=(const NothrowArray&) = delete;
  NothrowArray(NothrowArray&& other) noexcept { *this = static_cast<NothrowArray&&>(other); }
  NothrowArray& operator=(NothrowArray&& other) noexcept {
    items_ = static_cast<std::unique_ptr<T[]>&&>(other.items_);
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.size_ = other.capacity_ = 0;
    return *this;
  }

  T* data() { return items_.get(); }
  const T* data() const { return items_.get(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) { return items_[i]; }
  const T& operator[](size_t i) const { return items_[i]; }

  // At least `count` values fit without another allocation.
  bool Reserve(size_t count) {
    if (count <= capacity_) return true;
    if (count > SIZE_MAX / sizeof(T)) return false;
    std::unique_ptr<T[]> grown(new (std::nothrow) T[count]);
    if (!grown) return false;
    if (size_ != 0) memcpy(grown.get(), items_.get(), size_ * sizeof(T));
    items_ = static_cast<std::unique_ptr<T[]>&&>(grown);
    capacity_ = count;
    return true;
  }

  // New values are zero; on failure the contents stay as they were.
  bool Resize(size_t count) {
    if (!Reserve(count)) return false;
    if (count > size_) memset(static_cast<void*>(items_.get() + size_), 0, (count - size_) * sizeof(T));
    size_ = count;
    return true;
  }

  bool Append(const T* values, size_t count) {
    if (count == 0) return true;
    if (count > SIZE_MAX - size_) return false;
    const size_t needed = size_ + count;
    // Doubling keeps repeated appends linear; fall back to the exact size when that is too much.
    if (needed > capacity_) {
      const bool doubled = capacity_ <= SIZE_MAX / 2 && needed < capacity_ * 2 && Reserve(capacity_ * 2);
      if (!doubled && !Reserve(needed)) return false;
    }
    memcpy(items_.get() + size_, values, count * sizeof(T));
    size_ = needed;
    return true;
  }

  bool Assign(const T* values, size_t count) {
    size_ = 0;
    return Append(values, count);
  }

  // Drops the values and the memory.
  void Release() {
    items_.reset();
    size_ = capacity_ = 0;
  }

 private:
  std::unique_ptr<T[]> items_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace qrx
