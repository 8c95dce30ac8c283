#include "xml/IxlScribixHelper.h"

#include "xml/XMLPlatform.h"

IxlScribixHelper::IxlScribixHelper() = default;

IxlScribixHelper::IxlScribixHelper(int kind) { setKind(kind); }

IxlScribixHelper::~IxlScribixHelper() = default;

namespace {
struct KindSchema {
    int kind;
    const IxlSchemaEntry* schema;
    const xchar* root;
    const xchar* item;
    const xchar* key;
};
const KindSchema kKinds[] = {
    {IXL_KIND_MACRO, kIxlMacroSchema, XS("macroses"), XS("macro"), XS("name")},
    {IXL_KIND_PROFILE, kIxlProfileSchema, XS("profiles"), XS("profile"), XS("name")},
};
}  // namespace

bool IxlScribixHelper::setKind(int kind) {
    m_loaded = false;
    m_records.reset();
    m_indexer.reset();
    m_kind = IXL_KIND_NONE;
    m_schema = nullptr;
    m_rootName = m_itemName = m_keyName = nullptr;
    for (const KindSchema& k : kKinds) {
        if (k.kind != kind) continue;
        m_kind = kind;
        m_schema = k.schema;
        m_rootName = k.root;
        m_itemName = k.item;
        m_keyName = k.key;
        return true;
    }
    return false;
}

bool IxlScribixHelper::load(const xchar* path, bool domOnly) {
    if (!m_schema || !path) return false;
    m_loaded = false;
    m_records.reset();
    m_path = path;
    if (!m_dom.load(path)) {
        if (fileExists(path, false)) return false;
        // No file yet: an empty document of this kind, to be saved later.
        m_dom.document()->reset();
        if (!m_dom.document()->createRoot(m_rootName)) return false;
    }
    if (domOnly) {
        m_loaded = true;
        return true;
    }
    m_indexer = std::make_unique<IxlIndexer>(m_schema);
    const CXMLElement* root = m_dom.document() ? m_dom.document()->root() : nullptr;
    if (!root) return false;
    m_records = ixlBuildRecords(*m_indexer, *root);
    m_loaded = m_records != nullptr;
    return m_loaded;
}

size_t IxlScribixHelper::packPlain(void* buffer, size_t capacity) const {
    return m_records ? ixlPackPlain(m_records.get(), buffer, capacity) : 0;
}

bool IxlScribixHelper::appendItem(CLiteElem& element) {
    CLiteElem root;
    return m_dom.getRoot(root) && root.appendChild(element);
}

bool IxlScribixHelper::removeItem(CLiteElem& element) {
    CLiteElem root;
    return m_dom.getRoot(root) && root.removeChild(element);
}

bool IxlScribixHelper::getFirstItem(CLiteElem& out) const {
    CLiteElem root;
    if (!m_itemName || !m_dom.getRoot(root)) return false;
    for (size_t i = 0; root.findChild(out, m_itemName, i); ++i) {
        XString key;
        if (out.getAttrString(m_keyName, key)) return true;
    }
    return false;
}

bool IxlScribixHelper::isEmpty() const {
    CLiteElem first;
    return !m_loaded || !getFirstItem(first);
}

bool IxlScribixHelper::findItemByName(CLiteElem& out, LiteText name) const {
    CLiteElem root;
    return m_itemName && name.get() && m_dom.getRoot(root) &&
           root.findChildByAttr(out, m_itemName, m_keyName, name);
}

bool IxlScribixHelper::getMacroNames(std::vector<XString>& names) const {
    names.clear();
    CLiteElem root, item;
    if (!m_dom.getRoot(root)) return false;
    for (size_t i = 0; root.findChild(item, XS("macro"), i); ++i) {
        XString name;
        if (item.getAttrString(XS("name"), name)) names.push_back(name);
    }
    return true;
}

bool IxlScribixHelper::save() { return !m_path.empty() && m_dom.save(m_path, 0); }

size_t readFileToBuffer(const xchar* path, void* buffer, size_t capacity) {
    std::unique_ptr<IXMLStream> stream;
    XString error;
    uint64_t size = 0;
    if (!path || !xmlOpenFileStream(path, stream, error) || !stream->getSize(&size)) return 0;
    if (size > 0xFFFFFFFFu) return 0;
    if (!buffer) return static_cast<size_t>(size);
    if (size > capacity) return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t done = 0;
    while (done < size) {
        uint32_t got = 0;
        if (!stream->read(out + done, static_cast<uint32_t>(size - done), &got) || got == 0)
            return 0;
        done += got;
    }
    return static_cast<size_t>(size);
}
