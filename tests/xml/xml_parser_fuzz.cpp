// Fuzz target over the reader: any input either fails with an error code or
// loads into a tree that is written back and reads again as the same tree,
// the same through a stream read in small pieces, and the typed layer can
// build and pack records from whatever loaded.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xml/IxlScribixHelper.h"
#include "xml_tree_compare.h"

namespace {

class PieceStream : public IXMLStream {
  public:
    PieceStream(const uint8_t* data, size_t size, uint32_t piece)
        : m_data(data), m_size(size), m_piece(piece) {}
    bool read(void* buffer, uint32_t size, uint32_t* bytesRead) override {
        const size_t n = std::min<size_t>({size, m_piece, m_size - m_pos});
        std::memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        *bytesRead = static_cast<uint32_t>(n);
        return true;
    }
    bool write(const void*, uint32_t, uint32_t*) override { return false; }
    bool seek(int64_t distance, unsigned origin, uint64_t*) override {
        if (origin != XML_SEEK_CURRENT || static_cast<int64_t>(m_pos) + distance < 0) return false;
        m_pos = static_cast<size_t>(static_cast<int64_t>(m_pos) + distance);
        return true;
    }
    bool setSize(uint64_t) override { return false; }
    bool getSize(uint64_t* size) override {
        *size = m_size;
        return true;
    }
    bool flush() override { return true; }
    const xchar* getPath() override { return XS("fuzz"); }
    const xchar* getErrorText() override { return XS(""); }

  private:
    const uint8_t* m_data;
    size_t m_size;
    uint32_t m_piece;
    size_t m_pos = 0;
};

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXMLDocument doc;
    const bool loaded = doc.loadBytes(data, size, XML_LOAD_DROP_INDENT);
    check(loaded == (doc.errorCode() == XML_ERROR_NONE));

    if (size) {
        PieceStream stream(data, size, 1 + (size % 5));
        CXMLDocument viaStream;
        check(viaStream.loadStream(stream, XML_LOAD_DROP_INDENT) == loaded);
        if (loaded) check(xmltest::treeDiff(doc, viaStream).empty());
    }
    if (!loaded) return 0;

    GrowBuffer written;
    check(doc.saveBytes(written, XML_WRITE_INDENT));
    CXMLDocument back;
    check(back.loadBytes(written.data(), written.size(), XML_LOAD_DROP_INDENT));
    check(xmltest::treeDiff(doc, back).empty());

    for (const IxlSchemaEntry* schema : {kIxlMacroSchema, kIxlProfileSchema}) {
        IxlIndexer indexer(schema);
        if (auto records = ixlBuildRecords(indexer, *doc.root())) {
            const size_t packed = ixlPackPlain(records.get(), nullptr, 0);
            if (packed) {
                std::string blob(packed, '\0');
                check(ixlPackPlain(records.get(), &blob[0], blob.size()) == packed);
            }
        }
    }
    return 0;
}
