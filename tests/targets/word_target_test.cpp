// target_word.exe driven from this process: its "_WwG" window's Window and
// Selection objects reached as the word processor handler reaches them
// (AccessibleObjectFromWindow(OBJID_NATIVEOM), the Window interface, its
// Selection), used through IDispatch only; typed into from outside.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ObjectModelClient.h"
#include "SelectionCases.h"
#include "TargetClient.h"

namespace targets {
namespace {

const GUID kIidWindow = {0x00020962, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidSelection = {0x00020975, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class WordTargetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        target_.reset(new TargetProcess(TargetKind::Word));
        ASSERT_TRUE(target_->ok()) << target_->error();
        ASSERT_TRUE(target_->activate());
        HRESULT hr = nativeObject(target_->control(), kIidWindow, window_);
        ASSERT_EQ(S_OK, hr) << std::hex << hr;
        Variant selection;
        ASSERT_EQ(S_OK, getProperty(window_.Get(), L"Selection", selection));
        ASSERT_EQ(VT_DISPATCH, selection.vt);
        ASSERT_EQ(S_OK, selection.pdispVal->QueryInterface(
                            kIidSelection, reinterpret_cast<void**>(selection_.GetAddressOf())));
    }

    void show(const std::wstring& text, LONG anchor, LONG active) {
        ASSERT_TRUE(target_->setText(text));
        ASSERT_TRUE(target_->setSelection(anchor, active));
    }

    LONG number(const wchar_t* name) {
        Variant value;
        EXPECT_EQ(S_OK, getProperty(selection_.Get(), name, value));
        EXPECT_EQ(VT_I4, value.vt);
        return value.vt == VT_I4 ? value.lVal : -1;
    }
    std::wstring text() {
        Variant value;
        EXPECT_EQ(S_OK, getProperty(selection_.Get(), L"Text", value));
        EXPECT_EQ(VT_BSTR, value.vt);
        return value.text();
    }
    HRESULT put(const wchar_t* name, const Variant& value) {
        return putProperty(selection_.Get(), name, value);
    }

    ComApartment apartment_;
    std::unique_ptr<TargetProcess> target_;
    ComPtr<IDispatch> window_;
    ComPtr<IDispatch> selection_;
};

TEST_F(WordTargetTest, DocumentWindowIsAFocusedWwGChild) {
    EXPECT_EQ(L"_WwG", classNameOf(target_->control()));
    EXPECT_EQ(target_->frame(), GetParent(target_->control()));
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(target_->frame(), nullptr), &info));
    EXPECT_EQ(target_->control(), info.hwndFocus);
}

