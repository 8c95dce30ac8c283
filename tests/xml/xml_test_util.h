// Helpers shared by the XML library tests: UTF-8 literals as library text,
// documents to and from UTF-8, and a scratch folder for file tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "xml/GrowBuffer.h"
#include "xml/Utf8.h"
#include "xml/XMLDocument.h"
#include "xml_tree_compare.h"

namespace xmltest {

inline bool load(CXMLDocument& doc, const std::string& utf8, unsigned flags = 0) {
    return doc.loadBytes(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), flags);
}

// The document written with the flags, as UTF-8.
inline std::string save(const CXMLDocument& doc, unsigned flags) {
    GrowBuffer bytes;
    EXPECT_TRUE(doc.saveBytes(bytes, flags));
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline XString pathText(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return path.u16string();
#endif
}

// The sample files beside the test program (copied there by the build).
inline std::string sample(const char* name) {
    return readBytes(std::filesystem::path("xml_data") / name);
}

// A fresh folder under the test's working folder, removed afterwards.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string& name)
        : m_path(std::filesystem::absolute("scratch_" + name)) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    const std::filesystem::path& path() const { return m_path; }
    // Names of the entries in the folder.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_path))
            names.push_back(e.path().filename().string());
        return names;
    }

  private:
    std::filesystem::path m_path;
};

// An in-memory IXMLStream that can be told to fail or to return short reads.
class MemoryStream : public IXMLStream {
  public:
    explicit MemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}
    bool failRead = false, failSeek = false, failSize = false;
    uint32_t maxRead = 0xFFFFFFFFu;  // the most one read returns
    int reads = 0, seeks = 0;

    bool read(void* buffer, uint32_t size, uint32_t* bytesRead) override {
        *bytesRead = 0;
        if (size == 0) return true;
        ++reads;
        if (failRead) return false;
        size_t n = std::min<size_t>({size, maxRead, m_bytes.size() - m_pos});
        std::memcpy(buffer, m_bytes.data() + m_pos, n);
        m_pos += n;
        *bytesRead = static_cast<uint32_t>(n);
        return true;
    }
    bool write(const void*, uint32_t, uint32_t*) override { return false; }
    bool seek(int64_t distance, unsigned origin, uint64_t* newPosition) override {
        ++seeks;
        if (failSeek) return false;
        const int64_t base = origin == XML_SEEK_BEGIN ? 0
                             : origin == XML_SEEK_END ? static_cast<int64_t>(m_bytes.size())
                                                      : static_cast<int64_t>(m_pos);
        if (base + distance < 0) return false;
        m_pos = static_cast<size_t>(base + distance);
        if (newPosition) *newPosition = m_pos;
        return true;
    }
    bool setSize(uint64_t) override { return false; }
    bool getSize(uint64_t* size) override {
        if (failSize) return false;
        *size = m_bytes.size();
        return true;
    }
    bool flush() override { return true; }
    const xchar* getPath() override { return XS("memory.xml"); }
    const xchar* getErrorText() override { return XS("read failed"); }

  private:
    std::string m_bytes;
    size_t m_pos = 0;
};

}  // namespace xmltest
