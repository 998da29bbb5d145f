// The five exports the host calls, and the dispatch of the menu commands.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "dialog/send_dialog.h"
#include "evernote/start_evernote.h"
#include "plugin/about.h"
#include "plugin/boundary.h"
#include "plugin/host_callbacks.h"
#include "plugin/module_state.h"
#include "plugin/plugin_api.h"
#include "resources/resource_ids.h"

namespace {

constexpr uint32_t kSmallestPluginInfo = 544;
constexpr int kMenuItemCount = 4;
constexpr int kRequiredHostBuild = 2509;
constexpr uint32_t kFlagBit = 2;
constexpr int kItemCode = 6;

enum Command : int { kSendText = 0, kStartEvernote = 1, kAbout = 3 };

// Only fields that lie wholly inside the host's record are written.
template <typename Field>
bool FieldFits(const PluginInfo& info, const Field& field) {
  auto end = reinterpret_cast<const char*>(&field) + sizeof(Field);
  return end - reinterpret_cast<const char*>(&info) <= static_cast<ptrdiff_t>(info.size);
}

template <size_t N>
void CopyText(wchar_t (&target)[N], const WideString& text) {
  size_t count = std::min(text.size(), N - 1);
  std::memcpy(target, text.data(), count * sizeof(wchar_t));
  target[count] = L'\0';
}

WideString VersionedDisplayName() {
  WideString name = u"Yarrin2Evernote";
  ModuleVersionInfo version{sizeof(ModuleVersionInfo), 0, 0, 0, 0};
  if (HostGetModuleVersion(Module().instanceHandle, version)) {
    // Minor and release are written one after the other: 1.0.4 reads 1.04.
    name += u" " + WideNumber(version.major) + u"." + WideNumber(version.minor) +
            WideNumber(version.release);
  }
  return name;
}

int GetPluginInfo(PluginInfo* info) {
  if (!info || info->size <= kSmallestPluginInfo) return 0;
  if (FieldFits(*info, info->flagWordB)) info->flagWordB |= kFlagBit;
  Module().displayName = VersionedDisplayName();
  if (FieldFits(*info, info->name)) CopyText(info->name, Module().displayName);
  if (FieldFits(*info, info->flagWordA)) info->flagWordA |= kFlagBit;
  if (FieldFits(*info, info->requiredHostBuild)) info->requiredHostBuild = kRequiredHostBuild;
  if (FieldFits(*info, info->menuItemCount)) info->menuItemCount = kMenuItemCount;
  return 1;
}

struct MenuItem {
  int index;
  const char16_t* caption;
  const char16_t* hint;
  bool setFlags;
  uint32_t flags;
};

const MenuItem kMenuItems[] = {
    {0, u"Send Text 2 Evernote", u"Send selected\\entire text from Yarrin to Evernote", true, 0x1403},
    {1, u"Start Evernote", u"Start the Evernote", true, 2},
    {3, u"About Yarrin2Evernote", u"About Yarrin2Evernote", false, 0},
};

void FillMenuItem(const MenuItem& item, MenuItemInfo& info) {
  CopyText(info.caption, item.caption);
  CopyText(info.hint, item.hint);
  std::strcpy(info.procName, "CommandProc");
  info.itemCode = kItemCode;
  info.commandId = item.index;
  if (item.setFlags) info.itemFlags = item.flags;
  if (item.index == kSendText) {
    info.icon = static_cast<HICON>(LoadImageW(Module().instanceHandle,
                                              MAKEINTRESOURCEW(IDI_PLUGIN), IMAGE_ICON, 16, 16,
                                              LR_DEFAULTCOLOR));
  }
}

int GetMenuItemInfo(int index, MenuItemInfo* info) {
  if (!info) return 1;
  for (const MenuItem& item : kMenuItems)
    if (item.index == index) FillMenuItem(item, *info);
  return 1;
}

void OpenSendDialogFromHost() {
  NodeId node = HostCurrentNode();
  int kind = HostNodeKind(node);
  OpenSendDialog(HostMainWindow(), Module().hostEditorWindow, Module().displayName, kind);
}

int RunCommand(const CommandInfo* info) {
  if (!info) return 0;
  switch (info->commandId) {
    case kSendText:
      OpenSendDialogFromHost();
      return 1;
    case kStartEvernote:
      StartEvernote();
      return 1;
    case kAbout:
      ShowAbout();
      return 1;
    default:
      return 0;
  }
}

}  // namespace

extern "C" {

int YARRIN_API Yarrin_IsSupportsPluginUnicode() { return 1; }

int YARRIN_API Yarrin_GetPluginInfo(PluginInfo* info) {
  return AtBoundary(0, [&] { return GetPluginInfo(info); });
}

int YARRIN_API Yarrin_GetMenuItemInfo(int index, MenuItemInfo* info) {
  return AtBoundary(1, [&] { return GetMenuItemInfo(index, info); });
}

int YARRIN_API Yarrin_EventHandler(EventInfo* info) {
  return AtBoundary(1, [&] {
    if (info && info->eventCode == kEventEditorWindow) Module().hostEditorWindow = info->eventValue;
    return 1;
  });
}

int YARRIN_API CommandProc(CommandInfo* info) {
  // A failed command still reports the result the host expects for its number.
  bool known = info && (info->commandId == kSendText || info->commandId == kStartEvernote ||
                        info->commandId == kAbout);
  return AtBoundary(known ? 1 : 0, [&] { return RunCommand(info); });
}

}  // extern "C"
