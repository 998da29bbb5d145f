// The converter's entry points: the reader and the writer around one output, and the
// document kept in memory as blocks.
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "html_output.h"
#include "html_writer.h"
#include "irun_core.h"
#include "output_memory.h"
#include "rtf_document.h"
#include "rtf_reader.h"

namespace irun {
namespace {

// The whole input as one piece.
struct WholeInput {
  const char* data;
  size_t size;
};

size_t ReadWholeInput(void* context, const char** piece) {
  WholeInput& input = *static_cast<WholeInput*>(context);
  *piece = input.data;
  return std::exchange(input.size, 0);
}

// Output goes to the sink, or (with `chunks`) into blocks kept in memory. `inputSize`
// is the input's size where it is known, else 0.
bool Convert(InputReader read, void* context, size_t inputSize, OutputSink sink,
             void* userData, HtmlChunks* chunks, const ConvertOptions& options,
             ConvertStats* stats) {
  try {  // nothing may escape to the DLL's callers
    HtmlOutput out(sink, userData, chunks, inputSize);
    DocumentTables document;
    HtmlWriter writer(out, options, document);
    std::vector<Picture> pictures;
    RtfReader reader(read, context, document, writer, options.keepPictures ? &pictures : nullptr);
    writer.StartDocument();
    reader.Read();
    writer.FinishDocument();
    out.Flush();
    if (stats) {
      stats->pictureCount = writer.PictureCount();
      stats->pictures = std::move(pictures);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool ConvertWhole(const char* rtf, size_t size, OutputSink sink, void* userData,
                  HtmlChunks* chunks, const ConvertOptions& options, ConvertStats* stats) {
  WholeInput input{rtf, rtf ? size : 0};
  return Convert(ReadWholeInput, &input, input.size, sink, userData, chunks, options, stats);
}

}  // namespace

bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
                const ConvertOptions& options, ConvertStats* stats) {
  return ConvertWhole(rtf, size, sink, userData, nullptr, options, stats);
}

bool ConvertRtfPieces(InputReader read, void* context, OutputSink sink, void* userData,
                      const ConvertOptions& options, ConvertStats* stats) {
  return Convert(read, context, 0, sink, userData, nullptr, options, stats);
}

bool ConvertRtfToString(const char* rtf, size_t size, const ConvertOptions& options,
                        std::string& html, ConvertStats* stats) {
  html.clear();
  auto append = [](const char* data, size_t length, void* userData) {
    static_cast<std::string*>(userData)->append(data, length);
  };
  return ConvertRtf(rtf, size, append, &html, options, stats);
}

bool ConvertRtfToChunks(const char* rtf, size_t size, const ConvertOptions& options,
                        HtmlChunks& html, ConvertStats* stats) {
  html = HtmlChunks();
  return ConvertWhole(rtf, size, nullptr, nullptr, &html, options, stats);
}

bool ConvertRtfPiecesToChunks(InputReader read, void* context, const ConvertOptions& options,
                              HtmlChunks& html, ConvertStats* stats) {
  html = HtmlChunks();
  return Convert(read, context, 0, nullptr, nullptr, &html, options, stats);
}

}  // namespace irun
