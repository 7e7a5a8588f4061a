// kit::local_shared_ptr: the timestamp index's reference-counted pointer. The use
// and weak counts are plain integers, so an object shared this way must stay on one
// thread; in exchange copies cost no atomic operations. The last owner destroys the
// object; the control block lives until the last weak reference is gone.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace kit {

namespace detail {

// Counts of one shared object. The weak count includes one reference held jointly
// by all owners, so the block outlives the object while owners remain.
class local_control_block {
 public:
  local_control_block() = default;
  local_control_block(const local_control_block&) = delete;
  local_control_block& operator=(const local_control_block&) = delete;

  void add_use() noexcept { ++uses_; }
  void add_weak() noexcept { ++weaks_; }
  long use_count() const noexcept { return uses_; }

  void release_use() noexcept {
    if (--uses_ == 0) {
      dispose();
      release_weak();
    }
  }
  void release_weak() noexcept {
    if (--weaks_ == 0) destroy();
  }

 protected:
  virtual ~local_control_block() = default;

 private:
  virtual void dispose() noexcept = 0;  // destroys the object
  virtual void destroy() noexcept = 0;  // frees the block (and the object's storage)

  long uses_ = 1;
  long weaks_ = 1;
};

// An object allocated apart from its block, freed by a deleter.
template <class T, class D>
class local_pointer_block final : public local_control_block {
 public:
  local_pointer_block(T* object, D deleter) : object_(object), deleter_(std::move(deleter)) {}

 private:
  void dispose() noexcept override { deleter_(object_); }
  void destroy() noexcept override { delete this; }

  T* object_;
  D deleter_;
};

// An object that lives inside its block (make_local_shared).
template <class T>
class local_inplace_block final : public local_control_block {
 public:
  template <class... Args>
  explicit local_inplace_block(Args&&... args) {
    ::new (static_cast<void*>(&storage_)) T(std::forward<Args>(args)...);
  }
  T* object() noexcept { return std::launder(reinterpret_cast<T*>(&storage_)); }

 private:
  void dispose() noexcept override { object()->~T(); }
  void destroy() noexcept override { delete this; }

  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace detail

template <class T>
class local_weak_ptr;

template <class T>
class local_shared_ptr {
 public:
  using element_type = T;

  constexpr local_shared_ptr() noexcept = default;
  constexpr local_shared_ptr(std::nullptr_t) noexcept {}

  // Takes ownership of object, deleted with delete; on allocation failure the
  // object is deleted before the exception leaves.
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  explicit local_shared_ptr(U* object) : local_shared_ptr(object, std::default_delete<U>()) {}

  // Takes ownership of object, released with deleter(object).
  template <class U, class D, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  local_shared_ptr(U* object, D deleter) {
    if (object == nullptr) return;
    try {
      block_ = new detail::local_pointer_block<U, D>(object, deleter);
    } catch (...) {
      deleter(object);
      throw;
    }
    object_ = object;
  }

