// Storage for a process-wide object that is never destroyed, so detached
// worker threads can still use it while the process exits.
#pragma once

#include <new>
#include <utility>

template <typename T>
class ZubNoDestructor {
 public:
  template <typename... Args>
  explicit ZubNoDestructor(Args&&... args) {
    new (m_storage) T(std::forward<Args>(args)...);
  }
  ZubNoDestructor(const ZubNoDestructor&) = delete;
  ZubNoDestructor& operator=(const ZubNoDestructor&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(m_storage)); }
  T* operator->() { return &get(); }

 private:
  alignas(T) unsigned char m_storage[sizeof(T)];
};
