#include "recognition/RecWinModule.h"

#include <cstring>
#include <new>

#include "recognition/RecWordList.h"
#include "recognition/LexiconTable.h"
#include "recognition/WinRecWordList.h"
#include "core/Trace.h"
#include "win/FaultGuard.h"

namespace {

constexpr int kInfoKind = 2;
constexpr LONG kMaxAlternates = 10;
constexpr uint16_t kPenUpY = 0xFFFF;
// A loaded word list has no handle of its own: every context has one list.
const PSO_HUSERDICT kWordListHandle = reinterpret_cast<PSO_HUSERDICT>(intptr_t{1});

template <class T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// A BSTR owned for the life of the object.
class Bstr {
  public:
    explicit Bstr(const std::wstring& text)
        : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr() = default;
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }
    BSTR* out() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    std::wstring text() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : L""; }

  private:
    BSTR text_ = nullptr;
};

// The platform ids of a stroke collection's strokes.
bool strokeIdsOf(IInkStrokes* strokes, std::vector<int32_t>& ids) {
    ids.clear();
    LONG count = 0;
    if (!strokes || FAILED(strokes->get_Count(&count))) return false;
    for (LONG i = 0; i < count; ++i) {
        IInkStrokeDisp* stroke = nullptr;
        LONG id = 0;
        const bool ok =
            SUCCEEDED(strokes->Item(i, &stroke)) && stroke && SUCCEEDED(stroke->get_ID(&id));
        release(stroke);
        if (!ok) return false;
        ids.push_back(static_cast<int32_t>(id));
    }
    return true;
}

bool recognizeFailed(const wchar_t* step) {
    debugTrace(L"PSO_RecognizeWord: FAILED %s\n", step);
    return false;
}

}  // namespace

const char RecWinModule::kInfoText[] = "Scribix WinRec Bridge v 1.0.0.";

RecWinContext::~RecWinContext() = default;

RecWinModule::RecWinModule(const std::wstring& languageName, const std::wstring& dataFolder)
    : RecModule(languageName, dataFolder) {}

RecWinModule::~RecWinModule() { releaseProfiles(); }

// ---- contexts ----

bool RecWinModule::initContext(RecWinContext& c) {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(kClsidInkRecognizers, nullptr, CLSCTX_ALL,
                                __uuidof(IInkRecognizers), &object)) ||
        !object) {
        debugTrace(L"InitTPCCOntext::FAILED CoCreateInstance pIInkRecognizers\n");
        return false;
    }
    c.recognizers = static_cast<IInkRecognizers*>(object);
    IInkRecognizer* recognizer = nullptr;
    if (FAILED(c.recognizers->GetDefaultRecognizer(static_cast<LONG>(localeLanguageId()),
                                                   &recognizer)) ||
        !recognizer) {
        debugTrace(L"InitTPCCOntext::FAILED GetDefaultRecognizer()\n");
        return false;
    }
    const HRESULT made = recognizer->CreateRecognizerContext(&c.recoContext);
    recognizer->Release();
    if (FAILED(made) || !c.recoContext) {
        c.recoContext = nullptr;
        debugTrace(L"InitTPCCOntext::FAILED CreateRecognizerContext\n");
        return false;
    }
    object = nullptr;
    if (FAILED(CoCreateInstance(kClsidInkDisp, nullptr, CLSCTX_ALL, __uuidof(IInkDisp), &object)) ||
        !object) {
        debugTrace(L"FAILED CoCreateInstance pIInkDisp\n");
        return false;
    }
    c.ink = static_cast<IInkDisp*>(object);
    return true;
}

PSO_HRC RecWinModule::createRecContext(RecProfile& profile) {
    RecWinContext* c = new (std::nothrow) RecWinContext;
    if (!c) return nullptr;
    c->comEntered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    c->comThread = GetCurrentThreadId();
    if (!initContext(*c)) {
        debugTrace(L"RecWinModule:: FAILED InitTPCCOntext()\n");
        freeContext(c);
        return nullptr;
    }
    c->factoid = LexiconTable::fieldTypeOf(profile.lexGenFile());
    if (!c->factoid.empty()) {
        Bstr factoid(c->factoid);
        if (FAILED(c->recoContext->put_Factoid(factoid.get())))
            debugTrace(L"RecWinModule::createRecContext: FAILED put_Factoid %s\n",
                       c->factoid.c_str());
    }
    return reinterpret_cast<PSO_HRC>(c);
}

