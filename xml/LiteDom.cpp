#include "xml/LiteDom.h"

#include <new>

#include "xml/XMLPlatform.h"

// ---------------------------------------------------------------- CLiteObj

CLiteObj::~CLiteObj() { release(); }

void CLiteObj::setObject(void* object, bool owned) {
    if (object == m_ref.object) {
        m_ref.owned = owned;
        return;
    }
    release();
    m_ref.object = object;
    m_ref.owned = object && owned;
}

void CLiteObj::release() {
    if (m_ref.object && m_ref.owned) {
        switch (m_ref.kind) {
            case kDocument:
                delete static_cast<CXMLDocument*>(m_ref.object);
                break;
            case kElement:
                delete static_cast<CXMLNode*>(m_ref.object);
                break;
            case kAttribute:
                delete static_cast<CXMLAttribute*>(m_ref.object);
                break;
            case kNone:
                break;
        }
    }
    m_ref.object = nullptr;
    m_ref.owned = false;
}

// ---------------------------------------------------------------- CLiteDom

namespace {
unsigned loadFlags(unsigned flags) { return flags ? flags : XML_LOAD_DROP_INDENT; }
}  // namespace

CLiteDom::CLiteDom() : CLiteObj(kDocument) { setObject(new CXMLDocument, true); }

CLiteDom::CLiteDom(const CLiteDom& other) : CLiteObj(kDocument) { *this = other; }

CLiteDom& CLiteDom::operator=(const CLiteDom& other) {
    if (this == &other) return *this;
    if (other.m_ref.owned && other.document())
        setObject(new (std::nothrow) CXMLDocument(*other.document()), true);
    else
        setObject(other.m_ref.object, false);
    return *this;
}

bool CLiteDom::load(LiteText path, unsigned flags) {
    CXMLDocument* doc = document();
    return doc && path.get() && doc->loadFile(path.get(), loadFlags(flags));
}

bool CLiteDom::loadFromString(const xchar* text, size_t length, unsigned flags) {
    CXMLDocument* doc = document();
    return doc && text && doc->loadText(text, length, loadFlags(flags));
}

bool CLiteDom::loadFromBytes(const uint8_t* bytes, size_t length, unsigned flags) {
    CXMLDocument* doc = document();
    return doc && bytes && doc->loadBytes(bytes, length, loadFlags(flags));
}

bool CLiteDom::save(LiteText path, unsigned flags) const {
    const CXMLDocument* doc = document();
    if (!doc || path.empty()) return false;
    GrowBuffer bytes;
    if (!doc->saveBytes(bytes, flags ? flags : XML_WRITE_INDENT)) return false;
    return xmlReplaceFile(path.get(), bytes.data(), bytes.size());
}

bool CLiteDom::getRoot(CLiteElem& out) const {
    CXMLElement* root = document() ? document()->root() : nullptr;
    if (!root) return false;
    out.attach(root);
    return true;
}

bool CLiteDom::setRoot(CLiteElem& root) {
    CXMLElement* e = root.getXMLElement();
    if (!document() || !e || !root.ownsObject()) return false;
    document()->setRoot(e);
    root.disown();
    return true;
}

XString CLiteDom::getErrorInfo() const {
    const CXMLDocument* doc = document();
    if (!doc) return XString();
    CXMLString info;
    info.appendFormat(XS("error=%s token='%s' line=%u\n"),
                      CXMLDocument::errorName(doc->errorCode()), doc->errorText().c_str(),
                      doc->line());
    return info.str();
}

// ---------------------------------------------------------------- CLiteElem

CLiteElem::CLiteElem() : CLiteObj(kElement) {}

CLiteElem::CLiteElem(LiteText name) : CLiteObj(kElement) {
    setObject(new CXMLElement(xstr(name.get())), true);
}

CLiteElem::CLiteElem(const CLiteElem& other) : CLiteObj(kElement) { assign(other); }

