#include "family/tabletpc/TabletStandIns.h"

#include <olectl.h>

#include <algorithm>
#include <mutex>
#include <string>

namespace tabletpc {
namespace {

// ---- shared state of the stand-ins (any thread) ----

class StandInCollector;

struct World {
    std::recursive_mutex lock;
    std::vector<LONG> languages{0x0409};
    RecognizerScript script;
    RecognizerLog log;
    std::vector<CLSID> failing;
    CollectorLog collectorLog;
    std::string failingStep;
    std::vector<IID> faultingReleases;
    std::vector<IUnknown*> faulted;  // the references whose Release faulted
    bool createStrokeFaults = false;
    StandInCollector* collector = nullptr;  // the last made, one reference held here
};

World& world() {
    static World w;
    return w;
}

using Guard = std::lock_guard<std::recursive_mutex>;

bool creationFails(REFCLSID clsid) {
    Guard guard(world().lock);
    const auto& f = world().failing;
    return std::find(f.begin(), f.end(), clsid) != f.end();
}

bool stepFails(const char* step) {
    Guard guard(world().lock);
    return world().failingStep == step;
}

// What a broken platform object does: an access violation inside its own
// code. Asked and left outside the lock, which the fault would keep taken.
int* volatile g_nowhere = nullptr;
__attribute__((noinline)) void faultHere() { *g_nowhere = 0; }

// When Release of `iid` faults, the reference the caller gave up is kept
// here (a test lets it go with releaseFaultedObjects).
bool releaseFaults(REFIID iid, IUnknown* object) {
    Guard guard(world().lock);
    const auto& f = world().faultingReleases;
    if (std::find(f.begin(), f.end(), iid) == f.end()) return false;
    world().faulted.push_back(object);
    return true;
}

BSTR copyBstr(const std::wstring& text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::wstring textOf(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : L""; }

// The common part of every stand-in: reference count and IDispatch without
// type information.
template <class I>
class Object : public I {
  public:
    virtual ~Object() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(I))
            *out = static_cast<I*>(this);
        else
            *out = otherInterface(iid);
        if (!*out) return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if (releaseFaults(__uuidof(I), static_cast<I*>(this))) faultHere();
        const LONG left = InterlockedDecrement(&references_);
        released(left);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

  protected:
    // Further interfaces of the object; null for none.
    virtual void* otherInterface(REFIID) { return nullptr; }
    // Called after each release with the references left.
    virtual void released(LONG) {}

  private:
    volatile LONG references_ = 1;
};

template <class T>
HRESULT handOut(T* object, T** out) {
    if (!out) return E_POINTER;
    object->AddRef();
    *out = object;
    return S_OK;
}

// A property that holds an object: the getter hands out a reference, the
// setter keeps one.
template <class Held, class I>
HRESULT getHeld(Held* held, I** out) {
    if (!out) return E_POINTER;
    *out = held;
    if (held) held->AddRef();
    return S_OK;
}
template <class Held, class I>
void putHeld(Held*& held, I* object) {
    if (object) object->AddRef();
    if (held) held->Release();
    held = static_cast<Held*>(object);
}

// A collection of stand-ins, each held once by the collection.
template <class I, class ItemInterface, class Element>
class Collection : public Object<I> {
  public:
    explicit Collection(const std::vector<Element*>& items) : items_(items) {
        for (Element* e : items_) e->AddRef();
    }
    ~Collection() override {
        for (Element* e : items_) e->Release();
    }
    const std::vector<Element*>& items() const { return items_; }

    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<LONG>(items_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(LONG index, ItemInterface** item) override {
        if (index < 0 || index >= static_cast<LONG>(items_.size())) return E_INVALIDARG;
        ItemInterface* e = items_[static_cast<size_t>(index)];
        return handOut(e, item);
    }

  private:
    std::vector<Element*> items_;
};

// ---- ink ----

class StandInStroke : public Object<IInkStrokeDisp> {
  public:
    StandInStroke(LONG id, std::vector<LONG> packets) : id_(id), packets_(std::move(packets)) {}
    LONG id() const { return id_; }
    const std::vector<LONG>& packets() const { return packets_; }

