#include "plugin/about.h"

#include "evernote/install_lookup.h"
#include "plugin/plugin_api.h"
#include "win/host_callbacks.h"
#include "win/message_box.h"
#include "win/module_state.h"

namespace {

constexpr DWORD kAboutTimeoutMs = 15000;

WideString JoinLines(const std::vector<WideString>& lines) {
  WideString text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace

std::vector<WideString> AboutLines() {
  std::vector<WideString> lines = {
      Module().displayName,
      u"Released: Feb  7 2016 16:47:35",
      u"Yarrin Plugin API: 9.69 build 2599",
      u"Required Yarrin 9.57 build " + WideNumber(kRequiredHostBuild) + u" or later",
  };
  for (WideString& line : InstallInfoLines()) lines.push_back(std::move(line));
  return lines;
}

void ShowAbout() {
  ShowTimedMessageBox(HostMainWindow(), JoinLines(AboutLines()), kPluginName, 0,
                      kAboutTimeoutMs);
}