CLiteElem& CLiteElem::assign(const CLiteElem& other) {
    if (this == &other) return *this;
    if (other.m_ref.owned && other.getXMLNode())
        setObject(other.getXMLNode()->clone(), true);
    else
        setObject(other.m_ref.object, false);
    return *this;
}

CXMLElement* CLiteElem::getXMLElement() const {
    CXMLNode* n = getXMLNode();
    return n && n->isElement() ? static_cast<CXMLElement*>(n) : nullptr;
}

bool CLiteElem::copyContentFrom(const CLiteElem& other) {
    CXMLElement* self = getXMLElement();
    const CXMLElement* source = other.getXMLElement();
    if (!self || !source) return false;
    CXMLElement* copy = source->cloneElement();
    if (!copy) return false;
    self->swapContent(*copy);
    delete copy;  // the old content
    return true;
}

bool CLiteElem::getName(XString& out) const {
    const CXMLElement* e = getXMLElement();
    out = e ? e->name() : XString();
    return e != nullptr;
}

bool CLiteElem::setName(LiteText name) {
    if (CXMLElement* e = getXMLElement()) e->setName(xstr(name.get()));
    return true;
}

bool CLiteElem::getText(XString& out) const {
    out.clear();
    return tryGetText(out);
}

bool CLiteElem::tryGetText(XString& out) const {
    const CXMLElement* e = getXMLElement();
    XString text;
    if (!e || !e->getText(text)) return false;
    text = xmlTrim(text);
    if (text.empty()) return false;
    out = text;
    return true;
}

bool CLiteElem::addText(LiteText text) {
    CXMLElement* e = getXMLElement();
    return e && !text.empty() && e->createText(text.get()) != nullptr;
}

bool CLiteElem::getCData(XString& out) const {
    const CXMLElement* e = getXMLElement();
    const CXMLCData* c = e ? e->cdata(0) : nullptr;
    if (!c) return false;
    out = c->text();
    return true;
}

bool CLiteElem::setCData(LiteText text) {
    CXMLElement* e = getXMLElement();
    if (!e) return false;
    if (!text.get()) return e->removeCData(0);
    if (CXMLCData* c = e->cdata(0)) {
        c->setText(text.get());
        return true;
    }
    return e->createCData(text.get()) != nullptr;
}

bool CLiteElem::getChildElement(CLiteElem& out, size_t index) const {
    const CXMLElement* e = getXMLElement();
    CXMLElement* child = e ? e->childElementAt(index) : nullptr;
    if (!child) return false;
    out.attach(child);
    return true;
}

bool CLiteElem::findChild(CLiteElem& out, LiteText name, size_t index) const {
    const CXMLElement* e = getXMLElement();
    CXMLElement* child = e && name.get() ? e->childElement(name.get(), index) : nullptr;
    if (!child) return false;
    out.attach(child);
    return true;
}

bool CLiteElem::findChildByAttr(CLiteElem& out, LiteText elementName, LiteText attrName,
                                LiteText value) const {
    const CXMLElement* e = getXMLElement();
    if (!e || !attrName.get() || !value.get()) return false;
    for (size_t i = 0; CXMLNode* n = e->child(i); ++i) {
        if (!n->isElement()) continue;
        CXMLElement* c = static_cast<CXMLElement*>(n);
        if (!elementName.empty() && !c->isNamed(elementName.get())) continue;
        const CXMLAttribute* a = c->findAttribute(attrName.get());
        if (a && a->value() == value.get()) {
            out.attach(c);
            return true;
        }
    }
    return false;
}

bool CLiteElem::appendChild(CLiteElem& child) {
    CXMLElement* e = getXMLElement();
    CXMLElement* c = child.getXMLElement();
    if (!e || !c || !child.ownsObject() || c == e) return false;
    if (!e->appendChild(c)) return false;
    child.disown();
    return true;
}

bool CLiteElem::removeChild(CLiteElem& child) {
    CXMLElement* e = getXMLElement();
    CXMLNode* c = child.getXMLNode();
    if (!e || !c || child.ownsObject()) return false;
    if (!e->detachChild(c)) return false;
    child.release();  // forget it before it goes
    delete c;
    return true;
}

