// Containers for the tables that grow to many megabytes (regions, names):
// past LARGE_TABLE_BYTES their memory comes from os::allocate_large, in
// huge pages where the system gives them.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "os.hpp"

inline constexpr std::size_t LARGE_TABLE_BYTES = std::size_t{4} << 20;

template <class T>
struct large_allocator {
  using value_type = T;

  large_allocator() = default;
  template <class U>
  large_allocator(const large_allocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n * sizeof(T) < LARGE_TABLE_BYTES) return std::allocator<T>{}.allocate(n);
    // As operator new does: the new handler, if any, runs before giving up
    // (the tools' ends the run with a message).
    void* memory = os::allocate_large(n * sizeof(T));
    while (memory == nullptr) {
      const std::new_handler handler = std::get_new_handler();
      if (handler == nullptr) throw std::bad_alloc();
      handler();
      memory = os::allocate_large(n * sizeof(T));
    }
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, std::size_t n) noexcept {
    if (n * sizeof(T) < LARGE_TABLE_BYTES)
      std::allocator<T>{}.deallocate(memory, n);
    else
      os::release_large(memory, n * sizeof(T));
  }

  template <class U>
  bool operator==(const large_allocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using large_vector = std::vector<T, large_allocator<T>>;
using large_string = std::basic_string<char, std::char_traits<char>, large_allocator<char>>;
