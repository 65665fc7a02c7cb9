#include "htmlui/BrowserBridge.h"

#include "base/ComOwners.h"
#include "base/Text.h"

#include <atomic>
#include <cmath>

namespace stubframework::htmlui {

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kPageRequestMessage = WM_APP + 0x41;
constexpr UINT_PTR kEventsTimer = 1;
constexpr UINT kEventsWaitMs = 15000;
constexpr wchar_t kWindowClass[] = L"InstallerBrowserBridge";

// {6C3C8C8E-5E2B-4A3C-9D0E-3B8E2F6A7D11}: asks an object whether it stands for a page function.
const IID IID_IPageFunction = {0x6c3c8c8e, 0x5e2b, 0x4a3c, {0x9d, 0x0e, 0x3b, 0x8e, 0x2f, 0x6a, 0x7d, 0x11}};

struct PostedRequest {
  PageRoute::Kind kind;
  RequestId id;
  std::string body;
};

// The dispatch object that stands for one function of the page.
class PageFunction final : public IDispatch {
 public:
  PageFunction(std::shared_ptr<BrowserBridge*> link, int id) : link_(std::move(link)), id_(id) {}
  int id() const { return id_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPageFunction) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) noexcept override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) noexcept override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    BrowserBridge* bridge = link_ ? *link_ : nullptr;
    if (!bridge) return E_UNEXPECTED;
    try {
      return bridge->callPageFunction(id_, params, result);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  ~PageFunction() = default;
  std::atomic<ULONG> count_{1};
  std::shared_ptr<BrowserBridge*> link_;
  int id_;
};

JsonValue ErrorAnswer(HRESULT hr) {
  JsonValue answer = JsonValue::makeObject();
  answer.mutableObject()["error"] = JsonValue::makeNumber(static_cast<double>(static_cast<int32_t>(hr)));
  return answer;
}

}  // namespace

struct BrowserBridge::Delivery {
  int functionId = 0;
  CallContext* context = nullptr;  // the page call it was delivered in, if any
  JsonValue args;
  bool done = false;
  JsonValue outcome;
};

struct BrowserBridge::CallContext {
  RequestId channel = 0;
  bool channelFree = true;
  std::deque<Delivery*> pending;
};

BrowserBridge::BrowserBridge(IDispatchEx* external, Responder responder)
    : external_(external), responder_(std::move(responder)), link_(std::make_shared<BrowserBridge*>(this)) {}

BrowserBridge::~BrowserBridge() {
  shutDown();
  *link_ = nullptr;
  if (window_) ::DestroyWindow(window_);
}

bool BrowserBridge::create() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &BrowserBridge::WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassW(&windowClass);  // already registered by an earlier bridge is fine
  window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!window_) return false;
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

void BrowserBridge::post(PageRoute::Kind kind, RequestId id, std::string body) {
  auto* request = new (std::nothrow) PostedRequest{kind, id, std::move(body)};
  if (!request || !window_ || !::PostMessageW(window_, kPageRequestMessage, 0, reinterpret_cast<LPARAM>(request))) {
    delete request;
    responder_(id, "{\"error\":-2147418113}");  // E_UNEXPECTED: the host is gone
  }
}

LRESULT CALLBACK BrowserBridge::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* bridge = reinterpret_cast<BrowserBridge*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == kPageRequestMessage) {
    std::unique_ptr<PostedRequest> request(reinterpret_cast<PostedRequest*>(l));
    if (bridge) {
      try {
        bridge->handle(request->kind, request->id, request->body);
      } catch (...) {
        bridge->respond(request->id, ErrorAnswer(E_UNEXPECTED));
      }
    }
    return 0;
  }
  if (message == WM_TIMER && w == kEventsTimer && bridge) {
    ::KillTimer(window, kEventsTimer);
    if (bridge->eventsParked_) {
      bridge->eventsParked_ = false;
      bridge->responder_(bridge->parkedEvents_, "[]");
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, w, l);
}

void BrowserBridge::respond(RequestId id, const JsonValue& answer) { responder_(id, answer.serialize()); }

void BrowserBridge::handle(PageRoute::Kind kind, RequestId id, const std::string& body) {
  if (kind == PageRoute::Kind::Events) {
    handleEvents(id);
    return;
  }
  const auto request = JsonValue::parse(body);
  if (!request || request->type() != JsonValue::Type::Object) {
    respond(id, ErrorAnswer(E_INVALIDARG));
    return;
  }
  switch (kind) {
    case PageRoute::Kind::Call: handleCall(id, *request); break;
    case PageRoute::Kind::Resume: handleResume(id, *request); break;
    case PageRoute::Kind::Done: handleDone(id, *request); break;
    default: respond(id, ErrorAnswer(E_INVALIDARG)); break;
  }
}

