// Tarvex's processing operations beside their nearest OpenCV primitives, on
// the same full 752 x 580 16-bit frame, in one process and on one thread.
// Absolute times drift on a busy machine; the ratio of two medians taken in
// the same run does not, so after the usual table the program prints, for
// each pair, Tarvex's median CPU time over OpenCV's.
//
// Pairs are registered next to each other so their repetitions run close
// together. Run with, for example:
//   build/bench_vs_opencv --benchmark_repetitions=9
//       --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "../bench_frame.h"
#include "image/frame_store.h"
#include "platform/basic_ports.h"
#include "processing/filters.h"
#include "processing/filters_median.h"
#include "processing/processor_ways.h"
#include "processing/stretch.h"

namespace {

using namespace tarvex;

// The processing benchmarks' picture (bench_frame.h).
FrameStore& store() {
  return bench::noisy_sky_store();
}

// The frame as an OpenCV matrix (sharing the picture) and a destination.
cv::Mat cv_source() {
  return cv::Mat(FRAME_HEIGHT, FRAME_WIDTH, CV_16UC1, store().SecondFrame.data());
}

template <typename Op>
void run(benchmark::State& state, Op op) {
  bench::run_on_picture(state, op);
}

template <typename Op>
void run_cv(benchmark::State& state, Op op) {
  const cv::Mat src = cv_source();
  cv::Mat dst(src.size(), src.type());
  for (auto _ : state) {
    op(src, dst);
    benchmark::DoNotOptimize(dst.data);
  }
}

// ---- point operations --------------------------------------------------

// A plain copy of the frame into the undo frame, in the same harness as the
// point operations (which read the frame and write it and its undo copy).
void BM_copy_frame(benchmark::State& state) {
  run(state, [](FrameStore& fs) {
    std::copy(fs.CurrentFrame.begin(), fs.CurrentFrame.begin() + FRAME_SAMPLES,
              fs.UndoFrame.begin());
  });
}

void BM_stretch_table(benchmark::State& state) {
  static StretchLevels table;
  fill_log_table(table);
  RecordingProgress progress;
  NullPump pump;
  run(state, [&](FrameStore& fs) {
    apply_stretch_table(fs, table, progress, pump);
    progress.positions.clear();
  });
}
// The same on a night sky's histogram (bench_frame.h), and each way the
// processor offers forced, beside the one the first use chose.
void BM_stretch_table_sky(benchmark::State& state) {
  static StretchLevels table;
  fill_log_table(table);
  RecordingProgress progress;
  NullPump pump;
  bench::run_on_picture(
      state,
      [&](FrameStore& fs) {
        apply_stretch_table(fs, table, progress, pump);
        progress.positions.clear();
      },
      bench::night_sky_store());
}
void BM_stretch_way(benchmark::State& state, StretchMap map, bool sky) {
  static StretchLevels table;
  fill_log_table(table);
  FrameStore& fs = sky ? bench::night_sky_store() : store();
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(fs.SecondFrame.begin(), fs.SecondFrame.end(), fs.CurrentFrame.begin());
    state.ResumeTiming();
    map(fs.CurrentFrame.data(), fs.UndoFrame.data(), FRAME_SAMPLES, table.data());
    benchmark::DoNotOptimize(fs.CurrentFrame.data());
  }
}
void BM_median_way(benchmark::State& state, MedianRows rows, bool sky) {
  FrameStore& fs = sky ? bench::night_sky_store() : store();
  for (auto _ : state) {
    rows(fs.SecondFrame.data(), fs.CurrentFrame.data(), 1, FRAME_HEIGHT - 1, 1, 0.6f);
    benchmark::DoNotOptimize(fs.CurrentFrame.data());
  }
}
void BM_median_rows_sky(benchmark::State& state) {
  FrameStore& fs = bench::night_sky_store();
  for (auto _ : state) {
    median_rows(fs.SecondFrame.data(), fs.CurrentFrame.data(), 1, FRAME_HEIGHT - 1, 1, 0.6f);
    benchmark::DoNotOptimize(fs.CurrentFrame.data());
  }
}
void BM_cv_medianBlur_16bit_sky(benchmark::State& state) {
  const cv::Mat src(FRAME_HEIGHT, FRAME_WIDTH, CV_16UC1,
                    bench::night_sky_store().SecondFrame.data());
  cv::Mat dst(src.size(), src.type());
  for (auto _ : state) {
    cv::medianBlur(src, dst, 3);
    benchmark::DoNotOptimize(dst.data);
  }
}

