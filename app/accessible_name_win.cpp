#include "app/accessible_name_win.h"

#include <oleacc.h>

#include <atomic>
#include <new>

#include "platform/handles_win.h"
#include "platform/system_calls_win.h"

namespace vw {
namespace {

// Interface ids, spelt out here: the libraries that define them would make oleacc.dll load at
// start-up.
constexpr IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kIidAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr IID kIidEnumVariant = {0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kIidOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// COM objects are destroyed through Release, never through a pointer to their interface, which
// has no virtual destructor.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// The system's proxy for the control, with its name for the control itself.
class NamedAccessible final : public IAccessible {
 public:
  NamedAccessible(IAccessible* proxy, const wchar_t* name) : proxy_(proxy), name_(name) {}
  NamedAccessible(const NamedAccessible&) = delete;
  NamedAccessible& operator=(const NamedAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, kIidUnknown) || IsEqualIID(iid, kIidDispatch) ||
        IsEqualIID(iid, kIidAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The proxy's children and window are its own. Nothing else: the client must get this object,
    // not the proxy's way of marshalling itself.
    if (IsEqualIID(iid, kIidEnumVariant) || IsEqualIID(iid, kIidOleWindow))
      return proxy_->QueryInterface(iid, object);
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return proxy_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return proxy_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return proxy_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_argument) override {
    return proxy_->Invoke(id, iid, locale, flags, params, result, exception, bad_argument);
  }

  // IAccessible: the name of the control itself is ours; everything else is the proxy's.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return proxy_->get_accName(child, name);
    if (name == nullptr) return E_POINTER;
    const auto alloc_string = calls::Get<calls::kSysAllocString>();
    *name = alloc_string != nullptr ? alloc_string(name_) : nullptr;
    return *name == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return proxy_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return proxy_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return proxy_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return proxy_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return proxy_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return proxy_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return proxy_->get_accState(child, state);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return proxy_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return proxy_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return proxy_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
    return proxy_->get_accFocus(child);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return proxy_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return proxy_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return proxy_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return proxy_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return proxy_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
    return proxy_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return proxy_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return proxy_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return proxy_->put_accValue(child, value);
  }

 private:
  ~NamedAccessible() { proxy_->Release(); }

  IAccessible* proxy_;  // owned: one reference
  const wchar_t* name_;
  std::atomic<ULONG> references_{1};
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// A client's request for the control's own accessible object, answered with the system's, named;
// 0 when that cannot be made, and the control then answers for itself.
LRESULT AnswerNamed(HWND control, const wchar_t* name, WPARAM wparam) {
  // The system's accessibility functions, looked up when a client first asks.
  const auto create_std = calls::Get<calls::kCreateStdAccessibleObject>();
  const auto lresult_from_object = calls::Get<calls::kLresultFromObject>();
  IAccessible* proxy = nullptr;
  if (create_std == nullptr || lresult_from_object == nullptr ||
      FAILED(create_std(control, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&proxy))) ||
      proxy == nullptr) {
    return 0;
  }
  auto* named = new (std::nothrow) NamedAccessible(proxy, name);
  if (named == nullptr) {
    proxy->Release();
    return 0;
  }
  const LRESULT result = lresult_from_object(kIidAccessible, wparam, named);
  named->Release();  // the client holds its own reference now, if any
  // Only a reference is an answer.
  return result > 0 ? result : 0;
}

}  // namespace

void SetAccessibleName(ControlSubclass& subclass, const wchar_t* name, ComOnFirstUse& com) {
  subclass.Add([name, &com](const WindowMessage& message, const ControlSubclass::Next& next) {
    if (message.message != WM_GETOBJECT) return next();
    // Any client's request, UI Automation's included, sets COM up and the names' annotations.
    com.Ensure();
    if (static_cast<LONG>(message.lparam) == OBJID_CLIENT) {
      const LRESULT answer = AnswerNamed(message.window, name, message.wparam);
      if (answer > 0) return answer;
    }
    return next();
  });
}

ComApartment::ComApartment() noexcept {
  const auto initialize = calls::Get<calls::kCoInitializeEx>();
  // S_FALSE (already initialised the same way) must be balanced by CoUninitialize as well.
  initialized_ = initialize != nullptr && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
}

ComApartment::~ComApartment() {
  if (initialized_) {
    const auto uninitialize = calls::Get<calls::kCoUninitialize>();
    if (uninitialize != nullptr) uninitialize();
  }
}

void AnnotateAccessibleName(HWND control, const wchar_t* name) {
  // Spelt out, as above: {B5F8350B-0548-48B1-A6EE-88BD00B4A5E7}, {6E26E776-04F0-495D-80E4-
  // 3330352E3169} and {608D3DF8-8128-4AA7-A428-F55E49267291}.
  constexpr CLSID kAccPropServices = {
      0xB5F8350B, 0x0548, 0x48B1, {0xA6, 0xEE, 0x88, 0xBD, 0x00, 0xB4, 0xA5, 0xE7}};
  constexpr IID kIidAccPropServices = {
      0x6E26E776, 0x04F0, 0x495D, {0x80, 0xE4, 0x33, 0x30, 0x35, 0x2E, 0x31, 0x69}};
  constexpr MSAAPROPID kPropIdAccName = {
      0x608D3DF8, 0x8128, 0x4AA7, {0xA4, 0x28, 0xF5, 0x5E, 0x49, 0x26, 0x72, 0x91}};
  const auto create = calls::Get<calls::kCoCreateInstance>();
  IAccPropServices* raw = nullptr;
  if (create == nullptr || FAILED(create(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                         kIidAccPropServices, reinterpret_cast<void**>(&raw)))) {
    return;
  }
  const UniqueCom<IAccPropServices> services(raw);
  if (services) {
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             kPropIdAccName, name);
  }
}

}  // namespace vw
