#include "xml/IxlSchema.h"

#include "xml/XMLNode.h"
#include "xml/XMLString.h"
#include "xml/XMLValues.h"

const IxlSchemaEntry kIxlMacroSchema[] = {
    {XS("macroses"), IXL_MACROSES, 0, nullptr},
    {XS("macro"), IXL_MACRO, 0, nullptr},
    {XS("name"), IXL_MACRO_NAME, IXLVAL_STR, nullptr},
    {XS("description"), IXL_MACRO_DESCRIPTION, IXLVAL_STR, nullptr},
    {XS("type"), IXL_MACRO_TYPE, IXLVAL_ENUM, XS("keystroke,launch,useProfile,assignProfile")},
    {XS("param"), IXL_MACRO_PARAM, IXLVAL_STR, nullptr},
    {XS(""), IXL_MACRO_BODY, IXLVAL_STR, nullptr},
    {XS(""), 0, 0, nullptr},
};

const IxlSchemaEntry kIxlProfileSchema[] = {
    {XS("profiles"), IXL_PROFILES, 0, nullptr},
    {XS("profile"), IXL_PROFILE, 0, nullptr},
    {XS("name"), IXL_PROFILE_NAME, IXLVAL_ARRSTR, nullptr},
    {XS("enabled"), IXL_PROFILE_ENABLED, IXLVAL_BOOL, nullptr},
    {XS("lexGenFile"), IXL_PROFILE_LEX_GEN_FILE, IXLVAL_STR, nullptr},
    {XS("lexGenStandard"), IXL_PROFILE_LEX_GEN_STANDARD, IXLVAL_BOOL, nullptr},
    {XS("sepLet"), IXL_PROFILE_SEP_LET, IXLVAL_BOOL, nullptr},
    {XS("wordSegm"), IXL_PROFILE_WORD_SEGM, IXLVAL_BOOL, nullptr},
    {XS("wordMultiLine"), IXL_PROFILE_WORD_MULTI_LINE, IXLVAL_BOOL, nullptr},
    {XS("addSpaceAfter"), IXL_PROFILE_ADD_SPACE_AFTER, IXLVAL_BOOL, nullptr},
    {XS("enableGate"), IXL_PROFILE_ENABLE_GATE, IXLVAL_BOOL, nullptr},
    {XS("recTimeout"), IXL_PROFILE_REC_TIMEOUT, IXLVAL_INT, nullptr},
    {XS("userDicts"), IXL_PROFILE_USER_DICTS, IXLVAL_ARRSTR, nullptr},
    {XS("preloadContext"), IXL_PROFILE_PRELOAD_CONTEXT, IXLVAL_BOOL, nullptr},
    {XS("useRecCtxFromProfile"), IXL_PROFILE_USE_REC_CTX_FROM, IXLVAL_STR, nullptr},
    {XS("onlyForLanguage"), IXL_PROFILE_ONLY_FOR_LANGUAGE, IXLVAL_STR, nullptr},
    {XS("default"), IXL_PROFILE_DEFAULT, IXLVAL_BOOL, nullptr},
    {XS("description"), IXL_PROFILE_DESCRIPTION, IXLVAL_STR, nullptr},
    {XS("capitalization"), IXL_PROFILE_CAPITALIZATION, IXLVAL_ENUM, XS("all,first,none")},
    {XS("softBreaksOnly"), IXL_PROFILE_SOFT_BREAKS_ONLY, IXLVAL_BOOL, nullptr},
    {XS(""), 0, 0, nullptr},
};

// ---------------------------------------------------------------- indexer

IxlIndexer::IxlIndexer(const IxlSchemaEntry* table) {
    Element* current = nullptr;
    for (const IxlSchemaEntry* e = table; e && e->name; ++e) {
        if (e->type == 0) {
            if (!*e->name) break;  // the end of the table
            current = &m_elements[e->name];
            current->id = e->id;
            continue;
        }
        if (!current) continue;
        Attr attr;
        attr.id = e->id;
        attr.type = e->type;
        if (e->type == IXLVAL_ENUM && e->words) {
            // Words separated by commas and spaces, numbered from 0 in order.
            XString word;
            int number = 0;
            for (const xchar* p = e->words;; ++p) {
                if (*p == ',' || *p == ' ' || *p == 0) {
                    if (!word.empty()) attr.words[word] = number++;
                    word.clear();
                    if (!*p) break;
                } else {
                    word.push_back(*p);
                }
            }
        }
        if (!*e->name) {
            current->hasText = true;
            current->text = std::move(attr);
        } else {
            current->attributes[e->name] = std::move(attr);
        }
    }
}

IxlIndexer::~IxlIndexer() = default;

const IxlIndexer::Element* IxlIndexer::element(const XString& name) const {
    auto it = m_elements.find(name);
    return it == m_elements.end() ? nullptr : &it->second;
}

const XString* IxlIndexer::attributeName(int elementId, int attrId) const {
    static const XString kText = XS("");
    for (const auto& [name, e] : m_elements) {
        if (e.id != elementId) continue;
        for (const auto& [attrName, a] : e.attributes)
            if (a.id == attrId) return &attrName;
        if (e.hasText && e.text.id == attrId) return &kText;
    }
    return nullptr;
}

// ---------------------------------------------------------------- values and records

CIxlAttr::~CIxlAttr() = default;