TEST_F(WordTargetTest, MembersAreFoundByNameInAnyCase) {
    struct Case {
        bool onWindow;
        const wchar_t* name;
        HRESULT result;
        DISPID id;
    } cases[] = {
        {true, L"Selection", S_OK, 4},
        {true, L"selection", S_OK, 4},
        {false, L"Text", S_OK, 0},
        {false, L"TEXT", S_OK, 0},
        {false, L"Start", S_OK, 3},
        {false, L"End", S_OK, 4},
        {false, L"TypeText", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {true, L"Text", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const Case& c : cases) {
        DISPID id = 12345;
        EXPECT_EQ(c.result, dispatchId(c.onWindow ? window_.Get() : selection_.Get(), c.name, id))
            << c.name;
        EXPECT_EQ(c.id, id) << c.name;
    }
}

TEST_F(WordTargetTest, TypedTextReadsBackThroughTheSelection) {
    ASSERT_TRUE(sendUnicodeText(L"hello w\u00f6rld"));
    ASSERT_TRUE(target_->waitForText(L"hello w\u00f6rld"));
    EXPECT_EQ(11, number(L"Start"));
    EXPECT_EQ(11, number(L"End"));
    for (int i = 0; i < 5; ++i) pressKey(VK_LEFT, true);
    ASSERT_TRUE(TargetProcess::waitFor([&] { return target_->state().selStart == 6; }));
    EXPECT_EQ(6, number(L"Start"));
    EXPECT_EQ(11, number(L"End"));
    EXPECT_EQ(L"w\u00f6rld", text());
    EXPECT_EQ(6, target_->state().caret);
}

TEST_F(WordTargetTest, KeysEditTheText) {
    ASSERT_TRUE(typeWithKeys(L"Hello world"));
    ASSERT_TRUE(target_->waitForText(L"Hello world"));
    pressKey(VK_BACK);
    pressKey(VK_HOME);
    pressKey(VK_DELETE);
    pressKey(VK_END);
    pressKey(VK_RETURN);
    ASSERT_TRUE(sendUnicodeText(L"\tx"));
    EXPECT_TRUE(target_->waitForText(L"ello worl\r\tx"));
    pressKey(VK_LEFT);
    pressKey(VK_LEFT, true);
    ASSERT_TRUE(TargetProcess::waitFor([&] { return target_->state().selStart == 10; }));
    EXPECT_EQ(L"\t", text());
}

// A run of typed characters is one undo step; so is a replacement through
// the object model.
TEST_F(WordTargetTest, CtrlZUndoesOneEditAtATime) {
    ASSERT_TRUE(sendUnicodeText(L"hello"));
    pressKey(VK_LEFT);
    ASSERT_TRUE(sendUnicodeText(L"XY"));
    ASSERT_TRUE(target_->waitForText(L"hellXYo"));
    pressKey('Z', false, true);
    EXPECT_TRUE(target_->waitForText(L"hello"));
    Variant with(L"Hi");
    ASSERT_EQ(S_OK, put(L"Text", with));
    EXPECT_EQ(L"hellHio", target_->text());
    pressKey('Z', false, true);
    EXPECT_TRUE(target_->waitForText(L"hello"));
    pressKey('Z', false, true);
    EXPECT_TRUE(target_->waitForText(L""));
}

TEST_F(WordTargetTest, ClipboardKeysCopyAndPaste) {
    ASSERT_TRUE(sendUnicodeText(L"ab"));
    pressKey(VK_RETURN);
    ASSERT_TRUE(sendUnicodeText(L"c"));
    ASSERT_TRUE(target_->waitForText(L"ab\rc"));
    pressKey('A', false, true);
    pressKey('C', false, true);
    pressKey(VK_RIGHT);
    pressKey('V', false, true);
    EXPECT_TRUE(target_->waitForText(L"ab\rcab\rc"));
}

TEST_F(WordTargetTest, PuttingTextReplacesTheSelectionAndSelectsIt) {
    for (const Replacement& c : kReplacements) {
        show(L"hello world", c.anchor, c.active);
        Variant with(c.with);
        EXPECT_EQ(S_OK, put(L"Text", with)) << c.with;
        TargetState state = target_->state();
        EXPECT_EQ(c.text, state.text) << c.with;
        EXPECT_EQ(c.start, number(L"Start")) << c.with;
        EXPECT_EQ(c.end, number(L"End")) << c.with;
        EXPECT_EQ(c.start, state.selStart) << c.with;
        EXPECT_EQ(c.end, state.selEnd) << c.with;
    }
}

// The handler's "select the inserted text": Start := old start, End := old
// start + length, whichever order the ends cross in.
TEST_F(WordTargetTest, PuttingStartAndEndMovesTheOtherEndWhenCrossed) {
    struct Case {
        const wchar_t* first;
        LONG firstValue;
        const wchar_t* second;
        LONG secondValue;
        LONG start, end;
    } cases[] = {
        {L"Start", 6, L"End", 11, 6, 11}, {L"End", 3, L"Start", 1, 1, 3},
        {L"Start", 9, L"End", 11, 9, 11},  // from [2,4]: a start past the end drags it
        {L"End", 1, L"Start", 0, 0, 1},   {L"Start", -5, L"End", 99, 0, 11},
    };
    for (const Case& c : cases) {
        show(L"hello world", 2, 4);
        EXPECT_EQ(S_OK, put(c.first, Variant(c.firstValue)));
        EXPECT_EQ(S_OK, put(c.second, Variant(c.secondValue)));
        EXPECT_EQ(c.start, number(L"Start")) << c.first << c.firstValue;
        EXPECT_EQ(c.end, number(L"End")) << c.first << c.firstValue;
    }
    show(L"hello world", 2, 4);
    EXPECT_EQ(S_OK, put(L"Start", Variant(7)));
    EXPECT_EQ(7, number(L"Start"));
    EXPECT_EQ(7, number(L"End"));
    EXPECT_EQ(S_OK, put(L"End", Variant(3)));
    EXPECT_EQ(3, number(L"Start"));
    EXPECT_EQ(3, number(L"End"));
}

// As the word processor answers: an empty selection's Text is the character
// after it, so a handler must check Start < End before it reads the text.
TEST_F(WordTargetTest, EmptySelectionTextIsTheNextCharacter) {
    show(L"hello", 1, 1);
    EXPECT_EQ(L"e", text());
    show(L"hello", 5, 5);
    EXPECT_EQ(L"", text());
}

// The leading-space decision: widen the selection back by one, read the
// character, put the start back.
TEST_F(WordTargetTest, ReadsTheCharacterBeforeTheSelection) {
    for (const CharacterBefore& c : kCharactersBefore) {
        show(c.text, c.caret, c.caret);
        LONG start = number(L"Start");
        ASSERT_EQ(c.caret, start);
        if (start > 0) {
            ASSERT_EQ(S_OK, put(L"Start", Variant(start - 1)));
            EXPECT_EQ(c.before, text()) << c.text;
            ASSERT_EQ(S_OK, put(L"Start", Variant(start)));
        }
        EXPECT_EQ(c.caret, number(L"Start")) << c.text;
        EXPECT_EQ(c.caret, number(L"End")) << c.text;
        EXPECT_EQ(c.text, target_->text());
    }
}

TEST_F(WordTargetTest, ValuesAreCoercedAndMalformedCallsRefused) {
    show(L"hello world", 0, 0);
    EXPECT_EQ(S_OK, put(L"End", Variant(L"5")));
    EXPECT_EQ(5, number(L"End"));
    EXPECT_EQ(S_OK, put(L"Text", Variant(42)));
    EXPECT_EQ(L"42 world", target_->text());

    UINT argErr = 99;
    Variant bad(L"five");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&bad, &named, 1, 1};
    EXPECT_EQ(DISP_E_TYPEMISMATCH, selection_->Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put,
                                                      nullptr, nullptr, &argErr));
    EXPECT_EQ(0u, argErr);
    DISPPARAMS unnamed = {&bad, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, selection_->Invoke(0, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                                                       &unnamed, nullptr, nullptr, nullptr));
    Variant result;
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, selection_->Invoke(0, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                                       &unnamed, &result, nullptr, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, getProperty(selection_.Get(), 99, result));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, putProperty(window_.Get(), 4, Variant(1)));
    EXPECT_EQ(L"42 world", target_->text());
}