  local_shared_ptr(const local_shared_ptr& other) noexcept : object_(other.object_), block_(other.block_) {
    if (block_ != nullptr) block_->add_use();
  }
  local_shared_ptr(local_shared_ptr&& other) noexcept : object_(other.object_), block_(other.block_) {
    other.object_ = nullptr;
    other.block_ = nullptr;
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  local_shared_ptr(const local_shared_ptr<U>& other) noexcept : object_(other.object_), block_(other.block_) {
    if (block_ != nullptr) block_->add_use();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  local_shared_ptr(local_shared_ptr<U>&& other) noexcept : object_(other.object_), block_(other.block_) {
    other.object_ = nullptr;
    other.block_ = nullptr;
  }
  // Shares other's ownership but points at object (a part or a cast of other's object).
  template <class U>
  local_shared_ptr(const local_shared_ptr<U>& other, T* object) noexcept : object_(object), block_(other.block_) {
    if (block_ != nullptr) block_->add_use();
  }

  ~local_shared_ptr() {
    if (block_ != nullptr) block_->release_use();
  }

  local_shared_ptr& operator=(const local_shared_ptr& other) noexcept {
    local_shared_ptr(other).swap(*this);
    return *this;
  }
  local_shared_ptr& operator=(local_shared_ptr&& other) noexcept {
    local_shared_ptr(std::move(other)).swap(*this);
    return *this;
  }
  local_shared_ptr& operator=(std::nullptr_t) noexcept {
    reset();
    return *this;
  }

  void reset() noexcept { local_shared_ptr().swap(*this); }
  void swap(local_shared_ptr& other) noexcept {
    std::swap(object_, other.object_);
    std::swap(block_, other.block_);
  }

  T* get() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  long use_count() const noexcept { return block_ != nullptr ? block_->use_count() : 0; }

 private:
  template <class U>
  friend class local_shared_ptr;
  template <class U>
  friend class local_weak_ptr;
  template <class U, class... Args>
  friend local_shared_ptr<U> make_local_shared(Args&&... args);

  struct adopt_block {};
  local_shared_ptr(adopt_block, T* object, detail::local_control_block* block) noexcept
      : object_(object), block_(block) {}

  T* object_ = nullptr;
  detail::local_control_block* block_ = nullptr;
};

template <class T, class U>
bool operator==(const local_shared_ptr<T>& a, const local_shared_ptr<U>& b) noexcept {
  return a.get() == b.get();
}
template <class T>
bool operator==(const local_shared_ptr<T>& a, std::nullptr_t) noexcept {
  return a.get() == nullptr;
}

// Allocates the object and its counts in one block.
template <class T, class... Args>
local_shared_ptr<T> make_local_shared(Args&&... args) {
  auto* block = new detail::local_inplace_block<T>(std::forward<Args>(args)...);
  return local_shared_ptr<T>(typename local_shared_ptr<T>::adopt_block{}, block->object(), block);
}

// The object of p as a U when it is one, else an empty pointer; shares p's ownership.
template <class U, class T>
local_shared_ptr<U> dynamic_pointer_cast(const local_shared_ptr<T>& p) noexcept {
  if (U* object = dynamic_cast<U*>(p.get())) return local_shared_ptr<U>(p, object);
  return {};
}

// The object of p as a U, which it must be; shares p's ownership.
template <class U, class T>
local_shared_ptr<U> static_pointer_cast(const local_shared_ptr<T>& p) noexcept {
  return local_shared_ptr<U>(p, static_cast<U*>(p.get()));
}

// A reference that does not keep the object alive; lock() yields an owner while
// the object still exists.
template <class T>
class local_weak_ptr {
 public:
  constexpr local_weak_ptr() noexcept = default;
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  local_weak_ptr(const local_shared_ptr<U>& owner) noexcept : object_(owner.object_), block_(owner.block_) {
    if (block_ != nullptr) block_->add_weak();
  }
  local_weak_ptr(const local_weak_ptr& other) noexcept : object_(other.object_), block_(other.block_) {
    if (block_ != nullptr) block_->add_weak();
  }
  local_weak_ptr(local_weak_ptr&& other) noexcept : object_(other.object_), block_(other.block_) {
    other.object_ = nullptr;
    other.block_ = nullptr;
  }
  ~local_weak_ptr() {
    if (block_ != nullptr) block_->release_weak();
  }
  local_weak_ptr& operator=(const local_weak_ptr& other) noexcept {
    local_weak_ptr(other).swap(*this);
    return *this;
  }
  local_weak_ptr& operator=(local_weak_ptr&& other) noexcept {
    local_weak_ptr(std::move(other)).swap(*this);
    return *this;
  }

  void reset() noexcept { local_weak_ptr().swap(*this); }
  void swap(local_weak_ptr& other) noexcept {
    std::swap(object_, other.object_);
    std::swap(block_, other.block_);
  }

  bool expired() const noexcept { return block_ == nullptr || block_->use_count() == 0; }
  // An owner of the object, or an empty pointer once it was destroyed.
  local_shared_ptr<T> lock() const noexcept {
    if (expired()) return {};
    block_->add_use();
    return local_shared_ptr<T>(typename local_shared_ptr<T>::adopt_block{}, object_, block_);
  }

 private:
  T* object_ = nullptr;
  detail::local_control_block* block_ = nullptr;
};

}  // namespace kit
