#include "plugin/host_callbacks.h"

#include <oleauto.h>

namespace {

template <typename Fn>
Fn HostFunction(const char* name) {
  HMODULE host = GetModuleHandleW(nullptr);
  if (!host) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(host, name)));
}

// Frees a system string that the host handed over.
class HostString {
 public:
  explicit HostString(BSTR text) : text_(text) {}
  HostString(const HostString&) = delete;
  HostString& operator=(const HostString&) = delete;
  ~HostString() {
    if (text_) SysFreeString(text_);
  }
  WideString Copy() const { return text_ ? WideFromPtr(text_, SysStringLen(text_)) : WideString(); }

 private:
  BSTR text_;
};

}  // namespace

HWND HostMainWindow() {
  auto fn = HostFunction<YHC_GetMainWndFn>("YHC_GetMainWnd");
  return fn ? fn() : nullptr;
}

bool HostGetOptions(HostOptions& options) {
  auto fn = HostFunction<YHC_GetOptionsFn>("YHC_GetOptions");
  return fn && fn(&options) != 0;
}

bool HostGetModuleVersion(HINSTANCE module, ModuleVersionInfo& info) {
  auto fn = HostFunction<YHC_GetModuleVersionInfoExFn>("YHC_GetModuleVersionInfoEx");
  return fn && fn(module, &info) != 0;
}

WORD HostUiLanguage() {
  auto fn = HostFunction<YHC_GetUILanguageFn>("YHC_GetUILanguage");
  return fn ? fn() : 0;
}

INT_PTR HostCommand(int code, INT_PTR value, void* pointer) {
  auto fn = HostFunction<YHC_CommandFn>("YHC_Command");
  return fn ? fn(code, value, pointer) : 0;
}

NodeId HostCurrentNode() { return HostCommand(kHostCurrentNode, 0, nullptr); }

int HostNodeKind(NodeId node) {
  return static_cast<int>(HostCommand(kHostNodeKind, 0, reinterpret_cast<void*>(node)));
}

bool HostNodeItem(NodeId node, int item, WideString& text) {
  NodeItemRequest request{};
  request.size = sizeof(request);
  request.node = node;
  request.item = item;
  if (HostCommand(kHostNodeItem, 0, &request) == 0) return false;
  // Both answers are freed, whichever the host filled.
  HostString html(request.htmlCode);
  HostString tags(request.tags);
  text = item == kNodeItemHtmlCode ? html.Copy() : tags.Copy();
  return true;
}