TEST_F(WordTargetTest, RefusingTargetRaisesAnException) {
    show(L"hello", 0, 5);
    ASSERT_TRUE(target_->setFaults(kFaultCallsFail));
    for (IDispatch* object : {window_.Get(), selection_.Get()}) {
        EXCEPINFO excep = {};
        Variant result;
        EXPECT_EQ(DISP_E_EXCEPTION,
                  getProperty(object, object == window_.Get() ? 4 : 0, result, &excep));
        EXPECT_EQ(E_FAIL, excep.scode);
        EXPECT_NE(nullptr, excep.bstrDescription);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    EXPECT_EQ(DISP_E_EXCEPTION, put(L"Text", Variant(L"x")));
    EXPECT_EQ(L"hello", target_->text());
    ASSERT_TRUE(target_->setFaults(kFaultNone));
    EXPECT_EQ(L"hello", text());
}

TEST_F(WordTargetTest, WithoutTheObjectModelNoWindowIsFound) {
    ASSERT_TRUE(target_->setFaults(kFaultNoObjectModel));
    ComPtr<IDispatch> none;
    EXPECT_TRUE(FAILED(nativeObject(target_->control(), kIidWindow, none)));
    EXPECT_FALSE(none);
}

TEST_F(WordTargetTest, CallsFailOnceTheTargetIsGone) {
    target_->end();
    Variant result;
    EXPECT_TRUE(FAILED(getProperty(selection_.Get(), 3, result)));
    EXPECT_TRUE(FAILED(getProperty(window_.Get(), 4, result)));
}

}  // namespace
}  // namespace targets