void RecWinModule::freeContext(RecWinContext* c) {
    // A fault inside the platform while one object is released must not
    // keep the others, nor take the program with it.
    auto guardedRelease = [](auto*& object, const wchar_t* trace) {
        auto* held = object;
        object = nullptr;
        if (held && !win::guarded([held] { held->Release(); })) debugTrace(L"%s", trace);
    };
    guardedRelease(c->recoContext,
                   L"FreeTPCCOntext: Exception: pCtx->m_pIInkRecoContext->Release\n");
    guardedRelease(c->recognizers,
                   L"FreeTPCCOntext: Exception: pCtx->m_pIInkRecognizers->Release\n");
    guardedRelease(c->ink, L"FreeTPCCOntext: Exception: pCtx->m_pIInkDisp->Release\n");
    // COM is left only on the thread that entered it for this context: a
    // context released elsewhere (the profiles at exit) must not take away
    // another thread's COM.
    if (c->comEntered && c->comThread == GetCurrentThreadId()) CoUninitialize();
    delete c;
}

PSO_HRC RecWinModule::PSO_CreateRecognitionContext() { return nullptr; }

int32_t RecWinModule::PSO_DeleteRecognitionContext(PSO_HRC context) {
    RecWinContext* c = contextOf(context);
    if (!c) return PSO_ERR_BAD_ARG;
    freeContext(c);
    return PSO_OK;
}

// ---- sessions ----

void RecWinModule::cleanPreviousSession(RecWinContext& c) {
    if (c.ink) {
        IInkStrokes* strokes = nullptr;
        if (FAILED(c.ink->get_Strokes(&strokes)) || !strokes ||
            FAILED(c.ink->DeleteStrokes(strokes)))
            debugTrace(L"cleanPrevRecognitionSessionIfAny: FAILED delete strokes\n");
        release(strokes);
    }
    c.strokeIds.clear();
    c.strokeCount = 0;
    c.hasInk = false;
    c.inkBox = RECT{};
    if (c.recoContext && FAILED(c.recoContext->putref_Strokes(nullptr)))
        debugTrace(L"cleanPrevRecognitionSessionIfAny: FAILED putref_Strokes(NULL)\n");
    c.lastResult.reset();
    // A guide holds for one session: a plain session after a boxed one is
    // read without the boxes and without their offset.
    c.guide = PSO_GUIDE{};
    c.inkOffsetX = c.inkOffsetY = 0;
    if (c.guideSet && c.recoContext) c.recoContext->putref_Guide(nullptr);
    c.guideSet = false;
}

int32_t RecWinModule::PSO_StartRecognitionSession(PSO_HRC context, const PSO_SESSION_START* start) {
    RecWinContext* c = contextOf(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    if (!start) return PSO_ERR_BAD_ARG;
    cleanPreviousSession(*c);
    c->sessionFlags = start->flags;
    return PSO_OK;
}

int32_t RecWinModule::PSO_EndRecognitionSession(PSO_HRC context) {
    if (!context) return PSO_ERR_NO_CONTEXT;
    return PSO_AddInkToRecSession(context, nullptr, 0, 0, nullptr, 0);
}

bool RecWinModule::addStroke(RecWinContext& c, const PSO_POINT* points, int count) {
    SAFEARRAY* packets = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(count) * 2);
    if (!packets) return false;
    LONG* values = nullptr;
    if (FAILED(SafeArrayAccessData(packets, reinterpret_cast<void**>(&values)))) {
        SafeArrayDestroy(packets);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const LONG x = static_cast<LONG>(points[i].x) + c.inkOffsetX;
        const LONG y = static_cast<LONG>(points[i].y) + c.inkOffsetY;
        values[2 * i] = x;
        values[2 * i + 1] = y;
        if (!c.hasInk) {
            c.inkBox = RECT{x, y, x, y};
            c.hasInk = true;
        } else {
            if (x < c.inkBox.left) c.inkBox.left = x;
            if (x > c.inkBox.right) c.inkBox.right = x;
            if (y < c.inkBox.top) c.inkBox.top = y;
            if (y > c.inkBox.bottom) c.inkBox.bottom = y;
        }
    }
    SafeArrayUnaccessData(packets);
    VARIANT packetData;
    VariantInit(&packetData);
    packetData.vt = VT_ARRAY | VT_I4;
    packetData.parray = packets;
    VARIANT description;  // empty: the default packet description
    VariantInit(&description);
    IInkStrokeDisp* stroke = nullptr;
    LONG id = 0;
    const bool ok = SUCCEEDED(c.ink->CreateStroke(packetData, description, &stroke)) && stroke &&
                    SUCCEEDED(stroke->get_ID(&id));
    release(stroke);
    VariantClear(&packetData);
    if (!ok) return false;
    c.strokeIds.push_back(id);
    ++c.strokeCount;
    return true;
}

