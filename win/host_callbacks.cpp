#include "win/host_callbacks.h"

#include "win/guards.h"

namespace {

template <typename Fn>
Fn HostFunction(const char* name) {
  HMODULE host = GetModuleHandleW(nullptr);
  if (!host) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(host, name)));
}

// A host text written into a buffer of kHostTextCapacity units that starts empty.
struct HostTextBuffer {
  wchar_t text[kHostTextCapacity] = {};
  WideString Text() {
    text[kHostTextCapacity - 1] = L'\0';
    return WideFromPtr(text);
  }
};

WideString Copy(const UniqueHostString& text) {
  return text ? WideFromPtr(text.get(), SysStringLen(text.get())) : WideString();
}

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

WideString HostNodeTitle(NodeId node) {
  HostTextBuffer title;
  HostCommand(kHostNodeTitle, node, title.text);
  return title.Text();
}

WideString HostDocumentPath() {
  HostTextBuffer path;
  HostCommand(kHostDocumentPath, kHostTextCapacity, path.text);
  return path.Text();
}

WideString HostNodeLink(const WideString& documentPath, NodeId node) {
  HostTextBuffer link;
  NodeLinkRequest request{};
  request.documentPath = WidePtr(documentPath);
  request.node = node;
  request.zero = 0;
  request.output = link.text;
  request.capacity = static_cast<int32_t>(kHostTextCapacity - 1);
  HostCommand(kHostNodeLink, 0, &request);
  return link.Text();
}

bool HostNodeItem(NodeId node, int item, WideString& text) {
  NodeItemRequest request{};
  request.size = sizeof(request);
  request.node = node;
  request.item = item;
  if (HostCommand(kHostNodeItem, 0, &request) == 0) return false;
  // Both answers are freed, whichever the host filled.
  UniqueHostString html(request.htmlCode);
  UniqueHostString tags(request.tags);
  text = Copy(item == kNodeItemHtmlCode ? html : tags);
  return true;
}

WideString GetNodeTags() {
  WideString tags;
  if (!HostNodeItem(HostCurrentNode(), kNodeItemTags, tags)) return WideString();
  return tags;
}