void BrowserBridge::handleCall(RequestId id, const JsonValue& request) {
  CallContext context;
  context.channel = id;
  contexts_.push_back(&context);
  JsonValue answer = execute(request);
  contexts_.pop_back();
  // Page functions delivered during the call have all completed (their callers
  // waited), so the channel is the page's latest request.
  respond(context.channel, answer);
}

void BrowserBridge::handleResume(RequestId id, const JsonValue& request) {
  const unsigned ticket = static_cast<unsigned>(request.find("ticket") ? request.find("ticket")->asNumber() : 0);
  auto it = awaitingResume_.find(ticket);
  if (it == awaitingResume_.end()) {
    respond(id, ErrorAnswer(E_INVALIDARG));
    return;
  }
  Delivery* delivery = it->second;
  awaitingResume_.erase(it);
  if (const JsonValue* outcome = request.find("outcome")) delivery->outcome = *outcome;
  delivery->done = true;
  // The resume request is the page's open channel now, for the next function or the answer.
  CallContext* context = delivery->context;
  context->channel = id;
  context->channelFree = true;
  flushContext(*context);
}

void BrowserBridge::handleEvents(RequestId id) {
  if (eventsParked_) responder_(parkedEvents_, "[]");  // a newer poll replaces the old one
  eventsParked_ = true;
  parkedEvents_ = id;
  if (events_.empty() && !shutDown_) {
    ::SetTimer(window_, kEventsTimer, kEventsWaitMs, nullptr);
  } else {
    flushEvents();
  }
}

void BrowserBridge::handleDone(RequestId id, const JsonValue& request) {
  const unsigned event = static_cast<unsigned>(request.find("event") ? request.find("event")->asNumber() : 0);
  auto it = awaitingDone_.find(event);
  if (it != awaitingDone_.end()) {
    if (const JsonValue* outcome = request.find("outcome")) it->second->outcome = *outcome;
    it->second->done = true;
    awaitingDone_.erase(it);
  }
  respond(id, JsonValue::makeObject());
}

void BrowserBridge::flushContext(CallContext& context) {
  if (!context.channelFree || context.pending.empty()) return;
  Delivery* delivery = context.pending.front();
  context.pending.pop_front();
  const unsigned ticket = nextTicket_++;
  awaitingResume_[ticket] = delivery;
  JsonValue callback = JsonValue::makeObject();
  callback.mutableObject()["id"] = JsonValue::makeNumber(delivery->functionId);
  callback.mutableObject()["args"] = delivery->args;
  JsonValue answer = JsonValue::makeObject();
  answer.mutableObject()["callback"] = callback;
  answer.mutableObject()["ticket"] = JsonValue::makeNumber(ticket);
  context.channelFree = false;
  respond(context.channel, answer);
}

void BrowserBridge::flushEvents() {
  if (!eventsParked_ || events_.empty()) return;
  JsonValue batch = JsonValue::makeArray();
  while (!events_.empty()) {
    batch.mutableArray().push_back(std::move(events_.front()));
    events_.pop_front();
  }
  eventsParked_ = false;
  ::KillTimer(window_, kEventsTimer);
  respond(parkedEvents_, batch);
}

void BrowserBridge::sendWindowEvent(const std::string& op, int width, int height) {
  JsonValue event = JsonValue::makeObject();
  event.mutableObject()["type"] = JsonValue::makeString("window");
  event.mutableObject()["op"] = JsonValue::makeString(op);
  if (op == "resize") {
    event.mutableObject()["width"] = JsonValue::makeNumber(width);
    event.mutableObject()["height"] = JsonValue::makeNumber(height);
  }
  events_.push_back(std::move(event));
  flushEvents();
}

void BrowserBridge::shutDown() { shutDown_ = true; }