int32_t RecWinModule::PSO_AddInkToRecSession(PSO_HRC context, const PSO_POINT* points,
                                             int32_t count, int32_t, int32_t* strokesAdded,
                                             int32_t) {
    RecWinContext* c = contextOf(context);
    if (!c) return PSO_ERR_NO_CONTEXT;
    if (count < 0 || (!points && count > 0)) return PSO_ERR_BAD_ARG;
    if (strokesAdded) *strokesAdded = 0;
    // The platform's objects are called under the fault guard: a fault in
    // their code fails this call and leaves the program running.
    int32_t result = PSO_ERR_FAILED;
    auto work = [&] {
        if (!points || count == 0) {
            if (recognizeWord(*c)) {
                result = PSO_OK;
                return;
            }
            debugTrace(L"PSO_AddInkToRecSession: !PSO_RecognizeWord\n");
            return;
        }
        if (!c->ink) return;
        int added = 0;
        int i = 0;
        while (i < count) {
            if (static_cast<uint16_t>(points[i].y) == kPenUpY) {
                ++i;  // leading and repeated pen-ups make no stroke
                continue;
            }
            int end = i;
            while (end < count && static_cast<uint16_t>(points[end].y) != kPenUpY) ++end;
            if (!addStroke(*c, points + i, end - i)) {
                debugTrace(L"PSO_AddInkToRecSession: FAILED adding stroke\n");
                if (strokesAdded) *strokesAdded = added;
                return;
            }
            ++added;
            if (strokesAdded) *strokesAdded = added;
            i = end;
        }
        if (added == 0) {
            debugTrace(L"PSO_AddInkToRecSession: bad ink data\n");
            return;
        }
        result = PSO_OK;
    };
    try {
        if (win::guarded(work)) return result;
        debugTrace(L"PSO_AddInkToRecSession: Exception...\n");
    } catch (const std::exception& e) {
        debugTrace(L"PSO_AddInkToRecSession: exception throw EXIT_ACTIONS: %S\n", e.what());
    } catch (...) {
        debugTrace(L"PSO_AddInkToRecSession: Exception...\n");
    }
    return PSO_ERR_FAILED;
}

// ---- the guide ----

bool RecWinModule::setGuide(RecWinContext& c, const PSO_GUIDE& guide) {
    c.guide = guide;
    c.inkOffsetX = -guide.left;
    c.inkOffsetY = -guide.top;
    if (!c.recoContext) return false;
    void* object = nullptr;
    if (FAILED(CoCreateInstance(kClsidInkRecognizerGuide, nullptr, CLSCTX_ALL,
                                __uuidof(IInkRecognizerGuide), &object)) ||
        !object) {
        debugTrace(L"RecWinModule: FAILED CoCreateInstance InkRecognizerGuide\n");
        return false;
    }
    IInkRecognizerGuide* recoGuide = static_cast<IInkRecognizerGuide*>(object);
    InkRecoGuide data{};
    data.rectWritingBox = RECT{0, 0, guide.width, guide.height};
    data.rectDrawnBox = data.rectWritingBox;
    data.cRows = 1;
    data.cColumns = 0;
    data.midline = (guide.height - guide.sixth) / 2;
    const bool ok = SUCCEEDED(recoGuide->put_GuideData(data)) &&
                    SUCCEEDED(c.recoContext->putref_Guide(recoGuide));
    recoGuide->Release();
    if (!ok) debugTrace(L"RecWinModule: FAILED setting the recognizer guide\n");
    c.guideSet = ok;
    return ok;
}

