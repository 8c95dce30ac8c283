// Helpers for the binding tests: hand-made accessible trees that own their
// fakes, and a hook library that names a target module and a focused element.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/HookLibrary.h"
#include "hook64/SharedData.h"
#include "tests/hook64/FakeAccessible.h"

// A tree of fakes built parent first; the tree holds one reference to each.
class FakeTree {
  public:
    FakeTree() = default;
    ~FakeTree() {
        for (FakeAccessible* node : nodes_) node->Release();
    }
    FakeTree(const FakeTree&) = delete;
    FakeTree& operator=(const FakeTree&) = delete;

    // A new node under `parent` (null: a root). `name` (null: no name) must
    // outlive the tree: tests pass literals.
    FakeAccessible* add(FakeAccessible* parent, LONG role, const wchar_t* name,
                        LONG state = 0x100000) {
        FakeAccessible* node = FakeAccessible::make(role);
        node->name = name;
        node->state = state;
        node->parent = parent;
        if (parent) parent->children.push_back({0, node});
        nodes_.push_back(node);
        return node;
    }
    // A chain of `count` nodes of one role below `parent`; the innermost.
    FakeAccessible* chain(FakeAccessible* parent, LONG role, int count) {
        for (int i = 0; i < count; ++i) parent = add(parent, role, nullptr);
        return parent;
    }

  private:
    std::vector<FakeAccessible*> nodes_;
};

// A hook library that reports a target module, a focus window and,
// optionally, the focused element of that window.
class BindingHookLibrary : public HookLibrary {
  public:
    std::wstring module = L"C:\\Program Files\\Notes\\Notes.exe";
    HWND focus = nullptr;
    HWND foreground = nullptr;
    bool hasElement = false;
    UI_ELEM_INFO element = {};
    HKL layout = reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04090409));

    const wchar_t* getTargetModuleName() override {
        return module.empty() ? nullptr : module.c_str();
    }
    HWND getLastFocusWindow() override { return focus; }
    HWND getLastForegroundWindow() override { return foreground; }
    int getLastFocusedElemInfo(UI_ELEM_INFO* out, RECT*) override {
        if (!hasElement) return 0;
        if (out) *out = element;
        return 1;
    }
    HKL askLastFocusKeyboardLayout() override { return layout; }
};

// Puts a hook library in place for the length of a scope.
class HookLibraryScope {
  public:
    explicit HookLibraryScope(HookLibrary* library) : old_(setHookLibrary(library)) {}
    ~HookLibraryScope() { setHookLibrary(old_); }

  private:
    HookLibrary* old_;
};
