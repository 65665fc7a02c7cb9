// The client site of the embedded HTML document: one object answering the
// document's host interfaces (host flags, context menus, message boxes, ambient
// download control, title changes, window.external) with one reference count.
//
// Threads: user-interface thread only (single-threaded apartment); the count is
// not atomic for that reason.
#pragma once

#include "base/Platform.h"

#include <docobj.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>
#include <wrl/client.h>

namespace stubframework::htmlui {

class MSHTMLExternal;

class MSHTMLClient final : public IDispatch,
                           public IDocHostUIHandler2,
                           public IDocHostShowUI,
                           public IOleClientSite,
                           public IOleDocumentSite,
                           public IOleInPlaceSiteEx,
                           public IOleInPlaceFrame,
                           public IPropertyNotifySink,
                           public IOleCommandTarget {
 public:
  static constexpr DWORD kHostInfoFlags = 0x40250003;
  static constexpr LONG kDownloadControl = 0x2070;
  static constexpr DISPID kAmbientDownloadControl = -5512;  // DISPID_AMBIENT_DLCONTROL
  static constexpr DWORD kSetTitleCommand = 28;
  static constexpr DWORD kHostCommandNoOp1 = 6;
  static constexpr DWORD kHostCommandNoOp2 = 6041;

  // Count 1 (the creator's reference). `external` is not owned.
  MSHTMLClient(HWND window, MSHTMLExternal* external);

  // The document the client hosts; set once it is created.
  void setDocument(IHTMLDocument2* document) { document_ = document; }
  IHTMLDocument2* document() const { return document_.Get(); }
  IOleDocumentView* activeView() const { return view_.Get(); }
  void setAdviseCookie(DWORD cookie) { adviseCookie_ = cookie; }
  // Closes the view, the property-change connection and the document.
  void closeDocument();
  // The window is gone: no window, no script object any more.
  void detach();

  // IUnknown (shared by every interface)
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override;
  STDMETHODIMP_(ULONG) AddRef() noexcept override;
  STDMETHODIMP_(ULONG) Release() noexcept override;

  // IDispatch (ambient properties)
  STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) noexcept override;

  // IDocHostUIHandler / IDocHostUIHandler2
  STDMETHODIMP ShowContextMenu(DWORD id, POINT*, IUnknown*, IDispatch*) noexcept override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) noexcept override;
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) noexcept override;
  STDMETHODIMP HideUI() noexcept override;
  STDMETHODIMP UpdateUI() noexcept override;
  STDMETHODIMP EnableModeless(BOOL) noexcept override;  // also IOleInPlaceFrame's
  STDMETHODIMP OnDocWindowActivate(BOOL) noexcept override;
  STDMETHODIMP OnFrameWindowActivate(BOOL) noexcept override;
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept override;
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) noexcept override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) noexcept override;
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** target) noexcept override;
  STDMETHODIMP GetExternal(IDispatch** external) noexcept override;
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) noexcept override;
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) noexcept override;
  STDMETHODIMP GetOverrideKeyPath(LPOLESTR* key, DWORD) noexcept override;

  // IDocHostShowUI
  STDMETHODIMP ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT* result) noexcept override;
  STDMETHODIMP ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) noexcept override;

  // IOleClientSite
  STDMETHODIMP SaveObject() noexcept override;
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) noexcept override;
  STDMETHODIMP GetContainer(IOleContainer** container) noexcept override;
  STDMETHODIMP ShowObject() noexcept override;
  STDMETHODIMP OnShowWindow(BOOL) noexcept override;
  STDMETHODIMP RequestNewObjectLayout() noexcept override;

  // IOleDocumentSite
  STDMETHODIMP ActivateMe(IOleDocumentView* view) noexcept override;

  // IOleWindow (shared by the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* window) noexcept override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override;

  // IOleInPlaceSite / IOleInPlaceSiteEx
  STDMETHODIMP CanInPlaceActivate() noexcept override;
  STDMETHODIMP OnInPlaceActivate() noexcept override;
  STDMETHODIMP OnUIActivate() noexcept override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) noexcept override;
  STDMETHODIMP Scroll(SIZE) noexcept override;
  STDMETHODIMP OnUIDeactivate(BOOL) noexcept override;
  STDMETHODIMP OnInPlaceDeactivate() noexcept override;
  STDMETHODIMP DiscardUndoState() noexcept override;
  STDMETHODIMP DeactivateAndUndo() noexcept override;
  STDMETHODIMP OnPosRectChange(LPCRECT) noexcept override;
  STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD) noexcept override;
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL) noexcept override;
  STDMETHODIMP RequestUIActivate() noexcept override;

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) noexcept override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) noexcept override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) noexcept override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) noexcept override;
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept override;
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) noexcept override;
  STDMETHODIMP RemoveMenus(HMENU) noexcept override;
  STDMETHODIMP SetStatusText(LPCOLESTR) noexcept override;
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) noexcept override;

  // IPropertyNotifySink
  STDMETHODIMP OnChanged(DISPID id) noexcept override;
  STDMETHODIMP OnRequestEdit(DISPID) noexcept override;

  // IOleCommandTarget
  STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) noexcept override;
  STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT*) noexcept override;

 private:
  ~MSHTMLClient() = default;

  ULONG references_ = 1;
  HWND window_;
  Microsoft::WRL::ComPtr<IHTMLDocument2> document_;
  Microsoft::WRL::ComPtr<IOleDocumentView> view_;
  MSHTMLExternal* external_;
  DWORD adviseCookie_ = 0;
};

}  // namespace stubframework::htmlui