int32_t RecWinModule::PSO_SetExtraSessionParameters(PSO_HRC context, int32_t kind, intptr_t value) {
    RecWinContext* c = contextOf(context);
    if (!c) return PSO_ERR_BAD_ARG;
    if (kind != PSO_EXTRA_GUIDE) return PSO_ERR_NOT_SUPPORTED;
    const PSO_GUIDE* guide = reinterpret_cast<const PSO_GUIDE*>(value);
    if (!guide) return PSO_ERR_BAD_ARG;
    return setGuide(*c, *guide) ? PSO_OK : PSO_ERR_FAILED;
}

// ---- recognition ----

bool RecWinModule::recognizeWord(RecWinContext& c) {
    if (!c.recoContext || !c.ink) return false;
    InkRecognitionModes flags = IRM_None;
    if (!c.wordList.empty() && c.factoid == L"WORDLIST")
        flags = IRM_Coerce;
    else if (!(c.sessionFlags & PSO_SF_WORD_SEGMENTATION))
        flags = IRM_WordModeOnly;
    if (FAILED(c.recoContext->put_RecognitionFlags(flags)))
        return recognizeFailed(L"put_RecognitionFlags");

    if (!c.hasInk || c.inkBox.right <= 0 || c.inkBox.bottom <= 0 || c.inkBox.left >= 32767 ||
        c.inkBox.top >= 32767)
        return false;

    IInkStrokes* strokes = nullptr;
    if (FAILED(c.ink->get_Strokes(&strokes)) || !strokes) return recognizeFailed(L"get_Strokes");
    const HRESULT handed = c.recoContext->putref_Strokes(strokes);
    strokes->Release();
    if (FAILED(handed)) return recognizeFailed(L"putref_Strokes");
    if (FAILED(c.recoContext->EndInkInput())) return recognizeFailed(L"EndInkInput");
    InkRecognitionStatus status = IRS_NoError;
    IInkRecognitionResult* result = nullptr;
    const HRESULT recognized = c.recoContext->Recognize(&status, &result);
    if (FAILED(recognized) || !result) {
        release(result);
        return recognizeFailed(L"Recognize");
    }
    if (status != IRS_NoError) {
        result->Release();
        debugTrace(L"PSO_RecognizeWord: RecognitionStatus != IRS_NoError\n");
        return false;
    }
    RecWordList* list = buildResult(result);
    result->Release();
    if (!list) return false;
    c.lastResult.reset(list);
    c.strokeIds.clear();
    return true;
}

uint32_t RecWinModule::weightOfConfidence(InkRecognitionConfidence confidence) {
    switch (confidence) {
        case IRC_Strong:
            return 90;
        case IRC_Intermediate:
            return 60;
        case IRC_Poor:
            return 30;
        default:
            return 0;
    }
}

uint32_t RecWinModule::weightWithoutConfidence(int index, int count) {
    return 2 * index < count ? 60 : 30;
}

