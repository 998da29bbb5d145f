// RTF to HTML through the converter library irun.dll, loaded for each conversion.
// Windows only; the header itself needs no <windows.h>.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "picture/pictures.h"
#include "text/byte_pieces.h"
#include "text/wide_string.h"
#include "win/system_pieces.h"

// What the converter made of a page: its pictures, there at once, then its HTML
// document, read once. The library stays loaded, and its session open, until the
// document has been read or the page goes.
class ConvertedPage {
 public:
  class Conversion;
  explicit ConvertedPage(std::unique_ptr<Conversion> conversion);
  ConvertedPage(ConvertedPage&&) noexcept;
  ConvertedPage& operator=(ConvertedPage&&) noexcept;
  ~ConvertedPage();

  // The pictures the converter offers, each under the name its image reference uses (a
  // library without the picture calls offers none).
  std::vector<PictureData>& Pictures();

  // Hands the document to sink in pieces, as UTF-8, up to its first zero byte, giving
  // back the converter's memory as it is read; the library is freed after. The converter
  // writes ASCII; any other byte is read in the ANSI code page. False with failure set
  // when the document could not be read (or sink refused it: failure is then empty).
  bool ReadDocument(const ByteSink& sink, WideString& failure);

 private:
  std::unique_ptr<Conversion> conversion_;
};

// Converts the page's RTF, letting each piece go as the converter reads it (a library
// without the call for pieces gets them joined). nullopt with failure set for the user:
// which file could not be loaded from where, which function the library lacks, or the
// converter's result code; the library is freed again then.
std::optional<ConvertedPage> ConvertPage(SystemPieces rtf, WideString& failure);
// The same for RTF in one text, taken up to its first zero byte.
std::optional<ConvertedPage> ConvertPage(std::string_view rtf, WideString& failure);