    HRESULT STDMETHODCALLTYPE get_ID(LONG* id) override {
        if (!id) return E_POINTER;
        *id = id_;
        return S_OK;
    }
    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get_BezierPoints(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DrawingAttributes(IInkDrawingAttributes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE putref_DrawingAttributes(IInkDrawingAttributes*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Ink(IInkDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExtendedProperties(IInkExtendedProperties**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_PolylineCusps(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BezierCusps(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SelfIntersections(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PacketCount(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PacketSize(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PacketDescription(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Deleted(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBoundingBox(InkBoundingBoxMode, IInkRectangle**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindIntersections(IInkStrokes*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetRectangleIntersections(IInkRectangle*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clip(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE HitTestCircle(LONG, LONG, float, VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE NearestPoint(LONG, LONG, float*, float*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Split(float, IInkStrokeDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPacketDescriptionPropertyMetrics(BSTR, LONG*, LONG*,
                                                                  TabletPropertyMetricUnit*,
                                                                  float*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPoints(LONG, LONG, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPoints(VARIANT, LONG, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPacketData(LONG, LONG, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPacketValuesByProperty(BSTR, LONG, LONG, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetPacketValuesByProperty(BSTR, VARIANT, LONG, LONG, LONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetFlattenedBezierPoints(LONG, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Transform(IInkTransform*, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ScaleToRectangle(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Move(float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Rotate(float, float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Shear(float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ScaleTransform(float, float) override { return E_NOTIMPL; }

  private:
    LONG id_;
    std::vector<LONG> packets_;
};

class StandInStrokes : public Collection<IInkStrokes, IInkStrokeDisp, StandInStroke> {
  public:
    explicit StandInStrokes(const std::vector<StandInStroke*>& strokes) : Collection(strokes) {}
    const std::vector<StandInStroke*>& strokes() const { return items(); }

    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Ink(IInkDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RecognitionResult(IInkRecognitionResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ToString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Add(IInkStrokeDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddStrokes(IInkStrokes*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove(IInkStrokeDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStrokes(IInkStrokes*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ModifyDrawingAttributes(IInkDrawingAttributes*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetBoundingBox(InkBoundingBoxMode, IInkRectangle**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Transform(IInkTransform*, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ScaleToRectangle(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Move(float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Rotate(float, float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Shear(float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ScaleTransform(float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clip(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveRecognitionResult() override { return E_NOTIMPL; }
};

class StandInInk : public Object<IInkDisp> {
  public:
    StandInInk() {
        Guard guard(world().lock);
        ++world().log.inkObjectsAlive;
    }
    ~StandInInk() override {
        for (StandInStroke* s : strokes_) s->Release();
        Guard guard(world().lock);
        --world().log.inkObjectsAlive;
    }

    HRESULT STDMETHODCALLTYPE get_Strokes(IInkStrokes** strokes) override {
        if (!strokes) return E_POINTER;
        *strokes = new StandInStrokes(strokes_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteStrokes(IInkStrokes* strokes) override {
        std::vector<StandInStroke*> gone =
            strokes ? static_cast<StandInStrokes*>(strokes)->strokes() : strokes_;
        for (StandInStroke* s : gone) {
            auto it = std::find(strokes_.begin(), strokes_.end(), s);
            if (it == strokes_.end()) continue;
            strokes_.erase(it);
            s->Release();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateStroke(VARIANT packetData, VARIANT,
                                           IInkStrokeDisp** stroke) override {
        if (!stroke) return E_POINTER;
        bool faults = false;
        {
            Guard guard(world().lock);
            faults = world().createStrokeFaults;
        }
        if (faults) faultHere();
        if (packetData.vt != (VT_ARRAY | VT_I4) || !packetData.parray) return E_INVALIDARG;
        LONG low = 0, high = -1;
        SafeArrayGetLBound(packetData.parray, 1, &low);
        SafeArrayGetUBound(packetData.parray, 1, &high);
        const LONG n = high - low + 1;
        if (n < 2 || n % 2 != 0) return E_INVALIDARG;
        LONG* values = nullptr;
        if (FAILED(SafeArrayAccessData(packetData.parray, reinterpret_cast<void**>(&values))))
            return E_FAIL;
        std::vector<LONG> packets(values, values + n);
        SafeArrayUnaccessData(packetData.parray);
        StandInStroke* made = new StandInStroke(nextId_++, std::move(packets));
        strokes_.push_back(made);
        return handOut<IInkStrokeDisp>(made, stroke);
    }
    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get_ExtendedProperties(IInkExtendedProperties**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Dirty(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Dirty(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CustomStrokes(IInkCustomStrokes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBoundingBox(InkBoundingBoxMode, IInkRectangle**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteStroke(IInkStrokeDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExtractStrokes(IInkStrokes*, InkExtractFlags, IInkDisp**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExtractWithRectangle(IInkRectangle*, InkExtractFlags,
                                                   IInkDisp**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clip(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IInkDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE HitTestCircle(LONG, LONG, float, IInkStrokes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE HitTestWithRectangle(IInkRectangle*, float, IInkStrokes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE HitTestWithLasso(VARIANT, float, VARIANT*, IInkStrokes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE NearestPoint(LONG, LONG, float*, float*, IInkStrokeDisp**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateStrokes(VARIANT, IInkStrokes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddStrokesAtRectangle(IInkStrokes*, IInkRectangle*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Save(InkPersistenceFormat, InkPersistenceCompressionMode,
                                   VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Load(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClipboardCopyWithRectangle(IInkRectangle*, InkClipboardFormats,
                                                         InkClipboardModes,
                                                         IDataObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClipboardCopy(IInkStrokes*, InkClipboardFormats, InkClipboardModes,
                                            IDataObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CanPaste(IDataObject*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClipboardPaste(LONG, LONG, IDataObject*, IInkStrokes**) override {
        return E_NOTIMPL;
    }

  private:
    std::vector<StandInStroke*> strokes_;
    LONG nextId_ = 1;
};

// ---- recognition results ----

class StandInAlternate : public Object<IInkRecognitionAlternate> {
  public:
    StandInAlternate(const ScriptAlternate& alternate, const std::vector<StandInStroke*>& strokes)
        : alternate_(alternate), strokes_(strokes) {}

    HRESULT STDMETHODCALLTYPE get_String(BSTR* text) override {
        if (!text) return E_POINTER;
        *text = copyBstr(alternate_.text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Confidence(InkRecognitionConfidence* confidence) override {
        if (!confidence) return E_POINTER;
        if (alternate_.confidence == kNoConfidence) return kInkErrorNoConfidence;
        *confidence = static_cast<InkRecognitionConfidence>(alternate_.confidence);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Strokes(IInkStrokes** strokes) override {
        if (!strokes) return E_POINTER;
        *strokes = new StandInStrokes(strokes_);
        return S_OK;
    }
    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get_Baseline(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Midline(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Ascender(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Descender(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LineNumber(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LineAlternates(IInkRecognitionAlternates**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_ConfidenceAlternates(IInkRecognitionAlternates**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetStrokesFromStrokeRanges(IInkStrokes*, IInkStrokes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetStrokesFromTextRange(LONG*, LONG*, IInkStrokes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTextRangeFromStrokes(IInkStrokes*, LONG*, LONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    AlternatesWithConstantPropertyValues(BSTR, IInkRecognitionAlternates**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(BSTR, VARIANT*) override { return E_NOTIMPL; }

  private:
    ScriptAlternate alternate_;
    std::vector<StandInStroke*> strokes_;
};

class StandInAlternates
    : public Collection<IInkRecognitionAlternates, IInkRecognitionAlternate, StandInAlternate> {
  public:
    explicit StandInAlternates(const std::vector<StandInAlternate*>& items) : Collection(items) {}

    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Strokes(IInkStrokes**) override { return E_NOTIMPL; }
};

// One word of an answer: where it stands in the top string, its alternates
// and its strokes.
struct AnswerWord {
    LONG start = 0;
    LONG length = 0;
    std::vector<ScriptAlternate> alternates;
    std::vector<StandInStroke*> strokes;  // not owned: the result holds the strokes
};

class StandInResult : public Object<IInkRecognitionResult> {
  public:
    StandInResult(std::wstring top, std::vector<AnswerWord> words, StandInStrokes* strokes)
        : top_(std::move(top)), words_(std::move(words)), strokes_(strokes) {
        strokes_->AddRef();
    }
    ~StandInResult() override { strokes_->Release(); }

    HRESULT STDMETHODCALLTYPE get_TopString(BSTR* text) override {
        if (!text) return E_POINTER;
        *text = copyBstr(top_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AlternatesFromSelection(
        LONG start, LONG length, LONG maximum, IInkRecognitionAlternates** alternates) override {
        if (!alternates) return E_POINTER;
        for (const AnswerWord& w : words_) {
            if (w.start != start || w.length != length) continue;
            std::vector<StandInAlternate*> items;
            for (const ScriptAlternate& a : w.alternates) {
                if (static_cast<LONG>(items.size()) >= maximum) break;
                items.push_back(new StandInAlternate(a, w.strokes));
            }
            *alternates = new StandInAlternates(items);
            for (StandInAlternate* a : items) a->Release();
            return S_OK;
        }
        return E_INVALIDARG;
    }
    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get_TopAlternate(IInkRecognitionAlternate**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_TopConfidence(InkRecognitionConfidence*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Strokes(IInkStrokes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ModifyTopAlternate(IInkRecognitionAlternate*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetResultOnStrokes() override { return E_NOTIMPL; }

  private:
    std::wstring top_;
    std::vector<AnswerWord> words_;
    StandInStrokes* strokes_;
};

// ---- word lists and guides ----

class StandInWordList : public Object<IInkWordList> {
  public:
    const std::vector<std::wstring>& words() const { return words_; }
    HRESULT STDMETHODCALLTYPE AddWord(BSTR word) override {
        words_.push_back(textOf(word));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveWord(BSTR word) override {
        auto it = std::find(words_.begin(), words_.end(), textOf(word));
        if (it == words_.end()) return S_FALSE;
        words_.erase(it);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Merge(IInkWordList* other) override {
        if (!other) return E_POINTER;
        const auto& more = static_cast<StandInWordList*>(other)->words();
        words_.insert(words_.end(), more.begin(), more.end());
        return S_OK;
    }

  private:
    std::vector<std::wstring> words_;
};

class StandInGuide : public Object<IInkRecognizerGuide> {
  public:
    HRESULT STDMETHODCALLTYPE get_WritingBox(IInkRectangle**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_WritingBox(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DrawnBox(IInkRectangle**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DrawnBox(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Rows(LONG* units) override { return get(units, data_.cRows); }
    HRESULT STDMETHODCALLTYPE put_Rows(LONG units) override { return put(data_.cRows, units); }
    HRESULT STDMETHODCALLTYPE get_Columns(LONG* units) override {
        return get(units, data_.cColumns);
    }
    HRESULT STDMETHODCALLTYPE put_Columns(LONG units) override {
        return put(data_.cColumns, units);
    }
    HRESULT STDMETHODCALLTYPE get_Midline(LONG* units) override {
        return get(units, data_.midline);
    }
    HRESULT STDMETHODCALLTYPE put_Midline(LONG units) override { return put(data_.midline, units); }
    HRESULT STDMETHODCALLTYPE get_GuideData(InkRecoGuide* guide) override {
        if (!guide) return E_POINTER;
        *guide = data_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_GuideData(InkRecoGuide guide) override {
        data_ = guide;
        return S_OK;
    }

  private:
    static HRESULT get(LONG* out, LONG value) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    static HRESULT put(LONG& field, LONG value) {
        field = value;
        return S_OK;
    }
    InkRecoGuide data_{};
};

// ---- recognizers ----

class StandInRecoContext : public Object<IInkRecognizerContext> {
  public:
    StandInRecoContext() {
        Guard guard(world().lock);
        ++world().log.contextsAlive;
    }
    ~StandInRecoContext() override {
        if (strokes_) strokes_->Release();
        if (wordList_) wordList_->Release();
        Guard guard(world().lock);
        --world().log.contextsAlive;
    }

    HRESULT STDMETHODCALLTYPE get_Strokes(IInkStrokes** strokes) override {
        return getHeld(strokes_, strokes);
    }
    HRESULT STDMETHODCALLTYPE putref_Strokes(IInkStrokes* strokes) override {
        putHeld(strokes_, strokes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_CharacterAutoCompletionMode(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_CharacterAutoCompletionMode(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Factoid(BSTR* factoid) override {
        if (!factoid) return E_POINTER;
        *factoid = copyBstr(factoid_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Factoid(BSTR factoid) override {
        factoid_ = textOf(factoid);
        Guard guard(world().lock);
        world().log.factoid = factoid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Guide(IInkRecognizerGuide**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_Guide(IInkRecognizerGuide* guide) override {
        Guard guard(world().lock);
        world().log.guideSet = guide != nullptr;
        world().log.guide = InkRecoGuide{};
        if (guide) guide->get_GuideData(&world().log.guide);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PrefixText(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_PrefixText(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SuffixText(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_SuffixText(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RecognitionFlags(InkRecognitionModes* modes) override {
        if (!modes) return E_POINTER;
        *modes = flags_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_RecognitionFlags(InkRecognitionModes modes) override {
        flags_ = modes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_WordList(IInkWordList** list) override {
        return getHeld(wordList_, list);
    }
    HRESULT STDMETHODCALLTYPE putref_WordList(IInkWordList* list) override {
        putHeld(wordList_, list);
        Guard guard(world().lock);
        world().log.wordListSet = wordList_ != nullptr;
        world().log.wordList = wordList_ ? wordList_->words() : std::vector<std::wstring>();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Recognizer(IInkRecognizer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Recognize(InkRecognitionStatus* status,
                                        IInkRecognitionResult** result) override;
    HRESULT STDMETHODCALLTYPE StopBackgroundRecognition() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndInkInput() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BackgroundRecognize(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BackgroundRecognizeWithAlternates(VARIANT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clone(IInkRecognizerContext**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsStringSupported(BSTR text, VARIANT_BOOL* supported) override {
        if (!supported) return E_POINTER;
        const std::wstring word = textOf(text);
        bool known =
            wordList_ && std::count(wordList_->words().begin(), wordList_->words().end(), word) > 0;
        Guard guard(world().lock);
        for (const ScriptWord& w : world().script.words)
            for (const ScriptAlternate& a : w.alternates) known = known || a.text == word;
        *supported = known ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

  private:
    StandInStrokes* strokes_ = nullptr;
    StandInWordList* wordList_ = nullptr;
    std::wstring factoid_;
    InkRecognitionModes flags_ = IRM_None;
};

HRESULT STDMETHODCALLTYPE StandInRecoContext::Recognize(InkRecognitionStatus* status,
                                                        IInkRecognitionResult** result) {
    if (!status || !result) return E_POINTER;
    *result = nullptr;
    if (!strokes_) return E_FAIL;
    Guard guard(world().lock);
    RecognizerLog& log = world().log;
    ++log.recognitions;
    log.recognitionFlags = flags_;
    log.recognizedStrokes.clear();
    for (StandInStroke* s : strokes_->strokes()) log.recognizedStrokes.push_back(s->packets());

    // Coerced to a word list, only the list's words are answered.
    const bool coerce = (flags_ & IRM_Coerce) && wordList_;
    std::wstring top;
    std::vector<AnswerWord> words;
    for (const ScriptWord& w : world().script.words) {
        AnswerWord word;
        for (const ScriptAlternate& a : w.alternates) {
            if (coerce &&
                std::count(wordList_->words().begin(), wordList_->words().end(), a.text) == 0)
                continue;
            word.alternates.push_back(a);
        }
        if (word.alternates.empty()) continue;
        const auto& all = strokes_->strokes();
        if (w.strokes.empty()) {
            word.strokes = all;
        } else {
            for (int index : w.strokes)
                if (index >= 0 && index < static_cast<int>(all.size()))
                    word.strokes.push_back(all[static_cast<size_t>(index)]);
        }
        if (!top.empty()) top += L' ';
        word.start = static_cast<LONG>(top.size());
        word.length = static_cast<LONG>(word.alternates.front().text.size());
        top += word.alternates.front().text;
        words.push_back(std::move(word));
    }
    *status = world().script.status;
    *result = new StandInResult(top, std::move(words), strokes_);
    return S_OK;
}

class StandInRecognizer : public Object<IInkRecognizer> {
  public:
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        if (!name) return E_POINTER;
        *name = copyBstr(L"Stand-in recognizer");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Vendor(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Capabilities(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Languages(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SupportedProperties(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PreferredPacketDescription(VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateRecognizerContext(IInkRecognizerContext** context) override {
        if (!context) return E_POINTER;
        *context = new StandInRecoContext;
        return S_OK;
    }
};

class StandInRecognizers : public Object<IInkRecognizers> {
  public:
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        if (!count) return E_POINTER;
        Guard guard(world().lock);
        *count = static_cast<LONG>(world().languages.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultRecognizer(LONG lcid,
                                                   IInkRecognizer** recognizer) override {
        if (!recognizer) return E_POINTER;
        *recognizer = nullptr;
        Guard guard(world().lock);
        world().log.defaultRecognizerAsked.push_back(lcid);
        const auto& l = world().languages;
        if (std::find(l.begin(), l.end(), lcid) == l.end()) return E_FAIL;
        *recognizer = new StandInRecognizer;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(LONG, IInkRecognizer**) override { return E_NOTIMPL; }
};

// ---- the collector ----

class StandInRenderer : public Object<IInkRenderer> {
  public:
    HRESULT STDMETHODCALLTYPE InkSpaceToPixel(LONG_PTR, LONG* x, LONG* y) override {
        if (!x || !y) return E_POINTER;
        *x = pixelFromInk(*x);
        *y = pixelFromInk(*y);
        return S_OK;
    }
    // Not used by the program.
    HRESULT STDMETHODCALLTYPE GetViewTransform(IInkTransform*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetViewTransform(IInkTransform*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectTransform(IInkTransform*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetObjectTransform(IInkTransform*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Draw(LONG_PTR, IInkStrokes*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawStroke(LONG_PTR, IInkStrokeDisp*,
                                         IInkDrawingAttributes*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PixelToInkSpace(LONG_PTR, LONG*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PixelToInkSpaceFromPoints(LONG_PTR, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InkSpaceToPixelFromPoints(LONG_PTR, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Measure(IInkStrokes*, IInkRectangle**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MeasureStroke(IInkStrokeDisp*, IInkDrawingAttributes*,
                                            IInkRectangle**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Move(float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Rotate(float, float, float) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ScaleTransform(float, float, VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
};

class StandInCollector : public Object<IInkCollector>,
                         public IConnectionPointContainer,
                         public IConnectionPoint {
  public:
    StandInCollector() {
        Guard guard(world().lock);
        world().collectorLog = CollectorLog{};
        world().collectorLog.made = true;
        world().collectorLog.madeOnThread = GetCurrentThreadId();
    }
    ~StandInCollector() override {
        if (sink_) sink_->Release();
        if (renderer_) renderer_->Release();
    }

    // One IUnknown for all three interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return Object::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Object::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object::Release(); }

    // ---- the connection point of the events ----
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (!point) return E_POINTER;
        *point = nullptr;
        if (iid != __uuidof(_IInkCollectorEvents)) return CONNECT_E_NOCONNECTION;
        *point = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = __uuidof(_IInkCollectorEvents);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override {
        if (!c) return E_POINTER;
        *c = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        if (stepFails("Advise")) return E_FAIL;
        if (sink_) return CONNECT_E_ADVISELIMIT;
        void* events = nullptr;
        if (FAILED(sink->QueryInterface(__uuidof(_IInkCollectorEvents), &events)))
            return CONNECT_E_CANNOTCONNECT;
        sink_ = static_cast<IDispatch*>(events);
        *cookie = 1;
        Guard guard(world().lock);
        world().collectorLog.sinkConnected = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
        sink_->Release();
        sink_ = nullptr;
        Guard guard(world().lock);
        world().collectorLog.sinkConnected = false;
        world().collectorLog.disconnectedOnThread = GetCurrentThreadId();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // ---- the collector ----
    HRESULT STDMETHODCALLTYPE put_hWnd(LONG_PTR window) override {
        if (stepFails("put_hWnd")) return E_FAIL;
        return record([&](CollectorLog& l) { l.window = window; });
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL on) override {
        if (on && stepFails("put_Enabled")) return E_FAIL;
        return record([&](CollectorLog& l) {
            l.enabled = on != VARIANT_FALSE;
            if (!l.enabled) l.disabledOnThread = GetCurrentThreadId();
        });
    }
    HRESULT STDMETHODCALLTYPE get_Renderer(IInkRenderer** renderer) override {
        if (!renderer) return E_POINTER;
        if (!renderer_) renderer_ = new StandInRenderer;
        return handOut<IInkRenderer>(renderer_, renderer);
    }
    HRESULT STDMETHODCALLTYPE put_AutoRedraw(VARIANT_BOOL on) override {
        return record([&](CollectorLog& l) { l.autoRedraw = on != VARIANT_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE put_CollectionMode(InkCollectionMode mode) override {
        return record([&](CollectorLog& l) { l.collectionMode = mode; });
    }
    HRESULT STDMETHODCALLTYPE put_DynamicRendering(VARIANT_BOOL on) override {
        return record([&](CollectorLog& l) { l.dynamicRendering = on != VARIANT_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE put_MouseIcon(IPictureDisp*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE put_MousePointer(InkMousePointer pointer) override {
        return record([&](CollectorLog& l) { l.mousePointer = pointer; });
    }
    HRESULT STDMETHODCALLTYPE put_MarginX(LONG margin) override {
        return record([&](CollectorLog& l) { l.marginX = margin; });
    }
    HRESULT STDMETHODCALLTYPE put_MarginY(LONG margin) override {
        return record([&](CollectorLog& l) { l.marginY = margin; });
    }
    HRESULT STDMETHODCALLTYPE SetAllTabletsMode(VARIANT_BOOL useMouse) override {
        return record([&](CollectorLog& l) { l.allTabletsMode = useMouse != VARIANT_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE SetEventInterest(InkCollectorEventInterest id,
                                               VARIANT_BOOL listen) override {
        return record([&](CollectorLog& l) {
            auto& on = l.interests;
            on.erase(std::remove(on.begin(), on.end(), id), on.end());
            if (listen) on.push_back(id);
        });
    }
    // Not used by the program.
    HRESULT STDMETHODCALLTYPE get_hWnd(LONG_PTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DefaultDrawingAttributes(IInkDrawingAttributes**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE putref_DefaultDrawingAttributes(IInkDrawingAttributes*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE putref_Renderer(IInkRenderer*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Ink(IInkDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_Ink(IInkDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AutoRedraw(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CollectingInk(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CollectionMode(InkCollectionMode*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DynamicRendering(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DesiredPacketDescription(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DesiredPacketDescription(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MouseIcon(IPictureDisp**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putref_MouseIcon(IPictureDisp*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MousePointer(InkMousePointer*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Cursors(IInkCursors**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MarginX(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MarginY(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Tablet(IInkTablet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SupportHighContrastInk(VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_SupportHighContrastInk(VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetGestureStatus(InkApplicationGesture, VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetGestureStatus(InkApplicationGesture, VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetWindowInputRectangle(IInkRectangle**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetWindowInputRectangle(IInkRectangle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSingleTabletIntegratedMode(IInkTablet*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetEventInterest(InkCollectorEventInterest, VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }

    // Fires one event into the sink on the calling thread.
    bool fire(DISPID id, std::vector<VARIANT>& arguments) {
        IDispatch* sink = sink_;
        if (!sink) return false;
        sink->AddRef();
        // The event's arguments travel last first.
        std::reverse(arguments.begin(), arguments.end());
        DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
        const HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        &parameters, nullptr, nullptr, nullptr);
        sink->Release();
        return SUCCEEDED(hr);
    }

  protected:
    void* otherInterface(REFIID iid) override {
        if (iid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        if (iid == IID_IConnectionPoint) return static_cast<IConnectionPoint*>(this);
        return nullptr;
    }
    void released(LONG left) override {
        if (left != 1) return;
        // Only the stand-ins' own reference is left.
        Guard guard(world().lock);
        if (world().collector == this) {
            world().collectorLog.released = true;
            world().collectorLog.releasedOnThread = GetCurrentThreadId();
        }
    }

  private:
    template <class F>
    HRESULT record(F change) {
        Guard guard(world().lock);
        if (world().collector == this) change(world().collectorLog);
        return S_OK;
    }

    IDispatch* sink_ = nullptr;
    StandInRenderer* renderer_ = nullptr;
};

// ---- class factories ----

template <class T, class I>
class Factory : public IClassFactory {
  public:
    explicit Factory(const CLSID& clsid) : clsid_(clsid) {}
    virtual ~Factory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (creationFails(clsid_)) return REGDB_E_CLASSNOTREG;
        T* made = new T;
        onMade(made);
        const HRESULT hr = static_cast<I*>(made)->QueryInterface(iid, out);
        static_cast<I*>(made)->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    static void onMade(void*) {}
    static void onMade(StandInCollector* collector) {
        Guard guard(world().lock);
        StandInCollector* previous = world().collector;
        collector->AddRef();
        world().collector = collector;
        if (previous) previous->Release();
    }

    CLSID clsid_;
    volatile LONG references_ = 1;
};

template <class T, class I>
bool registerClass(const CLSID& clsid, std::vector<DWORD>& cookies) {
    auto* factory = new Factory<T, I>(clsid);
    DWORD cookie = 0;
    const HRESULT hr =
        CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    factory->Release();
    if (FAILED(hr)) return false;
    cookies.push_back(cookie);
    return true;
}

StandInCollector* lastCollector() {
    Guard guard(world().lock);
    StandInCollector* c = world().collector;
    if (c) c->AddRef();
    return c;
}

}  // namespace

StandInRegistration::StandInRegistration() {
    ok_ = registerClass<StandInRecognizers, IInkRecognizers>(kClsidInkRecognizers, cookies_) &&
          registerClass<StandInInk, IInkDisp>(kClsidInkDisp, cookies_) &&
          registerClass<StandInWordList, IInkWordList>(kClsidInkWordList, cookies_) &&
          registerClass<StandInGuide, IInkRecognizerGuide>(kClsidInkRecognizerGuide, cookies_) &&
          registerClass<StandInCollector, IInkCollector>(kClsidInkCollector, cookies_);
}

StandInRegistration::~StandInRegistration() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
}

void setRecognizerLanguages(const std::vector<LONG>& languages) {
    Guard guard(world().lock);
    world().languages = languages;
}

void setRecognizerScript(const RecognizerScript& script) {
    Guard guard(world().lock);
    world().script = script;
}

namespace {
// Puts `id` into `list` once, or takes it out (under the world's lock).
void keepListed(std::vector<GUID>& list, REFGUID id, bool listed) {
    list.erase(std::remove(list.begin(), list.end(), id), list.end());
    if (listed) list.push_back(id);
}
}  // namespace

void failCreation(REFCLSID clsid, bool fail) {
    Guard guard(world().lock);
    keepListed(world().failing, clsid, fail);
}

RecognizerLog recognizerLog() {
    Guard guard(world().lock);
    return world().log;
}

void faultOnRelease(REFIID iid, bool fault) {
    Guard guard(world().lock);
    keepListed(world().faultingReleases, iid, fault);
}

void releaseFaultedObjects() {
    std::vector<IUnknown*> faulted;
    {
        Guard guard(world().lock);
        world().faultingReleases.clear();
        faulted.swap(world().faulted);
    }
    for (IUnknown* object : faulted) object->Release();
}

void faultOnCreateStroke(bool fault) {
    Guard guard(world().lock);
    world().createStrokeFaults = fault;
}

void resetRecognizer() {
    Guard guard(world().lock);
    World& w = world();
    w.languages = {0x0409};
    w.script = RecognizerScript{};
    w.failing.clear();
    w.failingStep.clear();
    w.faultingReleases.clear();
    w.createStrokeFaults = false;
    const int ink = w.log.inkObjectsAlive;
    const int contexts = w.log.contextsAlive;
    w.log = RecognizerLog{};
    w.log.inkObjectsAlive = ink;
    w.log.contextsAlive = contexts;
}

LONG pixelFromInk(LONG ink) { return MulDiv(ink, 96, 2540); }
LONG inkFromPixel(LONG pixel) { return MulDiv(pixel, 2540, 96); }

CollectorLog collectorLog() {
    Guard guard(world().lock);
    return world().collectorLog;
}

bool fireNewPackets(const std::vector<LONG>& packetData, LONG packetCount) {
    StandInCollector* collector = lastCollector();
    if (!collector) return false;
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(packetData.size()));
    LONG* values = nullptr;
    SafeArrayAccessData(array, reinterpret_cast<void**>(&values));
    std::copy(packetData.begin(), packetData.end(), values);
    SafeArrayUnaccessData(array);
    std::vector<VARIANT> arguments(4);
    for (VARIANT& v : arguments) VariantInit(&v);
    arguments[0].vt = VT_DISPATCH;  // the cursor
    arguments[0].pdispVal = nullptr;
    arguments[1].vt = VT_DISPATCH;  // the stroke
    arguments[1].pdispVal = nullptr;
    arguments[2].vt = VT_I4;
    arguments[2].lVal = packetCount;
    arguments[3].vt = VT_ARRAY | VT_I4;
    arguments[3].parray = array;
    const bool fired = collector->fire(kInkEventNewPackets, arguments);
    SafeArrayDestroy(array);
    collector->Release();
    return fired;
}

bool fireStroke(VARIANT_BOOL* cancel) {
    StandInCollector* collector = lastCollector();
    if (!collector) return false;
    VARIANT_BOOL value = VARIANT_FALSE;
    std::vector<VARIANT> arguments(3);
    for (VARIANT& v : arguments) VariantInit(&v);
    arguments[0].vt = VT_DISPATCH;
    arguments[1].vt = VT_DISPATCH;
    arguments[2].vt = VT_BOOL | VT_BYREF;
    arguments[2].pboolVal = &value;
    const bool fired = collector->fire(kInkEventStroke, arguments);
    collector->Release();
    if (cancel) *cancel = value;
    return fired;
}

namespace {
bool fireTwoObjects(DISPID id) {
    StandInCollector* collector = lastCollector();
    if (!collector) return false;
    std::vector<VARIANT> arguments(2);
    for (VARIANT& v : arguments) {
        VariantInit(&v);
        v.vt = VT_DISPATCH;
    }
    const bool fired = collector->fire(id, arguments);
    collector->Release();
    return fired;
}
}  // namespace

bool fireCursorButtonUp() { return fireTwoObjects(kInkEventCursorButtonUp); }
bool fireCursorDown() { return fireTwoObjects(kInkEventCursorDown); }

void failCollectorStep(const char* step) {
    Guard guard(world().lock);
    world().failingStep = step ? step : "";
}

}  // namespace tabletpc