RecWordList* RecWinModule::buildResult(IInkRecognitionResult* result) {
    Bstr top;
    if (FAILED(result->get_TopString(top.out()))) {
        recognizeFailed(L"get_TopString");
        return nullptr;
    }
    const std::wstring text = top.text();
    std::unique_ptr<RecWordList> list(new (std::nothrow) RecWordList);
    if (!list) return nullptr;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == L' ') {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && text[end] != L' ') ++end;
        const std::wstring wordText = text.substr(at, end - at);

        IInkRecognitionAlternates* alternates = nullptr;
        LONG count = 0;
        if (FAILED(result->AlternatesFromSelection(
                static_cast<LONG>(at), static_cast<LONG>(end - at), kMaxAlternates, &alternates)) ||
            !alternates || FAILED(alternates->get_Count(&count))) {
            release(alternates);
            recognizeFailed(L"AlternatesFromSelection");
            return nullptr;
        }
        if (count > kMaxAlternates) count = kMaxAlternates;
        std::unique_ptr<RecWord> word;
        bool ok = true;
        for (LONG i = 0; i < count && ok; ++i) {
            IInkRecognitionAlternate* alternate = nullptr;
            if (FAILED(alternates->Item(i, &alternate)) || !alternate) {
                ok = recognizeFailed(L"alternates->Item");
                break;
            }
            if (i == 0) {
                IInkStrokes* strokes = nullptr;
                std::vector<int32_t> ids;
                const bool gotIds =
                    SUCCEEDED(alternate->get_Strokes(&strokes)) && strokeIdsOf(strokes, ids);
                release(strokes);
                if (!gotIds) {
                    alternate->Release();
                    ok = recognizeFailed(L"pOneAlt->get_Strokes");
                    break;
                }
                word.reset(new (std::nothrow) RecWord(static_cast<int>(ids.size()), ids.data()));
            }
            Bstr altText;
            InkRecognitionConfidence confidence = IRC_Poor;
            uint32_t weight = 0;
            if (FAILED(alternate->get_String(altText.out()))) {
                ok = recognizeFailed(L"pOneAlt->get_String");
            } else {
                const HRESULT hr = alternate->get_Confidence(&confidence);
                if (hr == kInkErrorNoConfidence)
                    weight = weightWithoutConfidence(static_cast<int>(i), static_cast<int>(count));
                else if (FAILED(hr))
                    ok = recognizeFailed(L"pOneAlt->get_Confidence");
                else
                    weight = weightOfConfidence(confidence);
            }
            alternate->Release();
            if (!ok) break;
            if (!word) {
                ok = false;
                break;
            }
            RecAlt* alt = new (std::nothrow) RecAlt(altText.text().c_str(), weight);
            if (!alt || !word->addAlt(alt)) ok = false;
        }
        alternates->Release();
        if (!ok) return nullptr;
        // A range the platform gives no alternates for keeps the top string's
        // word, so that no written word is lost from the answer.
        if (!word) {
            word.reset(new (std::nothrow) RecWord(0, nullptr));
            RecAlt* alt = word ? new (std::nothrow) RecAlt(wordText.c_str(), 0) : nullptr;
            if (!alt || !word->addAlt(alt)) return nullptr;
        }
        if (!list->appendWord(word.release())) return nullptr;
        at = end;
    }
    return list.release();
}

std::wstring RecWinModule::recase(const std::wstring& text, int capitalization) const {
    if (text.empty()) return text;
    const LCID lcid = MAKELCID(localeLanguageId(), SORT_DEFAULT);
    auto map = [lcid](const std::wstring& in, DWORD flags) {
        std::wstring out(in.size() * 2 + 1, L'\0');
        const int n = LCMapStringW(lcid, flags, in.c_str(), static_cast<int>(in.size()), &out[0],
                                   static_cast<int>(out.size()));
        if (n <= 0) return in;
        out.resize(static_cast<size_t>(n));
        return out;
    };
    switch (capitalization) {
        case kCapsAll:
            return map(text, LCMAP_UPPERCASE);
        case kCapsNone:
            return map(text, LCMAP_LOWERCASE);
        case kCapsFirst:
            return map(text.substr(0, 1), LCMAP_UPPERCASE) + map(text.substr(1), LCMAP_LOWERCASE);
        default:
            return text;
    }
}