void CIxlAttr::setInt(int id, int type, int value) {
    m_id = id;
    m_type = type;
    m_int = value;
}

void CIxlAttr::setText(int id, XString text) {
    m_id = id;
    m_type = IXLVAL_STR;
    m_text = std::move(text);
}

void CIxlAttr::setList(int id, std::vector<XString> list) {
    m_id = id;
    m_type = IXLVAL_ARRSTR;
    m_list = std::move(list);
}

IxlRecord::~IxlRecord() {
    std::vector<IxlRecord*> pending;
    pending.swap(children);
    while (!pending.empty()) {
        IxlRecord* r = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), r->children.begin(), r->children.end());
        r->children.clear();
        delete r;
    }
}

bool splitTokens(const XString& text, std::vector<XString>& out, const xchar* separators) {
    out.clear();
    auto isSeparator = [separators](xchar c) {
        for (const xchar* s = separators; s && *s; ++s)
            if (*s == c) return true;
        return false;
    };
    XString token;
    bool inToken = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const xchar c = text[i];
        if (isSeparator(c)) {
            if (i + 1 < text.size() && text[i + 1] == c) {
                token.push_back(c);  // a doubled separator is a literal one
                inToken = true;
                ++i;
                continue;
            }
            if (inToken) out.push_back(xmlTrim(token));
            token.clear();
            inToken = false;
        } else {
            token.push_back(c);
            inToken = true;
        }
    }
    if (inToken) out.push_back(xmlTrim(token));
    return !out.empty();
}

namespace {

// Converts a value by its type; false leaves the attribute out of the record.
bool convertValue(const IxlIndexer::Attr& attr, const XString& raw, CIxlAttr& out) {
    switch (attr.type) {
        case IXLVAL_INT: {
            int v = 0;
            if (!xmlParseInt(raw.c_str(), v)) v = 0;
            out.setInt(attr.id, IXLVAL_INT, v);
            return true;
        }
        case IXLVAL_BOOL: {
            XString v = xmlTrim(raw);
            out.setInt(attr.id, IXLVAL_BOOL, xmlIsTrueText(v.c_str()) ? 1 : 0);
            return true;
        }
        case IXLVAL_STR:
            out.setText(attr.id, raw);
            return true;
        case IXLVAL_ENUM: {
            // A word the schema does not know leaves the attribute out.
            auto it = attr.words.find(raw);
            if (it == attr.words.end()) return false;
            out.setInt(attr.id, IXLVAL_ENUM, it->second);
            return true;
        }
        case IXLVAL_ARRSTR: {
            std::vector<XString> tokens;
            splitTokens(raw, tokens, XS("|"));
            if (tokens.size() == 1)
                out.setText(attr.id, tokens[0]);
            else if (tokens.empty())
                out.setText(attr.id, raw);
            else
                out.setList(attr.id, std::move(tokens));
            return true;
        }
    }
    return false;
}

void fillRecord(const IxlIndexer::Element& schema, const CXMLElement& element, IxlRecord& record) {
    record.id = schema.id;
    XString text;
    bool haveText = false;
    auto elementText = [&]() -> const XString& {
        if (!haveText) {
            element.getText(text);
            text = xmlTrim(text);
            haveText = true;
        }
        return text;
    };
    for (const CXMLAttribute& a : element.attributes()) {
        auto it = schema.attributes.find(a.name());
        if (it == schema.attributes.end()) continue;
        const XString& raw = a.value() == XS("@") ? elementText() : a.value();
        auto value = std::make_unique<CIxlAttr>();
        if (convertValue(it->second, raw, *value)) record.attrs.push_back(std::move(value));
    }
    if (schema.hasText) {
        XString body;
        bool have = element.getText(body);
        if (!have) {
            if (const CXMLCData* c = element.cdata(0)) {
                body = c->text();
                have = true;
            }
        }
        if (have) {
            for (xchar& c : body)
                if (c == '\n') c = '\r';
            IxlIndexer::Attr textAttr = schema.text;
            if (textAttr.type != IXLVAL_ARRSTR) textAttr.type = IXLVAL_STR;
            auto value = std::make_unique<CIxlAttr>();
            if (convertValue(textAttr, body, *value)) record.attrs.push_back(std::move(value));
        }
    }
}

}  // namespace

std::unique_ptr<IxlRecord> ixlBuildRecords(const IxlIndexer& indexer, const CXMLElement& root) {
    const IxlIndexer::Element* schema = indexer.element(root.name());
    if (!schema) return nullptr;
    auto top = std::make_unique<IxlRecord>();
    fillRecord(*schema, root, *top);
    // Depth first with an explicit stack: a deeply nested file cannot exhaust
    // the program's stack.
    std::vector<std::pair<const CXMLElement*, IxlRecord*>> work{{&root, top.get()}};
    while (!work.empty()) {
        auto [element, record] = work.back();
        work.pop_back();
        for (size_t i = 0; const CXMLNode* n = element->child(i); ++i) {
            if (!n->isElement()) continue;
            const CXMLElement* child = static_cast<const CXMLElement*>(n);
            const IxlIndexer::Element* childSchema = indexer.element(child->name());
            if (!childSchema) continue;
            IxlRecord* r = new IxlRecord;
            record->children.push_back(r);
            fillRecord(*childSchema, *child, *r);
            work.emplace_back(child, r);
        }
    }
    return top;
}
