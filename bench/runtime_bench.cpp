// Runtime benchmarks: allocation cost with the collector running at a steady
// state, the longest single collector step, and string throughput.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "runtime/gc.h"
#include "runtime/string.h"

namespace {

// A small collected object (48 bytes: a cached size class).
class Node : public Object {
 public:
  Node* next = nullptr;
  Array<Node*> children;
  void mark() override {
    gc_enqueue(next);
    gc_enqueue(children);
  }
};

Node* root_node;

double thread_cpu_us() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

void mark_root() { gc_enqueue(root_node); }

// Empties the collector: everything allocated so far is finalised.
void reset_collector() {
  root_node = nullptr;
  gc_root_marker = mark_root;
  for (int pass = 0; pass < 2; ++pass) {
    new Object;
    gc_force_sweep = 1;
    gc_collect();
  }
}

// Steady state: 10,000 live objects; each new object replaces a random-ish
// live one, and the collector steps every 100 allocations, as a frame would.
void BM_SmallObjectAllocation(benchmark::State& state) {
  constexpr int kLive = 10000;
  constexpr int kAllocationsPerStep = 100;
  reset_collector();
  root_node = new Node;
  gc_init2();
  gc_assign(root_node->children, Array<Node*>(kLive));
  for (Node*& slot : root_node->children) gc_assign(slot, new Node);
  unsigned slot = 0;
  int since_step = 0;
  for (auto _ : state) {
    slot = (slot + 7919) % kLive;
    gc_assign(root_node->children[static_cast<int>(slot)], new Node);
    if (++since_step == kAllocationsPerStep) {
      since_step = 0;
      gc_collect();
    }
  }
  state.counters["live_objects"] = kLive;
  state.counters["max_heap_MiB"] = gc_max_alloced_bytes / (1024.0 * 1024.0);
  reset_collector();
}
BENCHMARK(BM_SmallObjectAllocation);

// The baseline for the allocation above: a plain C++ object of the same size
// from new and delete, with the same 10,000 live and the same replacement
// order, each replaced object deleted at once.
struct PlainNode {
  PlainNode* next = nullptr;
  void* padding[sizeof(Node) / sizeof(void*) - 1] = {};
};
static_assert(sizeof(PlainNode) == sizeof(Node), "the baseline object has the collected object's size");

void BM_PlainNewDelete(benchmark::State& state) {
  constexpr int kLive = 10000;
  std::vector<PlainNode*> live(kLive);
  for (PlainNode*& slot : live) slot = new PlainNode;
  unsigned slot = 0;
  for (auto _ : state) {
    slot = (slot + 7919) % kLive;
    delete live[slot];
    live[slot] = new PlainNode;
    benchmark::DoNotOptimize(live[slot]);
  }
  state.counters["live_objects"] = kLive;
  for (PlainNode* node : live) delete node;
}
BENCHMARK(BM_PlainNewDelete);

// 100,000 live objects in 100 chains of 1,000; each step also allocates
// 2,000 short-lived objects, so cycles and sweeps keep coming. Reports the
// longest and the mean single gc_collect() call.
void BM_LongestCollectorStep(benchmark::State& state) {
  constexpr int kChains = 100;
  constexpr int kChainLength = 1000;
  constexpr int kGarbagePerStep = 2000;
  constexpr int kSteps = 1000;
  reset_collector();
  root_node = new Node;
  gc_init2();
  gc_assign(root_node->children, Array<Node*>(kChains));
  for (Node*& head : root_node->children) {
    gc_assign(head, new Node);
    Node* last = head;
    for (int i = 1; i < kChainLength; ++i) {
      gc_assign(last->next, new Node);
      last = last->next;
    }
  }
  double longest_cpu_us = 0, longest_wall_us = 0, total_cpu_us = 0;
  long steps = 0;
  for (auto _ : state) {
    for (int step = 0; step < kSteps; ++step) {
      for (int i = 0; i < kGarbagePerStep; ++i) benchmark::DoNotOptimize(new Node);
      double cpu_begin = thread_cpu_us();
      auto wall_begin = std::chrono::steady_clock::now();
      gc_collect();
      double wall_us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wall_begin).count();
      double cpu_us = thread_cpu_us() - cpu_begin;
      longest_cpu_us = std::max(longest_cpu_us, cpu_us);
      longest_wall_us = std::max(longest_wall_us, wall_us);
      total_cpu_us += cpu_us;
      ++steps;
    }
  }
  // CPU time is the step's own work; wall time also holds any preemption.
  state.counters["longest_step_cpu_us"] = longest_cpu_us;
  state.counters["longest_step_wall_us"] = longest_wall_us;
  state.counters["mean_step_cpu_us"] = total_cpu_us / static_cast<double>(steps);
  reset_collector();
}
BENCHMARK(BM_LongestCollectorStep)->Iterations(3)->Unit(benchmark::kMillisecond);

