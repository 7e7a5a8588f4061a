// Parsing generated setup documents of 2 MB (1,000 channel definitions) and 20 MB
// (10,000): bytes per second of the document parser, against libxml2's xmlReadMemory
// on the same text in the same run when libxml2 is available (an optional dependency
// of this benchmark only, found through pkg-config libxml-2.0), else against one
// memchr pass over the text for '<' (a lower bound of any parser). The two sizes
// together show that parse time grows linearly with the document. Each side builds
// its tree, releases it and, with glibc, trims the heap inside its own timing, so
// that neither is charged for consolidating the other's freed blocks (which otherwise
// dominates whichever side runs second). A second benchmark exports every channel
// definition as the setup interpreter does, against copying as many bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/BenchRatio.h"
#include "testkit/SetupDocumentWriter.h"
#include "xml/XML.h"

#ifdef KV_BENCH_HAVE_LIBXML2
#include <libxml/parser.h>
#endif

namespace Korvane::DataReader {
namespace {

constexpr size_t kChannelsPerMegabyte = 500;
constexpr size_t kMegabyte = 1000 * 1000;

// The generated document of about `megabytes` MB, built once per size.
const std::string& Document(size_t megabytes) {
  static const std::string small = TestKit::GenerateSetupDocument(2 * kChannelsPerMegabyte, 2 * kMegabyte);
  static const std::string large = TestKit::GenerateSetupDocument(20 * kChannelsPerMegabyte, 20 * kMegabyte);
  return megabytes <= 2 ? small : large;
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

void Baseline(const std::string& text) {
#ifdef KV_BENCH_HAVE_LIBXML2
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "setup.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE);
  benchmark::DoNotOptimize(doc);
  xmlFreeDoc(doc);
  ReturnFreedMemory();
#else
  size_t tags = 0;
  for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '<', text.data() + text.size() - p)));
       ++p) {
    ++tags;
  }
  benchmark::DoNotOptimize(tags);
#endif
}

void BM_ParseSetupDocument(benchmark::State& state) {
  const std::string& text = Document(static_cast<size_t>(state.range(0)));
  Bench::MeasureAgainstBaseline(
      state, [&] { Baseline(text); },
      [&] {
        {
          XML xml;
          xml.LoadText(std::string_view(text));
          benchmark::DoNotOptimize(xml.GetRootElement());
        }
        ReturnFreedMemory();
      });
  state.counters["subject_MB/s"] = static_cast<double>(text.size()) / 1e6 / (state.counters["subject_ns"] / 1e9);
  state.counters["baseline_MB/s"] = static_cast<double>(text.size()) / 1e6 / (state.counters["baseline_ns"] / 1e9);
  state.counters["document_MB"] = static_cast<double>(text.size()) / 1e6;
#ifdef KV_BENCH_HAVE_LIBXML2
  state.SetLabel("baseline: libxml2 xmlReadMemory");
#else
  state.SetLabel("baseline: memchr scan (libxml2 not found)");
#endif
}
BENCHMARK(BM_ParseSetupDocument)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// Linear growth: the parse alone (building the tree, its release left out of the
// timing) per megabyte at 2 MB and 20 MB, against one memchr pass over the same text,
// which is linear by construction; a constant ratio across the sizes is linear growth.
void BM_ParseGrowth(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const std::string& text = Document(static_cast<size_t>(state.range(0)));
  Clock::duration scanTime{}, parseTime{};
  for (auto _ : state) {
    const auto start = Clock::now();
    size_t tags = 0;
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '<', text.data() + text.size() - p)));
         ++p) {
      ++tags;
    }
    benchmark::DoNotOptimize(tags);
    const auto middle = Clock::now();
    XML xml;
    xml.LoadText(std::string_view(text));
    benchmark::DoNotOptimize(xml.GetRootElement());
    scanTime += middle - start;
    parseTime += Clock::now() - middle;
  }
  const double megabytes = static_cast<double>(text.size()) / 1e6 * static_cast<double>(state.iterations());
  const double parseNs = std::chrono::duration<double, std::nano>(parseTime).count();
  const double scanNs = std::chrono::duration<double, std::nano>(scanTime).count();
  state.counters["parse_ms_per_MB"] = parseNs / 1e6 / megabytes;
  state.counters["scan_ms_per_MB"] = scanNs / 1e6 / megabytes;
  state.counters["ratio"] = scanNs > 0 ? parseNs / scanNs : 0.0;
}
BENCHMARK(BM_ParseGrowth)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// The channel export: each "OutputChannel" element of the 20 MB document written
// compact with no indentation, against libxml2's xmlNodeDump of the same elements
// when libxml2 is available, else against copying as many bytes.
void BM_ExportChannelDefinitions(benchmark::State& state) {
  const std::string& text = Document(20);
  XML xml;
  xml.LoadText(std::string_view(text));
  XMLElement* slot = xml.GetRootElement()->GetElementInSection("System\\KorvaneSetup\\Devices\\Device\\Slot");
  XMLEXPORTFORMAT compact;
  compact.IndentCount = 0;
  compact.Compact = true;
  slot->SetExportFormatting(&compact);
  std::string out;
#ifdef KV_BENCH_HAVE_LIBXML2
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "setup.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOBLANKS);
  xmlNodePtr node = xmlDocGetRootElement(doc);
  for (const char* step : {"System", "KorvaneSetup", "Devices", "Device", "Slot"}) {
    node = node->children;
    while (node != nullptr && !(node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST step))) {
      node = node->next;
    }
  }
  xmlBufferPtr buffer = xmlBufferCreate();
  auto baseline = [&] {
    for (xmlNodePtr channel = node->children; channel != nullptr; channel = channel->next) {
      xmlBufferEmpty(buffer);
      xmlNodeDump(buffer, doc, channel, 0, 0);
      benchmark::DoNotOptimize(buffer->content);
    }
  };
  state.SetLabel("baseline: libxml2 xmlNodeDump");
#else
  size_t exported = 0;
  for (const XMLElement* channel : slot->GetChildren()) {
    out.clear();
    channel->Export(out, 1, XML_SAVE_MODE_DEFAULT);
    exported += out.size();
  }
  const std::string source(exported, 'x');
  std::string copy;
  auto baseline = [&] {
    for (size_t offset = 0; offset < source.size(); offset += 2000) {
      copy.assign(source, offset, 2000);
      benchmark::DoNotOptimize(copy.data());
    }
  };
  state.SetLabel("baseline: copying the same bytes (libxml2 not found)");
#endif
  Bench::MeasureAgainstBaseline(state, baseline, [&] {
    for (const XMLElement* channel : slot->GetChildren()) {
      out.clear();
      channel->Export(out, 1, XML_SAVE_MODE_DEFAULT);
      benchmark::DoNotOptimize(out.data());
    }
  });
#ifdef KV_BENCH_HAVE_LIBXML2
  xmlBufferFree(buffer);
  xmlFreeDoc(doc);
#endif
}
BENCHMARK(BM_ExportChannelDefinitions)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace Korvane::DataReader
