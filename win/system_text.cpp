#include "win/system_text.h"

#include "text/text_ops.h"

WideString SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  WideString text = length && buffer ? WideFromPtr(buffer, length) : WideString();
  if (buffer) LocalFree(buffer);
  TrimTrailingChars(text, u" \r\n");
  WideString number = u"error " + WideNumber(code);
  return text.empty() ? number : text + u" (" + number + u")";
}
