// The host's side of the plug-in interface: the callbacks that the Yarrin host exports,
// the records that pass through them, and the command codes of YHC_Command.
//
// The records are laid out byte by byte as the host expects them. In the shipped 32-bit
// build every offset is checked at compile time; pointer-sized fields (window handles,
// node identifiers, buffer addresses) stay pointer-sized in the 64-bit build.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstddef>
#include <cstdint>

#define YARRIN_API __stdcall

// Node identifiers are opaque, pointer-sized values of the host's.
using NodeId = INT_PTR;

// Node kinds as the host reports them (YHC_Command code 29), named by what the plug-in
// makes of them; any other value is a folder, which cannot be sent.
enum NodeKind : int {
  kNodeRichText = 0,         // the note is made from the rich text
  kNodeHtmlWithText = 1,     // shown as rich text, sent as the node's HTML code
  kNodeRichTextOther = 2,    // the note is made from the rich text
  kNodeHtmlOnly = 3,         // no rich text to show; sent as the node's HTML code
};
inline bool IsSendableNode(int kind) { return kind >= kNodeRichText && kind <= kNodeHtmlOnly; }
inline bool SendsHtmlCode(int kind) { return kind == kNodeHtmlWithText || kind == kNodeHtmlOnly; }

// Filled by the host's YHC_GetModuleVersionInfoEx.
struct ModuleVersionInfo {
  uint32_t size;  // 20
  int32_t major;
  int32_t minor;
  int32_t release;
  int32_t build;
};

// Record of YHC_GetOptions: the host editor's colours and default character format.
// Asks for all three: text colour, background colour and character format.
inline constexpr uint32_t kHostOptionsAll = 7;
struct HostOptions {
  uint32_t size;  // 1344
  uint32_t mask;  // kHostOptionsAll
  COLORREF textColor;
  COLORREF backgroundColor;
  CHARFORMATW charFormat;  // the character format's own size is preset to 92
  uint8_t hostReserved[1236];
};

// Record of YHC_Command code 43: the hyperlink to a node of a document.
struct NodeLinkRequest {
  uint32_t unused0;
  uint32_t unused1;
  const wchar_t* documentPath;
  NodeId node;
  uint32_t zero;
  wchar_t* output;
  int32_t capacity;  // usable length of output, 1999
};

// Record of YHC_Command code 44: one item of a node, returned as a system string that the
// caller frees with SysFreeString.
struct NodeItemRequest {
  uint32_t size;  // sizeof the record: 40 in the 32-bit build
  NodeId node;
  uint32_t hostReserved[4];
  int32_t item;  // kNodeItemHtmlCode or kNodeItemTags
  uint32_t hostReserved1;
  BSTR htmlCode;  // answer for item 2
  BSTR tags;      // answer for item 4
};

// YHC_Command codes.
enum HostCommand : int {
  kHostCurrentNode = 1,
  kHostNodeTitle = 2,
  kHostDocumentPath = 10,
  kHostNodeKind = 29,
  kHostNodeLink = 43,
  kHostNodeItem = 44,
  kHostBeforeEditorRead = 46,
};
enum NodeItem : int { kNodeItemHtmlCode = 2, kNodeItemTags = 4 };

// The host's callbacks, exported by the host's executable and looked up by name.
using YHC_GetMainWndFn = HWND(YARRIN_API*)();
using YHC_GetOptionsFn = int(YARRIN_API*)(HostOptions* options);
using YHC_GetModuleVersionInfoExFn = int(YARRIN_API*)(HINSTANCE module, ModuleVersionInfo* info);
using YHC_GetUILanguageFn = WORD(YARRIN_API*)();
using YHC_CommandFn = INT_PTR(YARRIN_API*)(int code, INT_PTR value, void* pointer);

#if !defined(_WIN64)
// The host reads and writes these bytes at fixed places.
static_assert(sizeof(ModuleVersionInfo) == 20);
static_assert(offsetof(HostOptions, textColor) == 8);
static_assert(offsetof(HostOptions, backgroundColor) == 12);
static_assert(offsetof(HostOptions, charFormat) == 16);
static_assert(sizeof(CHARFORMATW) == 92);
static_assert(sizeof(HostOptions) == 1344);
static_assert(offsetof(NodeLinkRequest, documentPath) == 8);
static_assert(offsetof(NodeLinkRequest, node) == 12);
static_assert(offsetof(NodeLinkRequest, zero) == 16);
static_assert(offsetof(NodeLinkRequest, output) == 20);
static_assert(offsetof(NodeLinkRequest, capacity) == 24);
static_assert(sizeof(NodeLinkRequest) == 28);
static_assert(offsetof(NodeItemRequest, node) == 4);
static_assert(offsetof(NodeItemRequest, item) == 24);
static_assert(offsetof(NodeItemRequest, htmlCode) == 32);
static_assert(offsetof(NodeItemRequest, tags) == 36);
static_assert(sizeof(NodeItemRequest) == 40);
#endif