RecWordList* RecWinModule::getAnswers(PSO_HRC context, int capitalization, bool stopAtWeakBlock) {
    RecWinContext* c = contextOf(context);
    if (!c || !c->lastResult) {
        if (stopAtWeakBlock) return nullptr;
        // The system client always gets something to show for a writing.
        std::unique_ptr<RecWordList> unknown(new (std::nothrow) RecWordList);
        if (!unknown) return nullptr;
        RecWord* word = new (std::nothrow) RecWord(0, nullptr);
        if (!word) return nullptr;
        RecAlt* alt = new (std::nothrow) RecAlt(L"???", 1);
        if (!alt || !word->addAlt(alt)) {
            delete word;
            return nullptr;
        }
        if (!unknown->appendWord(word)) return nullptr;
        return unknown.release();
    }
    std::unique_ptr<RecWordList> copy(new (std::nothrow) RecWordList);
    if (!copy) return nullptr;
    copy->setMadeFromText(c->lastResult->madeFromText());
    for (int w = 0; w < c->lastResult->wordCount(); ++w) {
        const RecWord* source = c->lastResult->wordAt(w);
        RecWord* word = new (std::nothrow) RecWord(source->integerCount(), source->integers());
        if (!word) return nullptr;
        for (int a = 0; a < source->altCount(); ++a) {
            const RecAlt* alt = source->altAt(a);
            const std::wstring text = recase(alt->text(), capitalization);
            RecAlt* made = new (std::nothrow) RecAlt(text.c_str(), alt->score());
            if (!made || !word->addAlt(made)) {
                delete word;
                return nullptr;
            }
        }
        if (!copy->appendWord(word)) return nullptr;
    }
    return copy.release();
}

// ---- words and the word list ----

bool RecWinModule::checkWord(PSO_HRC context, const wchar_t* word) {
    RecWinContext* c = contextOf(context);
    if (!word || !c || !c->recoContext) return false;
    Bstr text(word);
    VARIANT_BOOL supported = VARIANT_FALSE;
    return SUCCEEDED(c->recoContext->IsStringSupported(text.get(), &supported)) &&
           supported != VARIANT_FALSE;
}

bool RecWinModule::getWordVariants(PSO_HRC, const wchar_t*, std::vector<std::wstring>& out, int) {
    out.clear();
    return false;
}

bool RecWinModule::resetDictionaryInWinContext(RecWinContext& c, const wchar_t* failureTrace) {
    if (!c.recoContext) return false;
    void* object = nullptr;
    if (FAILED(CoCreateInstance(kClsidInkWordList, nullptr, CLSCTX_ALL, __uuidof(IInkWordList),
                                &object)) ||
        !object) {
        debugTrace(L"%s", failureTrace);
        return false;
    }
    IInkWordList* list = static_cast<IInkWordList*>(object);
    bool ok = true;
    for (const std::wstring& word : c.wordList) {
        Bstr text(word);
        if (FAILED(list->AddWord(text.get()))) {
            debugTrace(L"RecWinModule::resetDictionaryInWinContext: AddWord %s FAILED\n",
                       word.c_str());
            ok = false;
            break;
        }
    }
    if (ok && FAILED(c.recoContext->putref_WordList(list))) {
        debugTrace(L"RecWinModule::resetDictionaryInWinContext: putref_WordList FAILED\n");
        ok = false;
    }
    list->Release();
    return ok;
}

PSO_HUSERDICT RecWinModule::LoadUserDictFromFile(PSO_HRC context, const wchar_t* path,
                                                 bool mayBeMissing) {
    RecWinContext* c = contextOf(context);
    if (!c) {
        debugTrace(L"RecWinModule::LoadUserDictFromFile: pCtx==NULL\n");
        return nullptr;
    }
    std::vector<std::wstring> words;
    if (!path || !LoadWinRecDictFromFile(path, words, mayBeMissing)) {
        debugTrace(L"RecWinModule::LoadUserDictFromFile: LoadWinRecDictFromFile() FAILED\n");
        return nullptr;
    }
    c->wordList = std::move(words);
    if (c->recoContext) c->recoContext->putref_WordList(nullptr);
    if (!resetDictionaryInWinContext(
            *c, L"RecWinModule::LoadUserDictFromFile: wordlist.CoCreateInstance FAILED\n")) {
        debugTrace(L"RecWinModule::LoadUserDictFromFile: resetDictionaryInWinContext FAILED\n");
        return nullptr;
    }
    return kWordListHandle;
}

