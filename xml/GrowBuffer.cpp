#include "xml/GrowBuffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

GrowBuffer::~GrowBuffer() { std::free(m_data); }

GrowBuffer::GrowBuffer(GrowBuffer&& other) noexcept
    : m_data(other.m_data), m_capacity(other.m_capacity), m_length(other.m_length) {
    other.m_data = nullptr;
    other.m_capacity = other.m_length = 0;
}

GrowBuffer& GrowBuffer::operator=(GrowBuffer&& other) noexcept {
    if (this != &other) {
        std::free(m_data);
        m_data = std::exchange(other.m_data, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

bool GrowBuffer::growTo(size_t capacity) {
    if (capacity <= m_capacity) return true;
    void* block = std::realloc(m_data, capacity);
    if (!block) return false;
    m_data = static_cast<uint8_t*>(block);
    m_capacity = capacity;
    return true;
}

bool GrowBuffer::reserve(size_t n) {
    if (n <= m_capacity - m_length) return true;
    const size_t step = growthStep();
    const size_t more = n > step ? n : step;
    if (more > SIZE_MAX - m_length) return false;
    return growTo(m_length + more);
}

bool GrowBuffer::append(const void* bytes, size_t n) {
    if (n == 0) return true;
    if (!reserve(n)) return false;
    std::memcpy(m_data + m_length, bytes, n);
    m_length += n;
    return true;
}

void GrowBuffer::free() {
    std::free(m_data);
    m_data = nullptr;
    m_capacity = m_length = 0;
}