// What the Invert command runs (its table is filled outside the timed part,
// as the log table above is).
void BM_invert(benchmark::State& state) {
  RecordingProgress progress;
  NullPump pump;
  run(state, [&](FrameStore& fs) {
    invert_frame(fs, progress, pump);
    progress.positions.clear();
  });
}

// cv::LUT takes 8-bit input only: the nearest primitive is an 8-bit frame
// mapped through a 256-entry 16-bit table.
void BM_cv_LUT_8bit(benchmark::State& state) {
  cv::Mat src8;
  cv_source().convertTo(src8, CV_8U, 1.0 / 256);
  cv::Mat lut(1, 256, CV_16U);
  for (int i = 0; i < 256; ++i)
    lut.at<std::uint16_t>(i) = static_cast<std::uint16_t>(65535 - i * 257);
  cv::Mat dst;
  for (auto _ : state) {
    cv::LUT(src8, lut, dst);
    benchmark::DoNotOptimize(dst.data);
  }
}

// ---- convolutions ------------------------------------------------------

void BM_convolve_lowpass_3x3(benchmark::State& state) {
  run(state, [](FrameStore& fs) { convolve_frame(fs, 1, 0, 16); });
}
void BM_convolve_gaussian_5x5(benchmark::State& state) {
  run(state, [](FrameStore& fs) { convolve_frame(fs, 2, 1, 80); });
}
void BM_cv_filter2D_3x3(benchmark::State& state) {
  const cv::Mat k = (cv::Mat_<float>(3, 3) << 1, 2, 1, 2, 4, 2, 1, 2, 1) / 16.0f;
  run_cv(state, [&](const cv::Mat& s, cv::Mat& d) { cv::filter2D(s, d, -1, k); });
}
void BM_cv_filter2D_5x5(benchmark::State& state) {
  cv::Mat k = cv::getGaussianKernel(5, 0, CV_32F);
  k = k * k.t();
  run_cv(state, [&](const cv::Mat& s, cv::Mat& d) { cv::filter2D(s, d, -1, k); });
}
void BM_cv_GaussianBlur_3x3(benchmark::State& state) {
  run_cv(state, [](const cv::Mat& s, cv::Mat& d) { cv::GaussianBlur(s, d, cv::Size(3, 3), 0); });
}
void BM_cv_GaussianBlur_5x5(benchmark::State& state) {
  run_cv(state, [](const cv::Mat& s, cv::Mat& d) { cv::GaussianBlur(s, d, cv::Size(5, 5), 0); });
}

// ---- unsharp mask ------------------------------------------------------

void BM_unsharp_mask_r2(benchmark::State& state) {
  run(state, [](FrameStore& fs) { unsharp_mask(fs, 2, 3); });
}
void BM_cv_blur_5x5(benchmark::State& state) {
  run_cv(state, [](const cv::Mat& s, cv::Mat& d) { cv::blur(s, d, cv::Size(5, 5)); });
}

// ---- medians -----------------------------------------------------------