bool CLiteElem::removeAllChildElements() {
    CXMLElement* e = getXMLElement();
    if (!e) return false;
    while (CXMLElement* c = e->childElementAt(0))
        if (!e->removeChild(c)) return false;
    return true;
}

bool CLiteElem::clear() {
    CXMLElement* e = getXMLElement();
    if (!e) return false;
    e->setName(XString());
    e->removeAllAttributes();
    e->removeAllChildren();
    return true;
}

size_t CLiteElem::removeAllAttributes() {
    CXMLElement* e = getXMLElement();
    return e ? e->removeAllAttributes() : 0;
}

bool CLiteElem::getAttribute(CLiteAttr& out, size_t index) const {
    const CXMLElement* e = getXMLElement();
    CXMLAttribute* a = e ? e->attributeAt(index) : nullptr;
    if (!a) return false;
    out.refer(a);
    return true;
}

bool CLiteElem::findAttribute(CLiteAttr& out, LiteText name) const {
    const CXMLElement* e = getXMLElement();
    CXMLAttribute* a = e && name.get() ? e->findAttribute(name.get()) : nullptr;
    if (!a) return false;
    out.refer(a);
    return true;
}

bool CLiteElem::getAttrString(LiteText name, XString& out, bool clearIfMissing) const {
    const CXMLElement* e = getXMLElement();
    const CXMLAttribute* a = e && name.get() ? e->findAttribute(name.get()) : nullptr;
    if (a) {
        out = a->value();
        return true;
    }
    if (clearIfMissing) out.clear();
    return false;
}

bool CLiteElem::getAttrBool(LiteText name, bool& out) const {
    XString value;
    if (!getAttrString(name, value)) return false;
    out = xmlIsTrueText(value.c_str());
    return true;
}

bool CLiteElem::getAttrInt(LiteText name, int& out, bool zeroIfMissing) const {
    XString value;
    if (getAttrString(name, value) && xmlParseInt(value.c_str(), out)) return true;
    if (zeroIfMissing) out = 0;
    return false;
}

bool CLiteElem::setAttribute(LiteText name, LiteText value) {
    CXMLElement* e = getXMLElement();
    return e && e->setAttribute(name.get(), value.get());
}

bool CLiteElem::setAttrInt(LiteText name, int value) {
    return setAttribute(name, XMLValueTraits<int>::format(value));
}

bool CLiteElem::setAttrBool(LiteText name, bool value) {
    return setAttribute(name, value ? XS("true") : XS("false"));
}

// ---------------------------------------------------------------- CLiteAttr

CLiteAttr::CLiteAttr() : CLiteObj(kAttribute) {}

CLiteAttr::CLiteAttr(LiteText name, LiteText value) : CLiteObj(kAttribute) {
    setObject(new CXMLAttribute(xstr(name.get()), xstr(value.get())), true);
}

CLiteAttr::CLiteAttr(const CLiteAttr& other) : CLiteObj(kAttribute) { *this = other; }

CLiteAttr& CLiteAttr::operator=(const CLiteAttr& other) {
    if (this == &other) return *this;
    const CXMLAttribute* a = other.getXMLAttribute();
    if (other.m_ref.owned && a)
        setObject(new CXMLAttribute(a->name(), a->value()), true);
    else
        setObject(other.m_ref.object, false);
    return *this;
}

bool CLiteAttr::getName(XString& out) const {
    const CXMLAttribute* a = getXMLAttribute();
    if (!a) return false;
    out = a->name();
    return true;
}

bool CLiteAttr::getValue(XString& out) const {
    const CXMLAttribute* a = getXMLAttribute();
    if (!a) return false;
    out = a->value();
    return true;
}

bool CLiteAttr::setValue(LiteText value) {
    CXMLAttribute* a = getXMLAttribute();
    if (!a) return false;
    a->setValue(xstr(value.get()));
    return true;
}