void BrowserBridge::pumpUntil(const bool& done) {
  while (!done && !shutDown_) {
    MSG message;
    while (!done && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        shutDown_ = true;
        return;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done || shutDown_) return;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

HRESULT BrowserBridge::callPageFunction(int functionId, const DISPPARAMS* params, VARIANT* result) {
  if (shutDown_) return E_ABORT;
  Delivery delivery;
  delivery.functionId = functionId;
  delivery.args = JsonValue::makeArray();
  if (params) {
    for (UINT i = params->cArgs; i > 0; --i) delivery.args.mutableArray().push_back(toJson(params->rgvarg[i - 1]));
  }
  if (!contexts_.empty()) {
    CallContext* context = contexts_.back();
    delivery.context = context;
    context->pending.push_back(&delivery);
    flushContext(*context);
  } else {
    const unsigned event = nextTicket_++;
    awaitingDone_[event] = &delivery;
    JsonValue message = JsonValue::makeObject();
    message.mutableObject()["type"] = JsonValue::makeString("call");
    message.mutableObject()["event"] = JsonValue::makeNumber(event);
    message.mutableObject()["id"] = JsonValue::makeNumber(functionId);
    message.mutableObject()["args"] = delivery.args;
    events_.push_back(std::move(message));
    flushEvents();
  }
  pumpUntil(delivery.done);
  if (!delivery.done) {
    // Forget the delivery: it lives on this stack frame.
    for (auto it = awaitingDone_.begin(); it != awaitingDone_.end();) {
      it = it->second == &delivery ? awaitingDone_.erase(it) : std::next(it);
    }
    for (auto it = awaitingResume_.begin(); it != awaitingResume_.end();) {
      it = it->second == &delivery ? awaitingResume_.erase(it) : std::next(it);
    }
    for (CallContext* context : contexts_) {
      for (auto it = context->pending.begin(); it != context->pending.end();) {
        it = *it == &delivery ? context->pending.erase(it) : std::next(it);
      }
    }
    return E_ABORT;
  }
  if (delivery.outcome.find("exception")) return DISP_E_EXCEPTION;
  if (result) {
    const JsonValue* value = delivery.outcome.find("value");
    return value ? toVariant(*value, result) : S_OK;
  }
  return S_OK;
}

ComPtr<IDispatch> BrowserBridge::functionObject(int id) {
  auto it = functionObjects_.find(id);
  if (it != functionObjects_.end()) return it->second;
  ComPtr<IDispatch> object;
  object.Attach(new (std::nothrow) PageFunction(link_, id));
  if (object) functionObjects_[id] = object;
  return object;
}

JsonValue BrowserBridge::toJson(const VARIANT& value) {
  JsonValue out = JsonValue::makeObject();
  auto& members = out.mutableObject();
  auto set = [&members](const char* type, JsonValue v) {
    members["t"] = JsonValue::makeString(type);
    members["v"] = std::move(v);
  };
  switch (value.vt) {
    case VT_EMPTY: members["t"] = JsonValue::makeString("u"); break;
    case VT_NULL: members["t"] = JsonValue::makeString("n"); break;
    case VT_BSTR:
      set("s", JsonValue::makeString(base::WideToUtf8(value.bstrVal ? std::wstring(value.bstrVal,
                                                                                   ::SysStringLen(value.bstrVal))
                                                                     : std::wstring())));
      break;
    case VT_BOOL: set("b", JsonValue::makeBool(value.boolVal != VARIANT_FALSE)); break;
    case VT_I1: set("i", JsonValue::makeNumber(value.cVal)); break;
    case VT_I2: set("i", JsonValue::makeNumber(value.iVal)); break;
    case VT_I4: set("i", JsonValue::makeNumber(value.lVal)); break;
    case VT_INT: set("i", JsonValue::makeNumber(value.intVal)); break;
    case VT_UI1: set("i", JsonValue::makeNumber(value.bVal)); break;
    case VT_UI2: set("i", JsonValue::makeNumber(value.uiVal)); break;
    case VT_UI4: set(value.ulVal > 0x7FFFFFFFu ? "r" : "i", JsonValue::makeNumber(value.ulVal)); break;
    case VT_UINT: set(value.uintVal > 0x7FFFFFFFu ? "r" : "i", JsonValue::makeNumber(value.uintVal)); break;
    case VT_R4: set("r", JsonValue::makeNumber(value.fltVal)); break;
    case VT_R8: set("r", JsonValue::makeNumber(value.dblVal)); break;
    case VT_DISPATCH: {
      ComPtr<IDispatch> page;
      if (value.pdispVal && SUCCEEDED(value.pdispVal->QueryInterface(IID_IPageFunction, &page))) {
        members["t"] = JsonValue::makeString("f");
        members["id"] = JsonValue::makeNumber(static_cast<PageFunction*>(page.Get())->id());
      } else {
        members["t"] = JsonValue::makeString(value.pdispVal ? "d" : "n");
      }
      break;
    }
    default: {
      base::UniqueVariant text;
      if (SUCCEEDED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        set("s", JsonValue::makeString(base::WideToUtf8(std::wstring(text.get()->bstrVal,
                                                                     ::SysStringLen(text.get()->bstrVal)))));
      } else {
        members["t"] = JsonValue::makeString("u");
      }
    }
  }
  return out;
}

HRESULT BrowserBridge::toVariant(const JsonValue& value, VARIANT* out) {
  ::VariantInit(out);
  const std::string& type = value.find("t") ? value.find("t")->asString() : std::string("u");
  const JsonValue* v = value.find("v");
  if (type == "s") {
    const std::wstring text = base::Utf8ToWide(v ? v->asString() : std::string());
    out->vt = VT_BSTR;
    out->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return out->bstrVal ? S_OK : E_OUTOFMEMORY;
  }
  if (type == "i") {
    out->vt = VT_I4;
    out->lVal = static_cast<LONG>(v ? v->asNumber() : 0);
  } else if (type == "r") {
    out->vt = VT_R8;
    out->dblVal = v ? v->asNumber() : 0.0;
  } else if (type == "b") {
    out->vt = VT_BOOL;
    out->boolVal = v && v->asBool() ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (type == "n") {
    out->vt = VT_NULL;
  } else if (type == "f") {
    const JsonValue* id = value.find("id");
    ComPtr<IDispatch> object = functionObject(id ? static_cast<int>(id->asNumber()) : -1);
    if (!object) return E_OUTOFMEMORY;
    out->vt = VT_DISPATCH;
    out->pdispVal = object.Detach();
  }
  return S_OK;  // anything else stays VT_EMPTY (undefined)
}

JsonValue BrowserBridge::execute(const JsonValue& request) {
  const std::string op = request.find("op") ? request.find("op")->asString() : std::string();
  const std::wstring nameText = base::Utf8ToWide(request.find("name") ? request.find("name")->asString() : "");
  base::UniqueBstr name = base::UniqueBstr::FromText(nameText);
  if (!external_) return ErrorAnswer(E_UNEXPECTED);

  if (op == "delete") {
    const HRESULT hr = external_->DeleteMemberByName(name.get(), fdexNameCaseSensitive);
    return FAILED(hr) ? ErrorAnswer(hr) : JsonValue::makeObject();
  }

  // Arguments arrive in script order; a dispatch call wants them reversed.
  const JsonValue::Array& args = request.find("args") ? request.find("args")->asArray() : JsonValue::Array();
  std::vector<base::UniqueVariant> owned(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    const HRESULT hr = toVariant(args[i], owned[i].put());
    if (FAILED(hr)) return ErrorAnswer(hr);
  }
  std::vector<VARIANT> reversed;
  for (size_t i = args.size(); i > 0; --i) reversed.push_back(*owned[i - 1].get());

  DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  DISPID putName = DISPID_PROPERTYPUT;
  WORD flags = DISPATCH_METHOD;
  DWORD nameOptions = fdexNameCaseSensitive;
  if (op == "method") {
    flags = static_cast<WORD>(request.find("flags") ? request.find("flags")->asNumber() : DISPATCH_METHOD);
  } else if (op == "get") {
    flags = DISPATCH_PROPERTYGET;
  } else if (op == "put") {
    flags = DISPATCH_PROPERTYPUT;
    nameOptions |= fdexNameEnsure;
    params.rgdispidNamedArgs = &putName;
    params.cNamedArgs = 1;
  } else if (op != "invoke") {
    return ErrorAnswer(E_INVALIDARG);
  }
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = external_->GetDispID(name.get(), nameOptions, &id);
  if (FAILED(hr)) return ErrorAnswer(hr);
  base::UniqueVariant result;
  EXCEPINFO exception = {};
  hr = external_->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params, result.get(), &exception, nullptr);
  if (exception.bstrSource) ::SysFreeString(exception.bstrSource);
  if (exception.bstrDescription) ::SysFreeString(exception.bstrDescription);
  if (exception.bstrHelpFile) ::SysFreeString(exception.bstrHelpFile);
  if (FAILED(hr)) return ErrorAnswer(hr);
  JsonValue answer = JsonValue::makeObject();
  answer.mutableObject()["value"] = toJson(*result.get());
  return answer;
}

}  // namespace stubframework::htmlui
