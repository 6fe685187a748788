// SPDX-License-Identifier: Apache-2.0
// A screen reader asks a window for its IAccessible with WM_GETOBJECT. The
// standard way to rename a standard control is dynamic annotation
// (IAccPropServices::SetHwndPropStr), but Wine 8 does not implement it: the
// call fails with E_NOTIMPL and the annotation is never seen. So each window
// answers WM_GETOBJECT itself with the system's own accessible object for it
// (CreateStdAccessibleObject) wrapped so that it gives the table's name and
// description; everything else is the system's. Windows and Wine both ask
// the window first, and both marshal the answer to the screen reader.
#include "window/win32/accessible_texts.h"

#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <system_error>

#include "telltale/platform/win32/wide_text.h"

// The interfaces are named by __uuidof throughout: mingw-w64's liboleacc.a
// resolves IID_IAccessible to a code stub of the DLL, not to the GUID.

namespace telltale::win32 {
namespace {

struct AccessibleTexts {
  std::wstring name;
  std::wstring description;  // empty: the system's
};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT CopyOut(const std::wstring& text, BSTR* out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The system's accessible object for a window with the name and description
// replaced; every other call goes to the system's object.
class NamedAccessible final : public IAccessible {
 public:
  NamedAccessible(IAccessible* standard, std::shared_ptr<const AccessibleTexts> texts)
      : standard_(standard), texts_(std::move(texts)) {}
  NamedAccessible(const NamedAccessible&) = delete;
  NamedAccessible& operator=(const NamedAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The children's list and the window behind the object, as the system
    // gives them. Nothing else: the wrapper must be what gets marshalled.
    if (iid == __uuidof(IEnumVARIANT) || iid == __uuidof(IOleWindow)) {
      return standard_->QueryInterface(iid, object);
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* wrong_argument) override {
    return standard_->Invoke(id, iid, locale, flags, parameters, result, exception, wrong_argument);
  }

  // IAccessible: the two texts of the window itself are the table's.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return IsSelf(child) ? CopyOut(texts_->name, name) : standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (IsSelf(child) && !texts_->description.empty()) {
      return CopyOut(texts_->description, description);
    }
    return standard_->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return standard_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return standard_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
    return standard_->get_accFocus(child);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long how, VARIANT child) override {
    return standard_->accSelect(how, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
    return standard_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return standard_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  // Only Release() ends it.
  ~NamedAccessible() { standard_->Release(); }

  std::atomic<ULONG> references_{1};
  IAccessible* standard_;
  // Shared with the window: a screen reader may hold the object longer.
  std::shared_ptr<const AccessibleTexts> texts_;
};

// Any number, the same for every window: each has one such subclass.
constexpr UINT_PTR kSubclassId = 1;

// The subclass's data: the texts, until the window goes.
using TextsHolder = std::shared_ptr<const AccessibleTexts>;

// The system's object wrapped, as WM_GETOBJECT answers it; 0 when it cannot
// be made, so that the system's own answer is given instead.
LRESULT AnswerWithTexts(HWND window, WPARAM flags, const TextsHolder& texts) {
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  auto* named = new (std::nothrow) NamedAccessible(standard, texts);
  if (named == nullptr) {
    standard->Release();
    return 0;
  }
  const LRESULT answer = LresultFromObject(__uuidof(IAccessible), flags, named);
  named->Release();
  // A failure comes back as a negative HRESULT.
  return answer > 0 ? answer : 0;
}

LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                   UINT_PTR id, DWORD_PTR data) {
  auto* texts = reinterpret_cast<TextsHolder*>(data);
  // The object's identifier comes as a 32-bit value in a wider LPARAM.
  if (message == WM_GETOBJECT && static_cast<DWORD>(lparam) == static_cast<DWORD>(OBJID_CLIENT)) {
    if (const LRESULT answer = AnswerWithTexts(window, wparam, *texts); answer != 0) {
      return answer;
    }
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &SubclassProcedure, id);
    delete texts;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

void SetAccessibleTexts(HWND window, std::string_view spoken, std::string_view described) {
  auto texts = std::make_unique<TextsHolder>(std::make_shared<const AccessibleTexts>(
      AccessibleTexts{.name = WideForDisplay(spoken), .description = WideForDisplay(described)}));
  if (SetWindowSubclass(window, &SubclassProcedure, kSubclassId,
                        reinterpret_cast<DWORD_PTR>(texts.get())) == FALSE) {
    throw std::system_error(ERROR_NOT_ENOUGH_MEMORY, std::system_category(),
                            "cannot give the window's controls their accessible names");
  }
  // The window owns it now, until WM_NCDESTROY.
  static_cast<void>(texts.release());
}

}  // namespace telltale::win32