// The same live set, collected by one forced (full) step: the worst case a
// surface or sample load triggers.
void BM_ForcedFullStep(benchmark::State& state) {
  constexpr int kLive = 100000;
  reset_collector();
  root_node = new Node;
  gc_init2();
  Node* last = root_node;
  for (int i = 0; i < kLive; ++i) {
    gc_assign(last->next, new Node);
    last = last->next;
  }
  for (auto _ : state) {
    new Node;  // something to sweep, so the cycle completes
    gc_force_sweep = 1;
    gc_collect();
  }
  reset_collector();
}
BENCHMARK(BM_ForcedFullStep)->Unit(benchmark::kMillisecond);

// About 1 MiB of text of short comma-separated words with some non-ASCII.
String sample_text() {
  std::wstring text;
  const wchar_t* words[] = {L"score", L"12345", L"caf\u00e9", L"\u4e2d\u6587", L"level", L"x"};
  for (int i = 0; text.size() < 512 * 1024; ++i) {
    text += words[i % 6];
    text += L',';
  }
  return String(text.c_str(), static_cast<int>(text.size()));
}

// Frees the collected arrays the previous iterations made, outside the timing.
void collect_between(benchmark::State& state) {
  state.PauseTiming();
  gc_force_sweep = 1;
  gc_collect();
  state.ResumeTiming();
}

void BM_StringSplit(benchmark::State& state) {
  reset_collector();
  String text = sample_text();
  String comma(",");
  for (auto _ : state) {
    benchmark::DoNotOptimize(text.Split(comma).rep);
    collect_between(state);
  }
  state.SetBytesProcessed(state.iterations() * text.Length() * 2);
  reset_collector();
}
BENCHMARK(BM_StringSplit)->Unit(benchmark::kMillisecond);

void BM_StringReplace(benchmark::State& state) {
  String text = sample_text();
  String comma(","), with(";;");
  for (auto _ : state) benchmark::DoNotOptimize(text.Replace(comma, with).rep);
  state.SetBytesProcessed(state.iterations() * text.Length() * 2);
}
BENCHMARK(BM_StringReplace)->Unit(benchmark::kMillisecond);

void BM_StringLoadUtf8(benchmark::State& state) {
  std::vector<unsigned char> bytes;
  sample_text().Save(bytes);
  for (auto _ : state) {
    String loaded = String::Load(bytes.data(), static_cast<int>(bytes.size()));
    benchmark::DoNotOptimize(loaded.rep);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_StringLoadUtf8)->Unit(benchmark::kMillisecond);

void BM_StringLoadUtf16(benchmark::State& state) {
  String text = sample_text();
  std::vector<unsigned char> bytes = {0xFF, 0xFE};
  for (int i = 0; i < text.Length(); ++i) {
    bytes.push_back(static_cast<unsigned char>(text[i] & 0xFF));
    bytes.push_back(static_cast<unsigned char>(text[i] >> 8));
  }
  for (auto _ : state) {
    String loaded = String::Load(bytes.data(), static_cast<int>(bytes.size()));
    benchmark::DoNotOptimize(loaded.rep);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_StringLoadUtf16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
