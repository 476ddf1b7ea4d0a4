// MD5 throughput of our implementation against OpenSSL's, in one run, over
// the same buffers; ends with the ratio for each size.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "module/md5.h"

namespace {

std::vector<unsigned char> Buffer(size_t size) {
  std::vector<unsigned char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 31 + 7);
  return bytes;
}

void BM_OurMd5(benchmark::State& state) {
  const auto bytes = Buffer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    auto digest = md5.Final();
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_OpenSslMd5(benchmark::State& state) {
  const auto bytes = Buffer(static_cast<size_t>(state.range(0)));
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  const EVP_MD* md5 = EVP_md5();
  for (auto _ : state) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestInit_ex(context, md5, nullptr);
    EVP_DigestUpdate(context, bytes.data(), bytes.size());
    EVP_DigestFinal_ex(context, digest, &length);
    benchmark::DoNotOptimize(digest);
  }
  EVP_MD_CTX_free(context);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_OurMd5)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_OpenSslMd5)->Arg(64)->Arg(4096)->Arg(1 << 20);

// Prints the usual table and keeps each run's CPU time per iteration by name (the
// machine may be shared, so wall time is noisier).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration) seconds_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
  }
  void PrintRatios() const {
    for (const auto& [name, ours] : seconds_) {
      if (name.rfind("BM_OurMd5/", 0) != 0) continue;
      const std::string size = name.substr(name.find('/') + 1);
      const auto theirs = seconds_.find("BM_OpenSslMd5/" + size);
      if (theirs == seconds_.end()) continue;
      std::printf("MD5 %8s bytes: ours takes %.2f times OpenSSL's CPU time\n", size.c_str(),
                  ours / theirs->second);
    }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
