#include "htmlui/MSHTMLClient.h"

#include "htmlui/MSHTMLExternal.h"

namespace stubframework::htmlui {

namespace {

// Interface ids that mingw-w64's uuid library does not carry.
const IID kIID_IDocHostShowUI = {0xc4d244b0, 0xd43e, 0x11cf, {0x89, 0x3b, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x1a}};
const IID kIID_IDocHostUIHandler2 = {0x3050f6d0, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

// The document host's command handler group.
const GUID kDocHostCommandGroup = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

// Context menus the engine shows itself: controls, text selections, scroll bars.
bool EngineShowsMenu(DWORD id) { return id == 2 || id == 4 || id == 9 || id == 10; }

}  // namespace

MSHTMLClient::MSHTMLClient(HWND window, MSHTMLExternal* external) : window_(window), external_(external) {}

void MSHTMLClient::detach() {
  window_ = nullptr;
  external_ = nullptr;
}

void MSHTMLClient::closeDocument() {
  if (view_) {
    view_->CloseView(0);
    view_.Reset();
  }
  if (document_ && adviseCookie_) {
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    Microsoft::WRL::ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(document_.As(&container)) &&
        SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point))) {
      point->Unadvise(adviseCookie_);
    }
    adviseCookie_ = 0;
  }
  if (document_) {
    Microsoft::WRL::ComPtr<IOleObject> object;
    if (SUCCEEDED(document_.As(&object))) object->Close(OLECLOSE_SAVEIFDIRTY);
    document_.Reset();
  }
}

STDMETHODIMP MSHTMLClient::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (iid == IID_IDocHostUIHandler || iid == kIID_IDocHostUIHandler2) {
    *out = static_cast<IDocHostUIHandler2*>(this);
  } else if (iid == kIID_IDocHostShowUI) {
    *out = static_cast<IDocHostShowUI*>(this);
  } else if (iid == IID_IOleClientSite) {
    *out = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleDocumentSite) {
    *out = static_cast<IOleDocumentSite*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite || iid == IID_IOleInPlaceSiteEx) {
    *out = static_cast<IOleInPlaceSiteEx*>(this);
  } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
    *out = static_cast<IOleInPlaceFrame*>(this);
  } else if (iid == IID_IPropertyNotifySink) {
    *out = static_cast<IPropertyNotifySink*>(this);
  } else if (iid == IID_IOleCommandTarget) {
    *out = static_cast<IOleCommandTarget*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) MSHTMLClient::AddRef() noexcept { return ++references_; }

STDMETHODIMP_(ULONG) MSHTMLClient::Release() noexcept {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// IDispatch: the one ambient property the engine asks for.
STDMETHODIMP MSHTMLClient::GetTypeInfoCount(UINT* count) noexcept {
  if (count) *count = 0;
  return E_NOTIMPL;
}
STDMETHODIMP MSHTMLClient::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                  UINT*) noexcept {
  if (id != kAmbientDownloadControl) return DISP_E_MEMBERNOTFOUND;
  if (result) {
    ::VariantInit(result);
    result->vt = VT_I4;
    result->lVal = kDownloadControl;
  }
  return S_OK;
}

// IDocHostUIHandler
STDMETHODIMP MSHTMLClient::ShowContextMenu(DWORD id, POINT*, IUnknown*, IDispatch*) noexcept {
  return EngineShowsMenu(id) ? S_FALSE : S_OK;
}
STDMETHODIMP MSHTMLClient::GetHostInfo(DOCHOSTUIINFO* info) noexcept {
  if (!info) return E_POINTER;
  info->dwFlags = kHostInfoFlags;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  info->pchHostCss = nullptr;
  info->pchHostNS = nullptr;
  return S_OK;
}
STDMETHODIMP MSHTMLClient::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                  IOleInPlaceUIWindow*) noexcept {
  return S_FALSE;
}
STDMETHODIMP MSHTMLClient::HideUI() noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::UpdateUI() noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::EnableModeless(BOOL) noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::OnDocWindowActivate(BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnFrameWindowActivate(BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::TranslateAccelerator(LPMSG, const GUID*, DWORD) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetOptionKeyPath(LPOLESTR* key, DWORD) noexcept {
  if (key) *key = nullptr;
  return S_FALSE;
}
STDMETHODIMP MSHTMLClient::GetDropTarget(IDropTarget*, IDropTarget** target) noexcept {
  if (target) *target = nullptr;
  return E_FAIL;
}
STDMETHODIMP MSHTMLClient::GetExternal(IDispatch** external) noexcept {
  if (!external) return E_POINTER;
  *external = external_;
  if (!external_) return S_FALSE;
  external_->AddRef();
  return S_OK;
}
STDMETHODIMP MSHTMLClient::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) noexcept {
  if (out) *out = nullptr;
  return S_FALSE;
}
STDMETHODIMP MSHTMLClient::FilterDataObject(IDataObject*, IDataObject** out) noexcept {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP MSHTMLClient::GetOverrideKeyPath(LPOLESTR* key, DWORD) noexcept {
  if (key) *key = nullptr;
  return S_FALSE;
}

// IDocHostShowUI: message boxes raised by page script are swallowed.
STDMETHODIMP MSHTMLClient::ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT* result) noexcept {
  if (result) *result = 0;
  return S_OK;
}
STDMETHODIMP MSHTMLClient::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) noexcept { return E_NOTIMPL; }

