#include "tarnwick/shell/command_timing.h"

#include "tarnwick/core/arith.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/platform/perf_counter.h"

namespace tarnwick {

cCt::cCt() : frequency_(PerfFrequency()) { init(); }

cCt::cCt(Clock clock) : clock_(clock) { init(); }

double cCt::Now() const {
  if (clock_ != nullptr) return clock_();
  if (frequency_ == 0) return 0.0;
  return static_cast<double>(PerfCounter()) / static_cast<double>(frequency_);
}

std::int32_t cCt::rows() {
  recap_ = "Res";
  cmd_ = "UK";
  return count_;
}

void cCt::init() {
  count_ = 0;
  start_ = Now();
}

std::string cCt::Report() {
  end_ = Now();
  elapsed_ = end_ - start_;
  // A floor on the elapsed time keeps the rate finite for commands quicker than the clock.
  if (elapsed_ < 0.1) elapsed_ = 0.1;
  const double rate = RoundHalfEven(Div(static_cast<double>(count_), elapsed_));

  std::string out = "Cmd: ";
  out += cmd_;
  out += " in: ";
  AppendNumber(out, static_cast<double>(count_), "#,###,###");
  out += " items, rpt: ";
  out += recap_;
  out += " rps: ";
  AppendNumber(out, rate, "###,##0");
  out += " time: ";
  AppendNumber(out, elapsed_, "##,###.###");
  out += " sec";
  return out;
}

void cCt::Recap(std::string_view text) { recap_ = text; }

void cCt::Cmd(std::string_view text) { cmd_ = text; }

void cCt::Item() { count_ = AddChecked<std::int32_t>(count_, 1); }

}  // namespace tarnwick