// The filter with its threshold blend, without the undo copy (which OpenCV
// does not make); the whole command, undo copy included, is timed beside it.
template <int R>
void BM_median_rows(benchmark::State& state) {
  FrameStore& fs = store();
  const std::uint16_t* src = fs.SecondFrame.data();
  for (auto _ : state) {
    median_rows(src, fs.CurrentFrame.data(), R, FRAME_HEIGHT - R, R, 0.6f);
    benchmark::DoNotOptimize(fs.CurrentFrame.data());
  }
}
template <int R>
void BM_median_filter_with_undo(benchmark::State& state) {
  run(state, [](FrameStore& fs) { median_filter(fs, R, 6); });
}
template <int K>
void BM_cv_medianBlur_16bit(benchmark::State& state) {
  run_cv(state, [](const cv::Mat& s, cv::Mat& d) { cv::medianBlur(s, d, K); });
}
// OpenCV's medianBlur has no 16-bit 7 x 7: the 8-bit one stands in.
void BM_cv_medianBlur_8bit_7x7(benchmark::State& state) {
  cv::Mat src8;
  cv_source().convertTo(src8, CV_8U, 1.0 / 256);
  cv::Mat dst;
  for (auto _ : state) {
    cv::medianBlur(src8, dst, 7);
    benchmark::DoNotOptimize(dst.data);
  }
}

struct Pair {
  const char* tarvex;
  const char* opencv;
};

const std::vector<Pair>& pairs() {
  static const std::vector<Pair> p = {
      {"BM_stretch_table", "BM_copy_frame"},
      {"BM_invert", "BM_copy_frame"},
      {"BM_stretch_table", "BM_cv_LUT_8bit"},
      {"BM_stretch_table_sky", "BM_copy_frame"},
      {"BM_stretch_table_sky", "BM_cv_LUT_8bit"},
      {"BM_stretch_way/plain", "BM_copy_frame"},
      {"BM_stretch_way/avx2", "BM_copy_frame"},
      {"BM_stretch_way/avx512", "BM_copy_frame"},
      {"BM_stretch_way_sky/plain", "BM_copy_frame"},
      {"BM_stretch_way_sky/avx2", "BM_copy_frame"},
      {"BM_stretch_way_sky/avx512", "BM_copy_frame"},
      {"BM_median_way/plain", "BM_cv_medianBlur_16bit<3>"},
      {"BM_median_way/avx2", "BM_cv_medianBlur_16bit<3>"},
      {"BM_median_rows_sky", "BM_cv_medianBlur_16bit_sky"},
      {"BM_median_way_sky/plain", "BM_cv_medianBlur_16bit_sky"},
      {"BM_median_way_sky/avx2", "BM_cv_medianBlur_16bit_sky"},
      {"BM_convolve_lowpass_3x3", "BM_cv_filter2D_3x3"},
      {"BM_convolve_lowpass_3x3", "BM_cv_GaussianBlur_3x3"},
      {"BM_convolve_gaussian_5x5", "BM_cv_filter2D_5x5"},
      {"BM_convolve_gaussian_5x5", "BM_cv_GaussianBlur_5x5"},
      {"BM_unsharp_mask_r2", "BM_cv_blur_5x5"},
      {"BM_median_rows<1>", "BM_cv_medianBlur_16bit<3>"},
      {"BM_median_filter_with_undo<1>", "BM_cv_medianBlur_16bit<3>"},
      {"BM_median_rows<2>", "BM_cv_medianBlur_16bit<5>"},
      {"BM_median_filter_with_undo<2>", "BM_cv_medianBlur_16bit<5>"},
      {"BM_median_rows<3>", "BM_cv_medianBlur_8bit_7x7"},
      {"BM_median_filter_with_undo<3>", "BM_cv_medianBlur_8bit_7x7"},
  };
  return p;
}