// IOleClientSite
STDMETHODIMP MSHTMLClient::SaveObject() noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP MSHTMLClient::GetContainer(IOleContainer** container) noexcept {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP MSHTMLClient::ShowObject() noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnShowWindow(BOOL) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::RequestNewObjectLayout() noexcept { return E_NOTIMPL; }

// IOleDocumentSite
STDMETHODIMP MSHTMLClient::ActivateMe(IOleDocumentView* view) noexcept {
  Microsoft::WRL::ComPtr<IOleDocumentView> active(view);
  if (!active) {
    Microsoft::WRL::ComPtr<IOleDocument> document;
    if (!document_ || FAILED(document_.As(&document))) return E_FAIL;
    HRESULT hr = document->CreateView(static_cast<IOleInPlaceSite*>(static_cast<IOleInPlaceSiteEx*>(this)), nullptr,
                                      0, &active);
    if (FAILED(hr)) return hr;
  } else {
    active->SetInPlaceSite(static_cast<IOleInPlaceSite*>(static_cast<IOleInPlaceSiteEx*>(this)));
  }
  RECT client = {};
  if (window_) ::GetClientRect(window_, &client);
  active->SetRect(&client);
  active->UIActivate(TRUE);
  active->Show(TRUE);
  view_ = active;
  return S_OK;
}

// IOleWindow
STDMETHODIMP MSHTMLClient::GetWindow(HWND* window) noexcept {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}
STDMETHODIMP MSHTMLClient::ContextSensitiveHelp(BOOL) noexcept { return E_NOTIMPL; }

// IOleInPlaceSite / IOleInPlaceSiteEx
STDMETHODIMP MSHTMLClient::CanInPlaceActivate() noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::OnInPlaceActivate() noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::OnUIActivate() noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                            LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) noexcept {
  if (!frame || !document || !position || !clip || !info) return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *document = nullptr;
  RECT client = {};
  if (window_) ::GetClientRect(window_, &client);
  *position = client;
  *clip = client;
  info->fMDIApp = FALSE;
  info->hwndFrame = window_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}
STDMETHODIMP MSHTMLClient::Scroll(SIZE) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnUIDeactivate(BOOL) noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::OnInPlaceDeactivate() noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::DiscardUndoState() noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::DeactivateAndUndo() noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnPosRectChange(LPCRECT) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::OnInPlaceActivateEx(BOOL* noRedraw, DWORD) noexcept {
  if (noRedraw) *noRedraw = TRUE;
  return S_OK;
}
STDMETHODIMP MSHTMLClient::OnInPlaceDeactivateEx(BOOL) noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::RequestUIActivate() noexcept { return S_OK; }

// IOleInPlaceUIWindow / IOleInPlaceFrame
STDMETHODIMP MSHTMLClient::GetBorder(LPRECT) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::RequestBorderSpace(LPCBORDERWIDTHS) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetBorderSpace(LPCBORDERWIDTHS) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetMenu(HMENU, HOLEMENU, HWND) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::RemoveMenus(HMENU) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::SetStatusText(LPCOLESTR) noexcept { return S_OK; }
STDMETHODIMP MSHTMLClient::TranslateAccelerator(LPMSG, WORD) noexcept { return E_NOTIMPL; }

// IPropertyNotifySink: once the document is complete, give the window its default size.
STDMETHODIMP MSHTMLClient::OnChanged(DISPID id) noexcept {
  if (!external_ || id != DISPID_READYSTATE || !document_) return S_OK;
  DISPPARAMS none = {};
  VARIANT state;
  ::VariantInit(&state);
  if (SUCCEEDED(document_->Invoke(DISPID_READYSTATE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                  &state, nullptr, nullptr)) &&
      state.vt == VT_I4 && state.lVal == READYSTATE_COMPLETE) {
    external_->ensureDefaultSize();
  }
  ::VariantClear(&state);
  return S_OK;
}
STDMETHODIMP MSHTMLClient::OnRequestEdit(DISPID) noexcept { return S_OK; }

// IOleCommandTarget
STDMETHODIMP MSHTMLClient::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) noexcept { return E_NOTIMPL; }
STDMETHODIMP MSHTMLClient::Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT*) noexcept {
  if (!group) {
    if (id != kSetTitleCommand) return E_NOTIMPL;
    if (in && in->vt == VT_BSTR && window_) ::SetWindowTextW(window_, in->bstrVal ? in->bstrVal : L"");
    return S_OK;
  }
  if (*group == kDocHostCommandGroup) {
    return id == kHostCommandNoOp1 || id == kHostCommandNoOp2 ? S_OK : OLECMDERR_E_NOTSUPPORTED;
  }
  return OLECMDERR_E_UNKNOWNGROUP;
}

}  // namespace stubframework::htmlui