bool RecWinModule::SaveUserDictToFile(PSO_HRC context, PSO_HUSERDICT, const wchar_t* path,
                                      const wchar_t* backupExtension) {
    RecWinContext* c = contextOf(context);
    if (!c) {
        debugTrace(L"RecWinModule::SaveUserDictToFile: pCtx==NULL\n");
        return false;
    }
    return path && SaveWinRecDictToFile(c->wordList, path, backupExtension);
}

bool RecWinModule::addWordToUserDict(PSO_HRC context, PSO_HUSERDICT, const wchar_t* word) {
    RecWinContext* c = contextOf(context);
    if (!c) return false;
    if (word) {
        c->wordList.push_back(word);
        return true;
    }
    if (resetDictionaryInWinContext(
            *c, L"RecWinModule::resetDictionaryInWinContext: wordlist.CoCreateInstance FAILED\n"))
        return true;
    debugTrace(L"RecWinModule::addWordToUserDict: resetDictionaryInWinContext FAILED\n");
    return false;
}

bool RecWinModule::enumUserDictWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                     UserDictWordCallback callback, void* parameter) {
    RecWinContext* c = contextOf(context);
    if (!dictionary || !c || !callback) return false;
    for (const std::wstring& word : c->wordList)
        if (!callback(word.c_str(), parameter)) break;
    return true;
}

int32_t RecWinModule::PSO_UserDict_Clear(PSO_HRC context, PSO_HUSERDICT dictionary) {
    RecWinContext* c = contextOf(context);
    if (!c || !dictionary) return PSO_ERR_BAD_ARG;
    c->wordList.clear();
    return PSO_OK;
}

// ---- description ----

int32_t RecWinModule::PSO_GetRecognizerInfo(int32_t kind, char* buffer) {
    if (kind != kInfoKind) return PSO_ERR_NOT_SUPPORTED;
    if (!buffer) return PSO_ERR_BAD_ARG;
    std::memcpy(buffer, kInfoText, sizeof kInfoText);
    return PSO_OK;
}

// ---- what the platform recognizer does not do ----

int32_t RecWinModule::PSO_GetNumAnswerBlocks(PSO_HRC) { return PSO_ERR_NOT_SUPPORTED; }
int32_t RecWinModule::PSO_GetNumWordsInAnswerBlock(PSO_HRC, int32_t) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_GetWordFromAnswerBlock(PSO_HRC, int32_t, int32_t, char*, int32_t*,
                                                 int32_t*, int32_t*, int32_t) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_GetAnswerConfidence(PSO_HRC, int32_t, int32_t*) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_GetExtraAnswerData(PSO_HRC, int32_t, int32_t, int32_t, int32_t, void*) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_GetNumStrokes(PSO_HRC) { return PSO_ERR_NOT_SUPPORTED; }
int32_t RecWinModule::PSO_GetStrokeLen(PSO_HRC, int32_t) { return PSO_ERR_NOT_SUPPORTED; }
int32_t RecWinModule::PSO_GetStroke(PSO_HRC, int32_t, PSO_POINT*, int32_t) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_AddLexGeneratorToRecContext(PSO_HRC, const void*, int32_t) {
    return PSO_ERR_NOT_SUPPORTED;
}
PSO_HUSERDICT RecWinModule::PSO_AddUserDictToRecContext(PSO_HRC, const void*) {
    return nullptr;
}
int32_t RecWinModule::PSO_DumpUserDictToMemoryBuffer(PSO_HRC, PSO_HUSERDICT, void*) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_UserDict_Features(PSO_HRC, PSO_HUSERDICT, int32_t*) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_UserDict_AddWord(PSO_HRC, PSO_HUSERDICT, const char*) {
    return PSO_ERR_NOT_SUPPORTED;
}
int32_t RecWinModule::PSO_UserDict_EnumWords(PSO_HRC, PSO_HUSERDICT, PSO_ENUMWORDS_CALLBACK,
                                             void*) {
    return PSO_ERR_NOT_SUPPORTED;
}
