#include "xml_check.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Writes document to a fresh temporary file and runs xmllint with args on it.
XmlCheck RunXmllint(const std::string& document, const std::string& args) {
  XmlCheck check;
#ifdef Y2E_XMLLINT
  char path[] = "/tmp/y2e-enex-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return check;
  const bool written = write(fd, document.data(), document.size()) ==
                       static_cast<ssize_t>(document.size());
  close(fd);
  if (written) {
    const std::string command =
        std::string(Y2E_XMLLINT) + " --nonet " + args + " " + path + " 2>&1";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      size_t got;
      while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) check.output.append(buffer, got);
      const int status = pclose(pipe);
      check.ran = true;
      check.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
  }
  unlink(path);
#else
  (void)document;
  (void)args;
#endif
  return check;
}

}  // namespace

XmlCheck CheckXml(const std::string& document, const std::string& dtdPath) {
  std::string args = "--noout";
  if (!dtdPath.empty()) args += " --dtdvalid '" + dtdPath + "'";
  return RunXmllint(document, args);
}

XmlCheck XmlString(const std::string& document, const std::string& xpath) {
  XmlCheck check = RunXmllint(document, "--xpath '" + xpath + "'");
  // xmllint ends the printed result with a line feed of its own.
  if (check.ok && !check.output.empty() && check.output.back() == '\n') check.output.pop_back();
  return check;
}

std::optional<std::string> EnexDtdFolder() {
#ifdef Y2E_ENEX_DTD_DIR
  struct stat info;
  if (stat(Y2E_ENEX_DTD_DIR, &info) == 0 && S_ISDIR(info.st_mode)) return Y2E_ENEX_DTD_DIR;
#endif
  return std::nullopt;
}

#else

XmlCheck CheckXml(const std::string&, const std::string&) { return XmlCheck(); }
XmlCheck XmlString(const std::string&, const std::string&) { return XmlCheck(); }
std::optional<std::string> EnexDtdFolder() { return std::nullopt; }

#endif
