// A growable byte buffer: {block, capacity, length}. Reserving n more bytes
// grows the capacity to length + max(n, step), where step is capacity / 4 + 32
// above 128 bytes and 32 otherwise, so small buffers grow in small steps and
// large ones by a quarter. A failed reallocation leaves the buffer as it was.
#pragma once

#include <cstddef>
#include <cstdint>

class GrowBuffer {
  public:
    GrowBuffer() = default;
    ~GrowBuffer();
    GrowBuffer(const GrowBuffer&) = delete;
    GrowBuffer& operator=(const GrowBuffer&) = delete;
    GrowBuffer(GrowBuffer&& other) noexcept;
    GrowBuffer& operator=(GrowBuffer&& other) noexcept;

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_length; }
    size_t capacity() const { return m_capacity; }
    size_t freeBytes() const { return m_capacity - m_length; }
    uint8_t* end() { return m_data + m_length; }

    // Makes room for n more bytes behind the length (growth rule above).
    bool reserve(size_t n);
    // Grows the capacity to exactly `capacity` bytes (never shrinks).
    bool growTo(size_t capacity);
    bool append(const void* bytes, size_t n);
    // Sets the length within the capacity (bytes written directly at end()).
    void setSize(size_t n) { m_length = n <= m_capacity ? n : m_capacity; }
    void clear() { m_length = 0; }
    // Releases the block; all three fields become zero.
    void free();

    // The growth step of the rule above for the current capacity.
    size_t growthStep() const { return m_capacity > 128 ? m_capacity / 4 + 32 : 32; }

  private:
    uint8_t* m_data = nullptr;
    size_t m_capacity = 0;
    size_t m_length = 0;
};
