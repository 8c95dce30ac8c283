// Parse throughput of generated settings-like documents of 1 MB and 10 MB:
// our reader building its tree, beside Wine's own XmlLite reader pulling
// through the same bytes (no tree; the reference) and an MSXML DOMDocument
// loading them, all in the same process. On the host build, where neither
// system reader exists, the reference is one UTF-8 decoding pass.
#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <msxml2.h>
#include <shlwapi.h>
#include <xmllite.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "xml/Utf8.h"
#include "xml/XMLDocument.h"

namespace {

// Profiles, macros and bindings, repeated until the size is reached; TAB
// indentation and CRLF as the program writes them, with a few entities and
// non-ASCII letters. No comments: Wine's XmlLite reader stops with WC_E_COMMENT
// on some comment a few megabytes into a stream.
std::string settingsDocument(size_t size) {
    std::string doc = "<settings>\r\n";
    char line[1024];
    for (int i = 0; doc.size() < size; ++i) {
        std::snprintf(
            line, sizeof line,
            "\t<profile addSpaceAfter=\"true\" capitalization=\"first\" "
            "description=\"Profile %d for mail &amp; letters\" enableGate=\"false\" "
            "lexGenFile=\"default\" lexGenStandard=\"true\" name=\"Profile%d|Mail%d\" "
            "preloadContext=\"true\" recTimeout=\"1200\" sepLet=\"false\" "
            "softBreaksOnly=\"true\" userDicts=\"default|caf\xC3\xA9%d\" "
            "wordMultiLine=\"false\" wordSegm=\"true\"/>\r\n"
            "\t<macro description=\"Signature %d\" name=\"sig%d\" type=\"keystroke\">"
            "Best regards,{ENTER}Ann &lt;ann%d@example.org&gt; \xE2\x82\xAC</macro>\r\n"
            "\t<app module=\"app%d.exe\">\r\n"
            "\t\t<context class=\"Edit\" document=\"Letter %d\" profile=\"Profile%d\">\r\n"
            "\t\t\t<field name=\"Subject\" role=\"42\" state=\"1048576\"/>\r\n"
            "\t\t</context>\r\n"
            "\t</app>\r\n",
            i, i, i, i, i, i, i, i, i, i);
        doc += line;
    }
    return doc + "</settings>\r\n";
}

#ifdef _WIN32
// Declared here: the import library has no entry for xmllite.dll, and the
// identifiers are spelled out rather than taken from a GUID library.
const IID kIID_IXmlReader = {
    0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};
const CLSID kCLSID_DOMDocument = {
    0x2933bf90, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const IID kIID_IXMLDOMDocument = {
    0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
using CreateXmlReaderProc = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// A stream over the bytes, made once and rewound before each read, so that
// the copy into the stream is not measured.
IStream* memoryStream(const std::string& bytes) {
    return SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<UINT>(bytes.size()));
}

void rewind(IStream* s) {
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
}

// Pulls every node and attribute value; returns the number of nodes, 0 on failure.
long pullAll(IXmlReader* reader, IStream* stream) {
    rewind(stream);
    if (FAILED(reader->SetInput(stream))) return 0;
    XmlNodeType type;
    long nodes = 0;
    const WCHAR* value;
    UINT length;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        ++nodes;
        if (type == XmlNodeType_Element) {
            for (HRESULT a = reader->MoveToFirstAttribute(); a == S_OK;
                 a = reader->MoveToNextAttribute())
                reader->GetValue(&value, &length);
        } else if (type == XmlNodeType_Text) {
            reader->GetValue(&value, &length);
        }
    }
    reader->SetInput(nullptr);
    if (hr != S_FALSE)
        std::printf("XmlLite stopped after %ld nodes: 0x%08lx\n", nodes,
                    static_cast<unsigned long>(hr));
    return hr == S_FALSE ? nodes : 0;
}

bool domLoad(IXMLDOMDocument* dom, IStream* stream) {
    rewind(stream);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream;
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = dom->load(source, &ok);
    return SUCCEEDED(hr) && ok == VARIANT_TRUE;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IXmlReader* reader = nullptr;
    if (HMODULE lib = LoadLibraryW(L"xmllite.dll")) {
        auto create = reinterpret_cast<CreateXmlReaderProc>(
            reinterpret_cast<void*>(GetProcAddress(lib, "CreateXmlReader")));
        if (!create || FAILED(create(kIID_IXmlReader, reinterpret_cast<void**>(&reader), nullptr)))
            reader = nullptr;
    }
    IXMLDOMDocument* dom = nullptr;
    if (FAILED(CoCreateInstance(kCLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER,
                                kIID_IXMLDOMDocument, reinterpret_cast<void**>(&dom))))
        dom = nullptr;
    if (dom) dom->put_async(VARIANT_FALSE);
#endif
    // One run per size, each with its own reference. A smoke run (--quick, the
    // test suite's, under the test prefixes' heap checks, which make every
    // allocation of the platform's parsers slow) takes one small document.
    const bool quick = bench::Harness(argc, argv).quick();
    const std::vector<size_t> sizes = quick
                                          ? std::vector<size_t>{size_t(64) << 10}
                                          : std::vector<size_t>{size_t(1) << 20, size_t(10) << 20};
    for (size_t size : sizes) {
        const std::string doc = settingsDocument(size);
        const std::string mb = size >= (size_t(1) << 20) ? std::to_string(size >> 20) + " MB"
                                                         : std::to_string(size >> 10) + " KB";
        const auto* bytes = reinterpret_cast<const uint8_t*>(doc.data());
        CXMLDocument check;
        if (!check.loadBytes(bytes, doc.size(), XML_LOAD_DROP_INDENT)) {
            std::printf("the generated document does not load: %d\n", check.errorCode());
            return 1;
        }
        bench::Harness h(argc, argv);
#ifdef _WIN32
        IStream* stream = memoryStream(doc);
        if (reader && pullAll(reader, stream)) {
            h.add(
                "XmlLite reader, pull only, " + mb, [&] { bench::keep(pullAll(reader, stream)); },
                "doc");
        } else {
            std::printf("XmlLite reader not available: the first figure is no reference\n");
        }
#else
        h.add(
            "UTF-8 decoding only, " + mb,
            [&] {
                CXMLString text;
                bench::keep(utf8::utf8ToUtf16(bytes, doc.size(), text));
            },
            "doc");
#endif
        h.add(
            "CXMLDocument tree, " + mb,
            [&] {
                CXMLDocument tree;
                bench::keep(tree.loadBytes(bytes, doc.size(), XML_LOAD_DROP_INDENT));
            },
            "doc");
#ifdef _WIN32
        if (dom && domLoad(dom, stream))
            h.add(
                "MSXML DOMDocument load, " + mb, [&] { bench::keep(domLoad(dom, stream)); }, "doc");
        else
            std::printf("MSXML DOMDocument not available: no figure\n");
#endif
        h.run();
        for (size_t k = 0; k < h.count(); ++k) {
            const double seconds = h.secondsOf(k);
            std::printf("  figure %zu: %.1f MB/s\n", k + 1,
                        seconds > 0 ? static_cast<double>(doc.size()) / seconds / (1 << 20) : 0.0);
        }
#ifdef _WIN32
        if (stream) stream->Release();
#endif
    }
#ifdef _WIN32
    if (dom) dom->Release();
    if (reader) reader->Release();
    CoUninitialize();
#endif
    return 0;
}
