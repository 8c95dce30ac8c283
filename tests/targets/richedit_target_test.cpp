// target_richedit.exe driven from this process through its Text Object Model
// document, reached as the rich edit handler reaches it
// (AccessibleObjectFromWindow(OBJID_NATIVEOM) and standard COM marshalling).
#include <gtest/gtest.h>
#include <tom.h>

#include <memory>
#include <string>

#include "ObjectModelClient.h"
#include "SelectionCases.h"
#include "TargetClient.h"
#include "TomIds.h"

namespace targets {
namespace {

std::wstring textOf(ITextRange* range) {
    Bstr text;
    if (FAILED(range->GetText(text.out()))) return L"<failed>";
    return text.text();
}

class RichEditTargetTest : public ::testing::Test {
  protected:
    void SetUp() override { start(L""); }

    void start(const std::wstring& switches) {
        target_.reset(new TargetProcess(TargetKind::RichEdit, switches));
        ASSERT_TRUE(target_->ok()) << target_->error();
        ASSERT_TRUE(target_->activate());
        HRESULT hr = nativeObject(target_->control(), kIidTextDocument, document_);
        ASSERT_EQ(S_OK, hr) << std::hex << hr;
        ASSERT_EQ(S_OK, document_->GetSelection(selection_.GetAddressOf()));
        ASSERT_TRUE(selection_);
    }

    // Text and selection set through the request protocol.
    void show(const std::wstring& text, LONG anchor, LONG active) {
        ASSERT_TRUE(target_->setText(text));
        ASSERT_TRUE(target_->setSelection(anchor, active));
    }

    LONG start() {
        LONG cp = -1;
        EXPECT_EQ(S_OK, selection_->GetStart(&cp));
        return cp;
    }
    LONG end() {
        LONG cp = -1;
        EXPECT_EQ(S_OK, selection_->GetEnd(&cp));
        return cp;
    }
    ComPtr<ITextRange> range(LONG cp1, LONG cp2) {
        ComPtr<ITextRange> made;
        EXPECT_EQ(S_OK, document_->Range(cp1, cp2, made.GetAddressOf()));
        return made;
    }

