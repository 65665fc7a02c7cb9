// The object behind window.external: a dispatch object whose named methods are
// the catalogue's handlers (ids 1..n in name order) and which also keeps the
// properties script sets on it (expandos, ids with the top bit set). It owns the
// locked property store access, the progress properties, the stop-download and
// size-probe flags and the last installer exit code.
//
// Ownership: reference counted; the framework holds the first reference and
// releases it last. The catalogue is not owned.
// Threads: the COM operations, the expandos and the reference count belong to the
// user-interface thread. Workers may use the property store and progress
// operations (serialised by the PropertyMap's lock), the two flags, the last
// installer exit code and the ZipReporter face.
#pragma once

#include "base/ComOwners.h"
#include "framework/ZipReporter.h"
#include "htmlui/MSHTMLExternal.h"

#include <atomic>
#include <string>
#include <vector>

namespace stubframework {
class StubFramework;
}

namespace stubframework::core {

class HtmlExternal final : public htmlui::MSHTMLExternal, public zip::ZipReporter {
 public:
  static constexpr DISPID kExpandoBit = static_cast<DISPID>(0x80000000u);
  static constexpr int kExpandoGrowth = 32;
  static constexpr int kDefaultWidth = 400;
  static constexpr int kDefaultHeight = 200;

  // Starts with one reference (the creator's). `framework` may be null (tests of
  // the dispatch alone); the property store then holds nothing.
  explicit HtmlExternal(StubFramework* framework);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
  STDMETHODIMP_(ULONG) AddRef() noexcept override;
  STDMETHODIMP_(ULONG) Release() noexcept override;
  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) noexcept override;
  // IDispatchEx
  STDMETHODIMP GetDispID(BSTR name, DWORD options, DISPID* id) noexcept override;
  STDMETHODIMP InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        IServiceProvider* caller) noexcept override;
  STDMETHODIMP DeleteMemberByName(BSTR name, DWORD options) noexcept override;
  STDMETHODIMP DeleteMemberByDispID(DISPID id) noexcept override;
  STDMETHODIMP GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) noexcept override;
  STDMETHODIMP GetMemberName(DISPID id, BSTR* name) noexcept override;
  STDMETHODIMP GetNextDispID(DWORD options, DISPID id, DISPID* next) noexcept override;
  STDMETHODIMP GetNameSpaceParent(IUnknown** parent) noexcept override;

  // MSHTMLExternal
  void setWindow(HWND window) override;
  void ensureDefaultSize() override;
  int getMethods(const htmlui::DispatchEntry** entries) override;
  void setSizeProbe(bool probing) override { sizeProbe_.store(probing); }
  void setStopRequested(bool stop) override { stopRequested_.store(stop); }

  // ZipReporter
  void ReportProgress(std::uint32_t index, std::uint32_t count) noexcept override;
  void ReportError(std::uint32_t code) noexcept override { lastExtractionError_.store(static_cast<unsigned>(code)); }

  // Stores the catalogue and freezes the dispatch table from its name map;
  // methods registered afterwards are not reachable.
  void bindCatalogue(ExternalMethods* methods);
  ExternalMethods* catalogue() const { return catalogue_; }
  // Called by the framework as it goes: later calls find no property store.
  void detachFramework() { framework_ = nullptr; }
  HWND window() const { return window_; }

  // The property store; any thread.
  std::wstring getProperty(const std::wstring& name);
  void setProperty(const std::wstring& name, const std::wstring& value);

  // Progress properties, decimal text; the getters read 0 for text that is not a number.
  void setDownloadTotal(unsigned long value);
  void setDownloadCurrent(unsigned long value);
  void setInstallTotal(unsigned long value);
  void setInstallCurrent(unsigned long value);
  unsigned long getDownloadTotal();
  unsigned long getDownloadCurrent();
  unsigned long getInstallTotal();
  unsigned long getInstallCurrent();
  void resetProgress();

  bool sizeProbe() const { return sizeProbe_.load(); }
  bool stopRequested() const { return stopRequested_.load(); }
  unsigned lastExtractionError() const { return lastExtractionError_.load(); }
  int lastInstallerExitCode() const { return lastInstallerExitCode_.load(); }
  void setLastInstallerExitCode(int code) { lastInstallerExitCode_.store(code); }

  // Sizes `window`'s client area (96-DPI units) and centres it; nothing happens
  // when the size equals the last one applied. User-interface thread.
  void resizeAndCenter(HWND window, int width, int height);

 private:
  struct Expando {
    std::wstring name;
    base::UniqueVariant value;
  };
  static constexpr VARTYPE kDeletedType = 0xFFFF;

  ~HtmlExternal() override;
  HRESULT invokeExpando(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        IServiceProvider* caller) noexcept;
  int findMethod(const wchar_t* name, bool ignoreCase) const;
  int findExpando(const wchar_t* name, bool ignoreCase) const;
  unsigned long readNumber(const wchar_t* name);
  void writeNumber(const wchar_t* name, unsigned long value);

  std::atomic<long> references_{1};
  std::vector<Expando> expandos_;
  HWND window_ = nullptr;
  ExternalMethods* catalogue_ = nullptr;
  std::vector<htmlui::DispatchEntry> entries_;
  int lastWidth_ = 0;
  int lastHeight_ = 0;
  std::atomic<unsigned> lastExtractionError_{0};
  std::atomic<int> lastInstallerExitCode_{0};
  std::atomic<bool> sizeProbe_{false};
  std::atomic<bool> stopRequested_{false};
  StubFramework* framework_;
};

}  // namespace stubframework::core
