// The five exports the host calls, and the dispatch of the menu commands.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "dialog/send_dialog.h"
#include "evernote/start_evernote.h"
#include "plugin/about.h"
#include "plugin/plugin_api.h"
#include "resources/resource_ids.h"
#include "win/boundary.h"
#include "win/host_callbacks.h"
#include "win/module_state.h"

namespace {

// A record of this size or less comes from a host that predates the fields written here;
// it is refused, as such hosts expect.
constexpr uint32_t kSmallestPluginInfo = 544;
constexpr int kMenuItemCount = 4;
constexpr uint32_t kFlagBit = 2;
constexpr int kItemCode = 6;

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
  WideString name = kPluginName;
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

void OpenSendDialogFromHost() {
  NodeId node = HostCurrentNode();
  int kind = HostNodeKind(node);
  OpenSendDialog(HostMainWindow(), Module().hostEditorWindow, Module().displayName, kind);
}

void StartEvernoteCommand() { StartEvernote(); }  // whatever its outcome

// One menu item per command; its index is the command number the host hands back.
struct MenuItem {
  int index;
  const char16_t* caption;
  const char16_t* hint;
  bool setFlags;
  uint32_t flags;
  bool hasIcon;
  void (*run)();
};

// The host's own menu flags: what they mean is the host's; these are the values it
// expects for an item with an icon (send) and a plain one (start).
constexpr uint32_t kSendItemFlags = 0x1403;
constexpr uint32_t kStartItemFlags = 2;

const MenuItem kMenuItems[] = {
    {0, u"Send Text 2 Evernote", u"Send selected\\entire text from Yarrin to Evernote", true, kSendItemFlags,
     true, OpenSendDialogFromHost},
    {1, u"Start Evernote", u"Start the Evernote", true, kStartItemFlags, false,
     StartEvernoteCommand},
    {3, u"About Yarrin2Evernote", u"About Yarrin2Evernote", false, 0, false, ShowAbout},
};

const MenuItem* FindMenuItem(int index) {
  for (const MenuItem& item : kMenuItems)
    if (item.index == index) return &item;
  return nullptr;
}

void FillMenuItem(const MenuItem& item, MenuItemInfo& info) {
  CopyText(info.caption, item.caption);
  CopyText(info.hint, item.hint);
  std::strcpy(info.procName, "CommandProc");
  info.itemCode = kItemCode;
  info.commandId = item.index;
  if (item.setFlags) info.itemFlags = item.flags;
  if (item.hasIcon) {
    info.icon = static_cast<HICON>(LoadImageW(Module().instanceHandle,
                                              MAKEINTRESOURCEW(IDI_PLUGIN), IMAGE_ICON, 16, 16,
                                              LR_DEFAULTCOLOR));
  }
}

int GetMenuItemInfo(int index, MenuItemInfo* info) {
  if (!info) return 1;
  if (const MenuItem* item = FindMenuItem(index)) FillMenuItem(*item, *info);
  return 1;
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
  const MenuItem* item = info ? FindMenuItem(info->commandId) : nullptr;
  if (!item) return 0;
  // A failed command still reports the result the host expects for its number.
  return AtBoundary(1, [&] {
    item->run();
    return 1;
  });
}

}  // extern "C"