// Shows the usual table and keeps each benchmark's CPU time: the median
// aggregate when repetitions were asked for, else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> median_cpu, single_cpu;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string name = r.run_name.str();
      if (r.run_type == Run::RT_Aggregate) {
        if (r.aggregate_name == "median") median_cpu[name] = r.GetAdjustedCPUTime();
      } else if (!r.error_occurred) {
        single_cpu[name] = r.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  double cpu(const std::string& name) const {
    if (auto it = median_cpu.find(name); it != median_cpu.end()) return it->second;
    if (auto it = single_cpu.find(name); it != single_cpu.end()) return it->second;
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  cv::setNumThreads(1);
  benchmark::RegisterBenchmark("BM_copy_frame", BM_copy_frame);
  benchmark::RegisterBenchmark("BM_stretch_table", BM_stretch_table);
  benchmark::RegisterBenchmark("BM_stretch_table_sky", BM_stretch_table_sky);
  for (const StretchWay& w : stretch_ways()) {
    benchmark::RegisterBenchmark((std::string("BM_stretch_way/") + w.name).c_str(), BM_stretch_way,
                                 w.map, false);
    benchmark::RegisterBenchmark((std::string("BM_stretch_way_sky/") + w.name).c_str(),
                                 BM_stretch_way, w.map, true);
  }
  benchmark::RegisterBenchmark("BM_invert", BM_invert);
  benchmark::RegisterBenchmark("BM_cv_LUT_8bit", BM_cv_LUT_8bit);
  benchmark::RegisterBenchmark("BM_convolve_lowpass_3x3", BM_convolve_lowpass_3x3);
  benchmark::RegisterBenchmark("BM_cv_filter2D_3x3", BM_cv_filter2D_3x3);
  benchmark::RegisterBenchmark("BM_cv_GaussianBlur_3x3", BM_cv_GaussianBlur_3x3);
  benchmark::RegisterBenchmark("BM_convolve_gaussian_5x5", BM_convolve_gaussian_5x5);
  benchmark::RegisterBenchmark("BM_cv_filter2D_5x5", BM_cv_filter2D_5x5);
  benchmark::RegisterBenchmark("BM_cv_GaussianBlur_5x5", BM_cv_GaussianBlur_5x5);
  benchmark::RegisterBenchmark("BM_unsharp_mask_r2", BM_unsharp_mask_r2);
  benchmark::RegisterBenchmark("BM_cv_blur_5x5", BM_cv_blur_5x5);
  benchmark::RegisterBenchmark("BM_median_rows<1>", BM_median_rows<1>);
  benchmark::RegisterBenchmark("BM_cv_medianBlur_16bit<3>", BM_cv_medianBlur_16bit<3>);
  benchmark::RegisterBenchmark("BM_median_filter_with_undo<1>", BM_median_filter_with_undo<1>);
  for (const MedianWay& w : median_ways()) {
    benchmark::RegisterBenchmark((std::string("BM_median_way/") + w.name).c_str(), BM_median_way,
                                 w.rows, false);
    benchmark::RegisterBenchmark((std::string("BM_median_way_sky/") + w.name).c_str(),
                                 BM_median_way, w.rows, true);
  }
  benchmark::RegisterBenchmark("BM_median_rows_sky", BM_median_rows_sky);
  benchmark::RegisterBenchmark("BM_cv_medianBlur_16bit_sky", BM_cv_medianBlur_16bit_sky);
  benchmark::RegisterBenchmark("BM_median_rows<2>", BM_median_rows<2>);
  benchmark::RegisterBenchmark("BM_cv_medianBlur_16bit<5>", BM_cv_medianBlur_16bit<5>);
  benchmark::RegisterBenchmark("BM_median_filter_with_undo<2>", BM_median_filter_with_undo<2>);
  benchmark::RegisterBenchmark("BM_median_rows<3>", BM_median_rows<3>);
  benchmark::RegisterBenchmark("BM_cv_medianBlur_8bit_7x7", BM_cv_medianBlur_8bit_7x7);
  benchmark::RegisterBenchmark("BM_median_filter_with_undo<3>", BM_median_filter_with_undo<3>);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nWays chosen at first use: stretch table %s, median radius 1 %s\n",
              chosen_stretch_way() ? chosen_stretch_way() : "(not used)",
              chosen_median_way(1) ? chosen_median_way(1) : "(not used)");
  std::printf("\nRatio of median CPU times (Tarvex / reference; below 1 is faster)\n");
  for (const Pair& p : pairs()) {
    const double t = reporter.cpu(p.tarvex), o = reporter.cpu(p.opencv);
    if (t <= 0 || o <= 0) continue;
    std::printf("  %-32s / %-28s %6.2f\n", p.tarvex, p.opencv, t / o);
  }
  return 0;
}