    ComApartment apartment_;
    std::unique_ptr<TargetProcess> target_;
    ComPtr<ITextDocument> document_;
    ComPtr<ITextSelection> selection_;
};

TEST_F(RichEditTargetTest, ServesItsDocumentForTheNativeObjectModel) {
    EXPECT_EQ(L"RichEdit20W", classNameOf(target_->control()));
    LONG stories = 0;
    EXPECT_EQ(S_OK, document_->GetStoryCount(&stories));
    EXPECT_EQ(1, stories);
    // The selection is also a range; a plain range is no selection.
    ComPtr<ITextRange> asRange;
    EXPECT_EQ(S_OK, selection_->QueryInterface(kIidTextRange,
                                               reinterpret_cast<void**>(asRange.GetAddressOf())));
    ComPtr<ITextSelection> notSelection;
    EXPECT_EQ(E_NOINTERFACE,
              range(0, 0)->QueryInterface(kIidTextSelection,
                                          reinterpret_cast<void**>(notSelection.GetAddressOf())));
}

TEST_F(RichEditTargetTest, NewerRichEditClassServesTheSameDocument) {
    start(L"/msftedit");
    // Wine names it "RichEdit50W", Windows "RICHEDIT50W".
    EXPECT_EQ(0, _wcsicmp(L"RICHEDIT50W", classNameOf(target_->control()).c_str()));
    show(L"hello", 1, 3);
    EXPECT_EQ(1, start());
    EXPECT_EQ(3, end());
    EXPECT_EQ(L"el", textOf(selection_.Get()));
}

TEST_F(RichEditTargetTest, TypedTextReadsBackThroughTheDocument) {
    ASSERT_TRUE(sendUnicodeText(L"hello w\u00f6rld"));
    ASSERT_TRUE(target_->waitForText(L"hello w\u00f6rld"));
    EXPECT_EQ(11, start());
    EXPECT_EQ(11, end());
    LONG story = 0;
    EXPECT_EQ(S_OK, range(0, 0)->GetStoryLength(&story));
    EXPECT_EQ(12, story);  // the text and the final paragraph mark
    EXPECT_EQ(L"hello w\u00f6rld", textOf(range(0, 11).Get()));
    EXPECT_EQ(L"", textOf(selection_.Get()));
    pressKey(VK_RETURN);
    ASSERT_TRUE(typeWithKeys(L"Next"));
    EXPECT_TRUE(target_->waitForText(L"hello w\u00f6rld\rNext"));
    EXPECT_EQ(16, end());
}

TEST_F(RichEditTargetTest, ShiftLeftSelectsWithTheCaretAtTheStart) {
    ASSERT_TRUE(sendUnicodeText(L"hello"));
    // Else the wait below may match the caret of "hel" while it is being typed.
    ASSERT_TRUE(target_->waitForText(L"hello"));
    pressKey(VK_LEFT, true);
    pressKey(VK_LEFT, true);
    ASSERT_TRUE(TargetProcess::waitFor([&] { return target_->state().selStart == 3; }));
    TargetState state = target_->state();
    EXPECT_EQ(5, state.selEnd);
    EXPECT_EQ(3, state.caret);
    LONG flags = 0;
    EXPECT_EQ(S_OK, selection_->GetFlags(&flags));
    EXPECT_EQ(tomSelStartActive, flags & tomSelStartActive);
    // Extending moves the active end, the start here.
    LONG delta = 0;
    EXPECT_EQ(S_OK, selection_->MoveLeft(tomCharacter, 1, tomExtend, &delta));
    EXPECT_EQ(2, start());
    EXPECT_EQ(5, end());
}

TEST_F(RichEditTargetTest, SettingTheSelectionTextReplacesItAndSelectsTheNewText) {
    for (const Replacement& c : kReplacements) {
        show(L"hello world", c.anchor, c.active);
        Bstr with(c.with);
        EXPECT_EQ(S_OK, selection_->SetText(with.value));
        TargetState state = target_->state();
        EXPECT_EQ(c.text, state.text) << c.with;
        EXPECT_EQ(c.start, state.selStart) << c.with;
        EXPECT_EQ(c.end, state.selEnd) << c.with;
        EXPECT_EQ(c.start, start());
        EXPECT_EQ(c.end, end());
    }
}

// The handler's "select the inserted text": note the start, set the text, then
// select from the old start to the end of the inserted text.
TEST_F(RichEditTargetTest, InsertedTextIsSelectedThroughARange) {
    show(L"hello world", 6, 11);
    LONG old = start();
    Bstr with(L"there");
    ASSERT_EQ(S_OK, selection_->SetText(with.value));
    ASSERT_EQ(S_OK, selection_->Collapse(tomEnd));
    EXPECT_EQ(11, start());
    EXPECT_EQ(S_OK, range(old, old + 5)->Select());
    EXPECT_EQ(6, start());
    EXPECT_EQ(11, end());
    EXPECT_EQ(S_OK, selection_->SetRange(11, 6));  // active end first
    TargetState state = target_->state();
    EXPECT_EQ(6, state.selStart);
    EXPECT_EQ(11, state.selEnd);
}

TEST_F(RichEditTargetTest, TypeTextLeavesTheCaretAfterTheText) {
    show(L"hello world", 6, 11);
    LONG type = -1;
    EXPECT_EQ(S_OK, selection_->GetType(&type));
    EXPECT_EQ(tomSelectionNormal, type);
    Bstr with(L"there");
    EXPECT_EQ(S_OK, selection_->TypeText(with.value));
    EXPECT_EQ(L"hello there", target_->text());
    EXPECT_EQ(11, start());
    EXPECT_EQ(11, end());
    EXPECT_EQ(S_OK, selection_->GetType(&type));
    EXPECT_EQ(tomSelectionIP, type);
    // Typing from outside goes on at the caret.
    ASSERT_TRUE(sendUnicodeText(L"!"));
    EXPECT_TRUE(target_->waitForText(L"hello there!"));
}

// The leading-space decision looks at the character before the selection.
TEST_F(RichEditTargetTest, ReadsTheCharacterBeforeTheSelection) {
    for (const CharacterBefore& c : kCharactersBefore) {
        show(c.text, c.caret, c.caret);
        LONG at = start();
        ASSERT_EQ(c.caret, at);
        EXPECT_EQ(c.before, textOf(range(at - 1, at).Get())) << c.text;
        // The same through a duplicate of the selection moved back by one.
        ComPtr<ITextRange> before;
        ASSERT_EQ(S_OK, selection_->GetDuplicate(before.GetAddressOf()));
        LONG moved = 0;
        before->MoveStart(tomCharacter, -1, &moved);
        EXPECT_EQ(*c.before ? -1 : 0, moved) << c.text;
        LONG ch = 0;
        EXPECT_EQ(S_OK, before->GetChar(&ch));
        if (*c.before) {
            EXPECT_EQ(c.before[0], ch) << c.text;
        }
        EXPECT_EQ(c.caret, end()) << "the selection itself did not move";
    }
}

TEST_F(RichEditTargetTest, RangesFollowEditsBeforeThem) {
    show(L"hello world", 0, 0);
    ComPtr<ITextRange> world = range(6, 11);
    Bstr with(L"oh, ");
    ASSERT_EQ(S_OK, selection_->SetText(with.value));
    LONG from = 0, to = 0;
    world->GetStart(&from);
    world->GetEnd(&to);
    EXPECT_EQ(10, from);
    EXPECT_EQ(15, to);
    EXPECT_EQ(L"world", textOf(world.Get()));
    EXPECT_EQ(L"oh, hello world", target_->text());
}

TEST_F(RichEditTargetTest, MovesByCharactersAndStory) {
    show(L"hello world", 3, 3);
    LONG delta = 0;
    EXPECT_EQ(S_OK, selection_->MoveRight(tomCharacter, 2, tomExtend, &delta));
    EXPECT_EQ(2, delta);
    EXPECT_EQ(L"lo", textOf(selection_.Get()));
    EXPECT_EQ(S_OK, selection_->MoveLeft(tomCharacter, 1, tomMove, &delta));
    EXPECT_EQ(3, start());
    EXPECT_EQ(3, end());
    EXPECT_EQ(S_OK, selection_->EndKey(tomStory, tomExtend, &delta));
    EXPECT_EQ(L"lo world", textOf(selection_.Get()));
    ComPtr<ITextRange> all = range(4, 4);
    EXPECT_EQ(S_OK, all->Expand(tomStory, &delta));
    EXPECT_EQ(L"hello world\r", textOf(all.Get()));
    EXPECT_EQ(S_OK, all->Delete(tomCharacter, 1, &delta));
    EXPECT_EQ(L"", target_->text());
}

TEST_F(RichEditTargetTest, GetPointGivesTheCaretPositionOnTheScreen) {
    show(L"hello world", 0, 5);
    RECT window;
    GetWindowRect(target_->control(), &window);
    LONG startX = 0, startY = 0, endX = 0, endY = 0;
    ASSERT_EQ(S_OK, selection_->GetPoint(tomStart | TA_TOP | TA_LEFT, &startX, &startY));
    ASSERT_EQ(S_OK, selection_->GetPoint(tomEnd | TA_BOTTOM | TA_LEFT, &endX, &endY));
    POINT first = {startX, startY};
    EXPECT_TRUE(PtInRect(&window, first)) << startX << "," << startY;
    EXPECT_GT(endX, startX);
    EXPECT_GT(endY, startY);
    LONG clientX = 0, clientY = 0;
    ASSERT_EQ(S_OK, selection_->GetPoint(tomStart | tomClientCoord, &clientX, &clientY));
    POINT client = {clientX, clientY};
    ClientToScreen(target_->control(), &client);
    EXPECT_EQ(startX, client.x);
    EXPECT_EQ(startY, client.y);
}

TEST_F(RichEditTargetTest, DispatchReachesTheSameObjects) {
    show(L"hello world", 0, 5);
    Variant selection;
    ASSERT_EQ(S_OK, getProperty(document_.Get(), L"Selection", selection));
    ASSERT_EQ(VT_DISPATCH, selection.vt);
    Variant text;
    ASSERT_EQ(S_OK, getProperty(selection.pdispVal, L"Text", text));
    EXPECT_EQ(L"hello", text.text());
    Variant start;
    ASSERT_EQ(S_OK, getProperty(selection.pdispVal, L"Start", start));
    EXPECT_EQ(VT_I4, start.vt);
    EXPECT_EQ(0, start.lVal);
}

TEST_F(RichEditTargetTest, UndoTakesBackAReplacement) {
    show(L"hello world", 6, 11);
    Bstr with(L"there");
    ASSERT_EQ(S_OK, selection_->SetText(with.value));
    ASSERT_EQ(L"hello there", target_->text());
    LONG undone = 0;
    EXPECT_EQ(S_OK, document_->Undo(1, &undone));
    EXPECT_EQ(1, undone);
    EXPECT_EQ(L"hello world", target_->text());
    // And by the keyboard.
    ASSERT_EQ(S_OK, selection_->SetText(with.value));
    pressKey('Z', false, true);
    EXPECT_TRUE(target_->waitForText(L"hello world"));
}

// Left then Right after typing, as the keyboard output does for rich edits,
// leave the caret where it was.
TEST_F(RichEditTargetTest, LeftThenRightKeepsTheCaret) {
    ASSERT_TRUE(typeWithKeys(L"abc"));
    pressKey(VK_LEFT);
    pressKey(VK_RIGHT);
    ASSERT_TRUE(typeWithKeys(L"d"));
    EXPECT_TRUE(target_->waitForText(L"abcd"));
    EXPECT_EQ(4, end());
}

TEST_F(RichEditTargetTest, RefusingTargetFailsTheCalls) {
    show(L"hello", 0, 5);
    ASSERT_TRUE(target_->setFaults(kFaultCallsFail));
    LONG cp = 0;
    EXPECT_TRUE(FAILED(selection_->GetStart(&cp)));
    Bstr text;
    EXPECT_TRUE(FAILED(selection_->GetText(text.out())));
    ComPtr<ITextRange> made;
    EXPECT_TRUE(FAILED(document_->Range(0, 0, made.GetAddressOf())));
    EXPECT_EQ(L"hello", target_->text());
    ASSERT_TRUE(target_->setFaults(kFaultNone));
    EXPECT_EQ(5, end());
}

// As the system's rich edit under Wine: no document for OBJID_NATIVEOM.
TEST_F(RichEditTargetTest, WithoutTheObjectModelNoDocumentIsFound) {
    ASSERT_TRUE(target_->setFaults(kFaultNoObjectModel));
    ComPtr<ITextDocument> none;
    EXPECT_TRUE(FAILED(nativeObject(target_->control(), kIidTextDocument, none)));
    EXPECT_FALSE(none);
}

TEST_F(RichEditTargetTest, CallsFailOnceTheTargetIsGone) {
    target_->end();
    LONG cp = 0;
    EXPECT_TRUE(FAILED(selection_->GetStart(&cp)));
    ComPtr<ITextRange> made;
    EXPECT_TRUE(FAILED(document_->Range(0, 0, made.GetAddressOf())));
}

}  // namespace
}  // namespace targets
