// The Windows Tablet PC automation objects the program uses: the ink
// collector with its renderer and events, the ink object and its strokes,
// and the recognizers with their contexts, guides, word lists and results.
//
// mingw's msinkaut.h declares the ink side; the recognizer side (recognizers
// collection, recognizer, recognizer context, guide, word list) and the
// class ids the program creates are declared here, in the platform's slot
// order, so that the same code drives the real objects on Windows and the
// in-process stand-ins of the tests (see TabletStandIns.h).
#pragma once

#include <windows.h>

#include <msinkaut.h>
#include <ole2.h>

struct IInkRecognizer;
struct IInkRecognizerContext;
struct IInkRecognizerGuide;
struct IInkWordList;

// ---- class ids ----

// {43FB1553-AD74-4EE8-88E4-3E6DAAC915DB}
const CLSID kClsidInkCollector = {
    0x43FB1553, 0xAD74, 0x4EE8, {0x88, 0xE4, 0x3E, 0x6D, 0xAA, 0xC9, 0x15, 0xDB}};
// {937C1A34-151D-4610-9CA6-A8CC9BDB5D83}
const CLSID kClsidInkDisp = {
    0x937C1A34, 0x151D, 0x4610, {0x9C, 0xA6, 0xA8, 0xCC, 0x9B, 0xDB, 0x5D, 0x83}};
// {9FD4E808-F6E6-4E65-98D3-AA39054C1255}
const CLSID kClsidInkRecognizers = {
    0x9FD4E808, 0xF6E6, 0x4E65, {0x98, 0xD3, 0xAA, 0x39, 0x05, 0x4C, 0x12, 0x55}};
// {9DE85094-F71F-44F1-8471-15A2FA76FCF3}
const CLSID kClsidInkWordList = {
    0x9DE85094, 0xF71F, 0x44F1, {0x84, 0x71, 0x15, 0xA2, 0xFA, 0x76, 0xFC, 0xF3}};
// {8770D941-A63A-4671-A375-2855A18EBA73}
const CLSID kClsidInkRecognizerGuide = {
    0x8770D941, 0xA63A, 0x4671, {0xA3, 0x75, 0x28, 0x55, 0xA1, 0x8E, 0xBA, 0x73}};

// ---- values the recognizer side uses ----

// Recognition flags of a recognizer context.
enum InkRecognitionModes : LONG {
    IRM_None = 0,
    IRM_WordModeOnly = 0x1,
    IRM_Coerce = 0x2,
};

enum InkRecognitionStatus : LONG {
    IRS_NoError = 0,
};

// An alternate that carries no confidence answers this from get_Confidence.
constexpr HRESULT kInkErrorNoConfidence = static_cast<HRESULT>(0x80040241L);

// The guide record of a recognizer guide: writing and drawn box, rows,
// columns, midline.
struct InkRecoGuide {
    RECT rectWritingBox;
    RECT rectDrawnBox;
    LONG cRows;
    LONG cColumns;
    LONG midline;
};

// ---- the recognizer side ----

// {9CCC4F12-B0B7-4A8B-BF58-4AECA4E8CEFD}
struct IInkRecognizers : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** items) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultRecognizer(LONG lcid,
                                                           IInkRecognizer** recognizer) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, IInkRecognizer** recognizer) = 0;
};

// {782BF7CF-034B-4396-8A32-3A1833CF6B56}
struct IInkRecognizer : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Vendor(BSTR* vendor) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Capabilities(LONG* capabilities) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Languages(VARIANT* languages) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SupportedProperties(VARIANT* properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PreferredPacketDescription(VARIANT* description) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateRecognizerContext(IInkRecognizerContext** context) = 0;
};

// {C68F52F9-32A3-4625-906C-44FC23B40958}
struct IInkRecognizerContext : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Strokes(IInkStrokes** strokes) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Strokes(IInkStrokes* strokes) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CharacterAutoCompletionMode(LONG* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CharacterAutoCompletionMode(LONG mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Factoid(BSTR* factoid) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Factoid(BSTR factoid) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Guide(IInkRecognizerGuide** guide) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_Guide(IInkRecognizerGuide* guide) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PrefixText(BSTR* prefix) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PrefixText(BSTR prefix) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SuffixText(BSTR* suffix) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SuffixText(BSTR suffix) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RecognitionFlags(InkRecognitionModes* modes) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_RecognitionFlags(InkRecognitionModes modes) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_WordList(IInkWordList** wordList) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_WordList(IInkWordList* wordList) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Recognizer(IInkRecognizer** recognizer) = 0;
    virtual HRESULT STDMETHODCALLTYPE Recognize(InkRecognitionStatus* status,
                                                IInkRecognitionResult** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopBackgroundRecognition() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndInkInput() = 0;
    virtual HRESULT STDMETHODCALLTYPE BackgroundRecognize(VARIANT customData) = 0;
    virtual HRESULT STDMETHODCALLTYPE BackgroundRecognizeWithAlternates(VARIANT customData) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IInkRecognizerContext** context) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsStringSupported(BSTR text, VARIANT_BOOL* supported) = 0;
};

// {D934BE07-7B84-4208-9136-83C20994E905}
struct IInkRecognizerGuide : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_WritingBox(IInkRectangle** rectangle) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_WritingBox(IInkRectangle* rectangle) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DrawnBox(IInkRectangle** rectangle) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DrawnBox(IInkRectangle* rectangle) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Rows(LONG* units) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Rows(LONG units) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Columns(LONG* units) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Columns(LONG units) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Midline(LONG* units) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Midline(LONG units) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_GuideData(InkRecoGuide* guide) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_GuideData(InkRecoGuide guide) = 0;
};

// {76BA3491-CB2F-406B-9961-0E0C4CDAAEF2}
struct IInkWordList : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE AddWord(BSTR word) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveWord(BSTR word) = 0;
    virtual HRESULT STDMETHODCALLTYPE Merge(IInkWordList* other) = 0;
};

__CRT_UUID_DECL(IInkRecognizers, 0x9CCC4F12, 0xB0B7, 0x4A8B, 0xBF, 0x58, 0x4A, 0xEC, 0xA4, 0xE8,
                0xCE, 0xFD)
__CRT_UUID_DECL(IInkRecognizer, 0x782BF7CF, 0x034B, 0x4396, 0x8A, 0x32, 0x3A, 0x18, 0x33, 0xCF,
                0x6B, 0x56)
__CRT_UUID_DECL(IInkRecognizerContext, 0xC68F52F9, 0x32A3, 0x4625, 0x90, 0x6C, 0x44, 0xFC, 0x23,
                0xB4, 0x09, 0x58)
__CRT_UUID_DECL(IInkRecognizerGuide, 0xD934BE07, 0x7B84, 0x4208, 0x91, 0x36, 0x83, 0xC2, 0x09, 0x94,
                0xE9, 0x05)
__CRT_UUID_DECL(IInkWordList, 0x76BA3491, 0xCB2F, 0x406B, 0x99, 0x61, 0x0E, 0x0C, 0x4C, 0xDA, 0xAE,
                0xF2)

// Dispatch ids of the collector's events.
enum InkCollectorEventId : DISPID {
    kInkEventStroke = 1,
    kInkEventCursorDown = 2,
    kInkEventNewPackets = 3,
    kInkEventNewInAirPackets = 4,
    kInkEventCursorButtonDown = 5,
    kInkEventCursorButtonUp = 6,
    kInkEventDblClick = 25,
    kInkEventMouseDown = 27,
    kInkEventMouseMove = 31,
    kInkEventMouseUp = 32,
    kInkEventMouseWheel = 33,
};
